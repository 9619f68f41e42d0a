#pragma once

#include <string_view>

#include "job_settings/job_settings.h"

// Which files a run converts, and to what: one row per conversion. Routing,
// both chart rewriters, the reference check and the chart-preserving mode all
// read this table, so a new output format is one converter and one row here.

enum class FileKind { Sound, Image };

// How the job runs a row: the converter that writes it.
enum class ConverterId { OggVorbis, Flac, Png };

struct Conversion {
  FileKind kind;
  OptionFlags enabledBy;                // every one of these bits must be set
  OptionFlags excludedBy;               // and none of these
  std::u16string_view sourceExtension;  // lower case, dot included
  std::u16string_view outputExtension;
  ConverterId converter;
};

inline constexpr Conversion kConversions[] = {
    {FileKind::Sound, CompressSound, EncodeFlac, u".wav", u".ogg", ConverterId::OggVorbis},
    {FileKind::Sound, CompressSound | EncodeFlac, 0, u".wav", u".flac", ConverterId::Flac},
    {FileKind::Image, CompressImages, 0, u".bmp", u".png", ConverterId::Png},
};

inline constexpr bool ConversionIsActive(const Conversion& row, OptionFlags options) {
  return (options & row.enabledBy) == row.enabledBy && (options & row.excludedBy) == 0;
}

// The conversion of this kind a run with these options makes, or null.
inline constexpr const Conversion* ActiveConversion(OptionFlags options, FileKind kind) {
  for (const Conversion& row : kConversions) {
    if (row.kind == kind && ConversionIsActive(row, options)) return &row;
  }
  return nullptr;
}
