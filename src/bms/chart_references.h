#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The files a chart names, and how a player looks each one up.
enum class ReferenceKind {
  Sound,         // a keyed or background sound: other sound extensions stand in
  PreviewSound,  // the song-select preview clip, looked up like a sound
  BgaImage,      // a background-animation image: other image extensions stand in
  ExactImage,    // a stage, banner or back image: players load the exact name only
};

// One file reference of a chart, its value exactly as written.
struct ChartReference {
  std::size_t lineNumber = 0;  // 1-based line of a script; 0 in a bmson chart
  std::u16string jsonPath;     // where a bmson chart holds it, e.g. sound_channels[3].name
  std::u16string command;      // #WAV01, #STAGEFILE...; for bmson the field, e.g. sound_channels[].name
  std::u16string value;
  ReferenceKind kind = ReferenceKind::Sound;
};

// The kind of a script command that names a file: #WAVxx, #BMPxx (the two
// id characters required), #STAGEFILE, #BANNER, #BACKBMP and #PREVIEW.
// `keyword` and `id` are as ParseScriptLine gives them. False for any other
// command.
bool ScriptReferenceKind(const std::u16string& keyword, const std::u16string& id, ReferenceKind& kind);

// Every file reference of a chart, in the order the chart names them: a
// script (.bms .bme .bml .pms) line by line, a .bmson chart by the fields
// that name files. False when the file cannot be read or a bmson chart is
// not well-formed JSON; `references` then holds what was found before.
bool ListChartReferences(const std::u16string& chartPath, std::vector<ChartReference>& references);
