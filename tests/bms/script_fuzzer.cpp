// Feeds arbitrary bytes to the text file reader, the line parser and the
// rewriter, and checks the properties the rest of the program relies on.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "bms/script_line.h"
#include "bms/script_rewriter.h"
#include "bms/text_file.h"
#include "util/case_map.h"
#include "util/cp932.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// One scratch folder per process, removed when the fuzzer exits.
struct ScratchFolder {
  ScratchFolder()
      : path(std::filesystem::temp_directory_path() /
             ("hoshibako-bms-fuzz-" + std::to_string(std::random_device()()))) {
    std::filesystem::create_directories(path);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::filesystem::path path;
};

const std::filesystem::path& Folder() {
  static const ScratchFolder folder;
  return folder.path;
}

void CheckParse(const std::u16string& line) {
  ScriptCommand command;
  if (!ParseScriptLine(line, command)) return;
  Check(!command.value.empty() && command.value[0] != u' ' && command.value[0] != u'\t');
  Check(line.ends_with(command.value));
  const std::u16string token = command.keyword + command.id;
  Check(token.size() >= 3 && token[0] == u'#');
  Check(command.id.empty() || (command.id.size() == 2 && token.size() == 6));
  const std::size_t start = line.find_first_not_of(u" \t");
  Check(ToUpper(std::u16string_view(line).substr(start, token.size())) == token);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::filesystem::path source = Folder() / "in.bms";
  const std::filesystem::path destination = Folder() / "out.bms";
  // Files are removed rather than emptied: a file system may write an
  // emptied and rewritten file through to the disk on close, and that would
  // cost more than the whole case.
  std::error_code ignored;
  std::filesystem::remove(source, ignored);
  {
    std::ofstream out(source, std::ios::binary);
    out.write(input.data(), static_cast<std::streamsize>(input.size()));
  }

  // Reading: the lines joined again give the input up to its end mark, with
  // CR LF read as LF; every decoded line encodes, and decodes again to itself
  // (its bytes may differ where a character has a preferred code).
  std::string expected = input.substr(0, input.find('\x1A'));
  std::string joined;
  {
    TextFile file;
    Check(file.Open(source.u16string(), TextFileMode::Read));
    std::u16string line;
    while (file.ReadLine(line)) {
      Check(!file.LineContinues());
      std::string bytes;
      Check(Utf16ToCp932(line, bytes, /*allowEscapes=*/true));
      // Without escapes the text decodes again to itself. With them it need
      // not: an escaped lead byte can pair up with the first byte of a
      // character whose preferred code differs from the bytes it was read
      // from. That is why unchanged lines are written from their own bytes.
      if (std::none_of(line.begin(), line.end(), IsCp932Escape)) {
        std::u16string again;
        Check(Cp932ToUtf16(bytes, again, /*escapeInvalid=*/true));
        Check(again == line);
      }
      CheckParse(line);
      joined += file.LineBytes() + "\r\n";
    }
    Check(!file.ReadError());
  }
  if (!expected.empty() && expected.back() != '\n') expected += "\r\n";
  std::string normalised;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] == '\r' && i + 1 < expected.size() && expected[i + 1] == '\n') continue;
    if (expected[i] == '\n') normalised += '\r';
    normalised += expected[i];
  }
  Check(joined == normalised);

  // Read again in small pieces (the first byte picks their size): the pieces
  // never exceed it, and joined, with a line end after each last piece, they
  // give the same bytes as the whole lines.
  if (!input.empty()) {
    const std::size_t pieceSize = 1 + static_cast<unsigned char>(input[0]) % 16;
    TextFile file(pieceSize);
    Check(file.Open(source.u16string(), TextFileMode::Read));
    std::string pieces;
    std::u16string line;
    while (file.ReadLine(line)) {
      Check(file.LineBytes().size() <= pieceSize);
      Check(!file.LineContinues() || file.LineBytes().size() == pieceSize);
      pieces += file.LineBytes();
      if (!file.LineContinues()) pieces += "\r\n";
    }
    Check(!file.ReadError());
    Check(pieces == normalised);
  }

  // Rewriting never fails on readable input and keeps the number of lines.
  const auto lineCount = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
  for (const ScriptRewriter rewriter :
       {ScriptRewriter{ReferenceRenaming::For(CompressSound | CompressImages), false},
        ScriptRewriter{ReferenceRenaming::For(CompressSound | CompressImages), true}}) {
    std::filesystem::remove(destination, ignored);
    Check(rewriter.Rewrite(source.u16string(), destination.u16string()));
    std::ifstream in(destination, std::ios::binary);
    const std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Check(lineCount(output) == lineCount(joined));
  }
  return 0;
}
