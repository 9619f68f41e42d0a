#pragma once

#include <cstdint>
#include <string>

// The option word of one run. Each bit is one check box of the main dialog.
using OptionFlags = std::uint32_t;

enum : OptionFlags {
  IncludeSubfolders = 0x01,
  CompressSound = 0x02,
  CompressImages = 0x04,
  RepairBms = 0x08,
  KeepBmsUnchanged = 0x10,
};

// Options that send scripts through the rewriter instead of the plain copy.
inline constexpr OptionFlags ScriptRewriteMask = CompressSound | CompressImages | RepairBms;

// What the main dialog (or the command line) hands to a run.
struct JobSettings {
  std::u16string inputFolder;
  std::u16string outputFolder;
  OptionFlags options = 0;
};
