#pragma once

#include <cstdint>
#include <string>

// The option word of one run. The first five bits are the check boxes of the
// main dialog; the ones after them are the further modes both front ends offer.
using OptionFlags = std::uint32_t;

enum : OptionFlags {
  IncludeSubfolders = 0x01,
  CompressSound = 0x02,
  CompressImages = 0x04,
  RepairBms = 0x08,
  KeepBmsUnchanged = 0x10,
  // Charts stay byte for byte (players know a chart by its file's hashes);
  // sounds and images are converted under new names that players find by
  // their own extension fallbacks, except the images players load only
  // under their exact names.
  PreserveCharts = 0x20,
  // After the walk, every file reference of every chart in the output is
  // looked up as players look it up.
  CheckReferences = 0x40,
  // With CompressSound, sounds become lossless FLAC instead of Ogg Vorbis.
  EncodeFlac = 0x80,
};

// Options that send scripts through the rewriter instead of the plain copy.
inline constexpr OptionFlags ScriptRewriteMask = CompressSound | CompressImages | RepairBms;

// What the main dialog (or the command line) hands to a run.
struct JobSettings {
  std::u16string inputFolder;
  std::u16string outputFolder;
  OptionFlags options = 0;
};
