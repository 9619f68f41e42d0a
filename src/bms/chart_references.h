#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "job_settings/conversions.h"

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

// The kind of file a reference names: sounds or images.
inline constexpr FileKind KindOfFile(ReferenceKind kind) {
  return kind == ReferenceKind::Sound || kind == ReferenceKind::PreviewSound ? FileKind::Sound
                                                                             : FileKind::Image;
}

// A script command that names a file. A channel command (#WAVxx, #BMPxx)
// names one only with its two id characters: a bare #WAV names no channel,
// so no player loads its file.
struct FileCommand {
  std::u16string_view keyword;
  bool hasId;
  ReferenceKind kind;
};

inline constexpr FileCommand kFileCommands[] = {
    {u"#WAV", true, ReferenceKind::Sound},
    {u"#BMP", true, ReferenceKind::BgaImage},
    {u"#STAGEFILE", false, ReferenceKind::ExactImage},
    {u"#BANNER", false, ReferenceKind::ExactImage},
    {u"#BACKBMP", false, ReferenceKind::ExactImage},
    {u"#PREVIEW", false, ReferenceKind::PreviewSound},
};

// The kind of file a script command names, looked up in kFileCommands.
// `keyword` and `id` are as ParseScriptLine gives them. False for any other
// command.
bool ScriptReferenceKind(const std::u16string& keyword, const std::u16string& id, ReferenceKind& kind);

// A value's length without its trailing blanks and tabs, which players
// ignore when they look the file up.
std::size_t TrimmedValueLength(std::u16string_view value);

// How the chart rewriters rename references: by the run's active conversion
// of each kind, except the references to files the run keeps under their
// own names.
struct ReferenceRenaming {
  const Conversion* sound = nullptr;
  const Conversion* image = nullptr;
  // Asked with a reference's trimmed value that `conversion` would rename;
  // true when the file it names stays as it is (it could not be converted,
  // or its new name is another file's), so that the reference stays too.
  std::function<bool(const std::u16string& value, const Conversion& conversion)> keepsName;

  // The active conversions of a run with these options.
  static ReferenceRenaming For(OptionFlags options);
  bool Any() const { return sound != nullptr || image != nullptr; }

  // The conversion that renames the reference, or null when it stays.
  // `trimmed` is TrimmedValueLength of the value.
  const Conversion* RenamedBy(const std::u16string& value, ReferenceKind kind, std::size_t& trimmed) const;
};

// Every file reference of a chart, in the order the chart names them: a
// script (.bms .bme .bml .pms) line by line, a .bmson chart by the fields
// that name files. False when the file cannot be read or a bmson chart is
// not well-formed JSON; `references` then holds what was found before.
bool ListChartReferences(const std::u16string& chartPath, std::vector<ChartReference>& references);
