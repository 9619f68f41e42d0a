#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "bms/chart_references.h"

// bmson charts: UTF-8 JSON whose file references are string values of known
// fields (sound_channels[].name, bga.bga_header[].name, the info images and
// preview, and the key and mine channels' names).

// Copies one bmson chart, renaming its sound and image references by the
// run's conversions, by the extension rules of the script rewriter. Nothing
// but those extensions changes: layout, key order, escapes, trailing blanks
// and every other byte stay. Without a conversion the file is copied byte for
// byte.
struct BmsonRewriter {
  ReferenceRenaming renaming;

  // True when the destination was written completely. A source that cannot
  // be read, or is not well-formed JSON, fails and leaves no destination.
  bool Rewrite(const std::u16string& source, const std::u16string& destination) const;
};

// The rewrite of a whole chart held in memory. False, with `out` untouched,
// when the text is not well-formed JSON.
bool RewriteBmsonText(std::string_view json, const ReferenceRenaming& renaming, std::string& out);

// The chart's file references in document order, appended to `references`.
// False when the text is not well-formed JSON; nothing is appended then.
bool ListBmsonReferences(std::string_view json, std::vector<ChartReference>& references);

// The same for a chart on disk; false also when it cannot be read.
bool ListBmsonFileReferences(const std::u16string& path, std::vector<ChartReference>& references);
