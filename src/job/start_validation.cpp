#include "job/start_validation.h"

#include "util/file_system.h"
#include "util/path.h"

namespace {

// True when `inner` is `outer` or lies below it, judged by the folders the
// two texts really name. A text that cannot be resolved leaves the decision
// to the textual test.
bool ResolvesInside(const std::u16string& outer, const std::u16string& inner) {
  const std::u16string realOuter = ResolvedPath(outer);
  const std::u16string realInner = ResolvedPath(inner);
  if (realOuter.empty() || realInner.empty()) return false;
  return PathIsPrefix(realOuter, realInner);
}

// The folder above a resolved path, or empty at its root.
std::u16string ParentFolder(const std::u16string& path) {
  const std::size_t root = PathRootLength(path);
  std::size_t end = path.size();
  while (end > root && (path[end - 1] == u'/' || path[end - 1] == kPathSeparator)) --end;
  if (end <= root) return std::u16string();
  while (end > root && path[end - 1] != u'/' && path[end - 1] != kPathSeparator) --end;
  while (end > root && (path[end - 1] == u'/' || path[end - 1] == kPathSeparator)) --end;
  return end == 0 ? std::u16string() : path.substr(0, end);
}

// True when `outer` itself is met on the way from `inner` up to its root,
// comparing the folders' identities: a second path to the same folder (a
// bind mount, a second link, another drive letter for one share) has
// another text but the same identity.
bool SameFolderOnTheWayUp(const std::u16string& outer, const std::u16string& inner) {
  FileId target;
  if (!GetFileId(outer, target)) return false;
  std::u16string folder = ResolvedPath(inner);
  while (!folder.empty()) {
    FileId id;
    if (GetFileId(folder, id) && id == target) return true;
    folder = ParentFolder(folder);
  }
  return false;
}

bool Inside(const std::u16string& outer, const std::u16string& inner) {
  return PathIsPrefix(outer, inner) || ResolvesInside(outer, inner) || SameFolderOnTheWayUp(outer, inner);
}

}  // namespace

StartValidation ValidateStart(const std::u16string& input, const std::u16string& output) {
  if (input.empty()) return StartValidation::InputMissing;
  if (!DirectoryExists(input)) return StartValidation::InputNotFound;
  if (output.empty()) return StartValidation::OutputMissing;
  if (!DirectoryExists(output)) return StartValidation::OutputNotFound;
  // The same folder for both is refused as an output inside the input.
  if (Inside(input, output)) return StartValidation::OutputInsideInput;
  if (Inside(output, input)) return StartValidation::InputInsideOutput;
  return StartValidation::Valid;
}

std::u16string StartValidationMessage(StartValidation outcome) {
  switch (outcome) {
    case StartValidation::Valid:
      return u"";
    case StartValidation::InputMissing:
      return u"入力フォルダを選択してください。";
    case StartValidation::InputNotFound:
      return u"指定された入力フォルダは存在しません。";
    case StartValidation::OutputMissing:
      return u"出力フォルダを選択してください。";
    case StartValidation::OutputNotFound:
      return u"指定された出力フォルダは存在しません。";
    case StartValidation::OutputInsideInput:
      return u"入力フォルダの配下を出力フォルダにすることはできません。";
    case StartValidation::InputInsideOutput:
      return u"出力フォルダの配下を入力フォルダにすることはできません。";
  }
  return u"";
}

std::u16string KeepContentsQuestion() {
  return u"サウンド、イメージの圧縮を行うオプションを選択した状態で\r\n"
         u"BMSファイルの内容を変更しない場合、圧縮後のサウンドとイメージの\r\n"
         u"ファイル名は圧縮前のままとなります。\r\n"
         u"\r\n"
         u"処理を続行しますか？";
}
