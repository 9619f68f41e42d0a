// Feeds arbitrary bytes to the bmson scanner and checks that the rewrite and
// the reference listing agree, and that the rewrite changes nothing but the
// extensions of the reference values.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bms/bmson.h"
#include "util/path.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsSound(ReferenceKind kind) {
  return kind == ReferenceKind::Sound || kind == ReferenceKind::PreviewSound;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  std::vector<ChartReference> before;
  const bool listed = ListBmsonReferences(input, before);
  std::string copy;
  Check(RewriteBmsonText(input, ReferenceRenaming{}, copy) == listed);
  if (!listed) return 0;
  Check(copy == input);

  std::string rewritten;
  Check(RewriteBmsonText(input, ReferenceRenaming::For(CompressSound | CompressImages), rewritten));
  std::vector<ChartReference> after;
  Check(ListBmsonReferences(rewritten, after));
  Check(after.size() == before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    const ChartReference& old = before[i];
    Check(after[i].jsonPath == old.jsonPath && after[i].kind == old.kind && after[i].command == old.command);
    const bool sound = IsSound(old.kind);
    // Trailing blanks do not hide the extension and stay behind the new one.
    const std::size_t trimmed = TrimmedValueLength(old.value);
    const std::u16string core = old.value.substr(0, trimmed);
    if (HasExtension(core, sound ? u".wav" : u".bmp")) {
      Check(after[i].value == ChangeExtension(core, sound ? u".ogg" : u".png") + old.value.substr(trimmed));
    } else {
      Check(after[i].value == old.value);
    }
  }
  // A rewritten chart has nothing left to rewrite.
  std::string again;
  Check(RewriteBmsonText(rewritten, ReferenceRenaming::For(CompressSound | CompressImages), again) &&
        again == rewritten);
  return 0;
}
