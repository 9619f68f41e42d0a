#include "bms/text_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "scratch_folder_test.h"
#include "util/cp932.h"
#include "util/unicode.h"

namespace {

struct ReadCase {
  const char* name;
  std::string input;
  std::vector<std::string> lines;  // raw bytes of each line
  std::string writtenBack;         // the lines written back with WriteLine
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

// "ソ" is 83 5C and "表" is 95 5C: their second byte is the backslash.
const std::string kTitle = "#TITLE \x83\x5C\x95\x5C\x81\x60";  // ソ表～

const ReadCase kReadCases[] = {
    {"LineThenEmptyLine", "a\n\n", {"a", ""}, "a\r\n\r\n"},
    {"CrLf", "a\r\nb\r\n", {"a", "b"}, "a\r\nb\r\n"},
    {"MissingFinalLineEnd", "a\r\nb", {"a", "b"}, "a\r\nb\r\n"},
    {"StrayCrBeforeLineEnd", "a\r\r\n", {"a\r"}, "a\r\r\n"},
    {"LoneCrIsACharacter", "a\rb\n", {"a\rb"}, "a\rb\r\n"},
    {"CrAtEndOfInput", "a\r", {"a\r"}, "a\r\r\n"},
    {"EndMarkInMiddle",
     "a\r\nb\x1A"
     "c\r\nd",
     {"a", "b"},
     "a\r\nb\r\n"},
    {"EndMarkAfterLineEnd", "a\n\x1A\n", {"a"}, "a\r\n"},
    {"EndMarkFirst",
     "\x1A"
     "abc",
     {},
     ""},
    {"EndMarkAfterCr", "a\r\x1A", {"a\r"}, "a\r\r\n"},
    {"Empty", "", {}, ""},
    {"ShiftJisTitle", kTitle + "\r\n", {kTitle}, kTitle + "\r\n"},
    {"HalfWidthKatakana", "\xB1\xB2\xB3\n", {"\xB1\xB2\xB3"}, "\xB1\xB2\xB3\r\n"},
    {"ByteOrderMarkIsText", "\xEF\xBB\xBF#TITLE x\n", {"\xEF\xBB\xBF#TITLE x"}, "\xEF\xBB\xBF#TITLE x\r\n"},
    {"LeadByteBeforeLineEnd", "a\x81\r\nb\n", {"a\x81", "b"}, "a\x81\r\nb\r\n"},
    {"LeadByteAtEndOfInput", "ab\x81", {"ab\x81"}, "ab\x81\r\n"},
    {"LeadByteBeforeEndMark",
     "ab\x81\x1A"
     "cd",
     {"ab\x81"},
     "ab\x81\r\n"},
    {"InvalidTrailByte", "\x81\x20x\n", {"\x81\x20x"}, "\x81\x20x\r\n"},
    {"UnassignedCode", "\x85\x40\xEB\x93\n", {"\x85\x40\xEB\x93"}, "\x85\x40\xEB\x93\r\n"},
    {"NulByte", std::string("a\0b\n", 4), {std::string("a\0b", 3)}, std::string("a\0b\r\n", 5)},
};

class TextFileReadTest : public ScratchFolderTest, public testing::WithParamInterface<ReadCase> {};

// Reads every line, checks its bytes, and writes the decoded text back: the
// escape units of invalid bytes must encode to the same bytes again.
TEST_P(TextFileReadTest, ReadsAndWritesBack) {
  const ReadCase& c = GetParam();
  WriteBytes(u"in.txt", c.input);
  TextFile in;
  ASSERT_TRUE(in.Open(Path(u"in.txt"), TextFileMode::Read));
  TextFile out;
  ASSERT_TRUE(out.Open(Path(u"out.txt"), TextFileMode::Write));
  std::vector<std::string> lines;
  std::u16string line;
  while (in.ReadLine(line)) {
    lines.push_back(in.LineBytes());
    out.WriteLine(line);
  }
  EXPECT_TRUE(in.Failed());
  EXPECT_FALSE(in.ReadError());
  EXPECT_FALSE(in.ReadLine(line)) << "the end of the input stays the end";
  EXPECT_FALSE(out.Failed());
  out.Close();
  EXPECT_EQ(lines, c.lines);
  EXPECT_EQ(ReadBytes(u"out.txt"), c.writtenBack);
}

INSTANTIATE_TEST_SUITE_P(Bytes, TextFileReadTest, testing::ValuesIn(kReadCases),
                         [](const testing::TestParamInfo<ReadCase>& info) {
                           return std::string(info.param.name);
                         });

using TextFileTest = ScratchFolderTest;

TEST_F(TextFileTest, DecodesShiftJisWithBackslashSecondBytes) {
  WriteBytes(u"in.txt", kTitle + "\r\n\\sub\\kick.wav\n");
  TextFile in;
  ASSERT_TRUE(in.Open(Path(u"in.txt"), TextFileMode::Read));
  std::u16string line;
  ASSERT_TRUE(in.ReadLine(line));
  EXPECT_EQ(line, U16("#TITLE ソ表～"));
  ASSERT_TRUE(in.ReadLine(line));
  EXPECT_EQ(line, u"\\sub\\kick.wav");
}

// A line longer than one read block, with its CR LF split across two blocks.
TEST_F(TextFileTest, LineAcrossReadBlocks) {
  const std::string longLine(64 * 1024 - 1, 'x');
  WriteBytes(u"in.txt", longLine + "\r\ny");
  TextFile in;
  ASSERT_TRUE(in.Open(Path(u"in.txt"), TextFileMode::Read));
  std::u16string line;
  ASSERT_TRUE(in.ReadLine(line));
  EXPECT_EQ(in.LineBytes(), longLine);
  EXPECT_EQ(line.size(), longLine.size());
  ASSERT_TRUE(in.ReadLine(line));
  EXPECT_EQ(line, u"y");
  EXPECT_FALSE(in.ReadLine(line));
}

// A duplicated character read from its non-preferred code keeps its bytes
// only through LineBytes; written as text it takes the preferred code.
TEST_F(TextFileTest, NonPreferredCodeKeptOnlyAsBytes) {
  WriteBytes(u"in.txt", "\x87\x90\n");  // ≒ from NEC row 13; preferred 81 E0
  TextFile in;
  ASSERT_TRUE(in.Open(Path(u"in.txt"), TextFileMode::Read));
  std::u16string line;
  ASSERT_TRUE(in.ReadLine(line));
  EXPECT_EQ(line, U16("≒"));
  TextFile out;
  ASSERT_TRUE(out.Open(Path(u"out.txt"), TextFileMode::Write));
  out.WriteLine(line);
  out.WriteLineBytes(in.LineBytes());
  out.Close();
  EXPECT_EQ(ReadBytes(u"out.txt"), "\x81\xE0\r\n\x87\x90\r\n");
}

TEST_F(TextFileTest, CharacterOutsideCodePageFailsTheWrite) {
  TextFile out;
  ASSERT_TRUE(out.Open(Path(u"out.txt"), TextFileMode::Write));
  out.WriteLine(u"before");
  EXPECT_FALSE(out.Failed());
  out.WriteLine(U16("#TITLE 한글"));
  EXPECT_TRUE(out.Failed());
  out.WriteLine(u"after");
  out.WriteText(u"more");
  out.WriteLineBytes("bytes");
  EXPECT_TRUE(out.Failed());
  out.Close();
  EXPECT_EQ(ReadBytes(u"out.txt"), "before\r\n");
}

TEST_F(TextFileTest, EscapeUnitsWriteTheirBytes) {
  TextFile out;
  ASSERT_TRUE(out.Open(Path(u"out.txt"), TextFileMode::Write));
  out.WriteLine(std::u16string(u"a") + static_cast<char16_t>(kCp932EscapeBase + 0x81) + u"b");
  out.Close();
  EXPECT_EQ(ReadBytes(u"out.txt"),
            "a\x81"
            "b\r\n");
}

TEST_F(TextFileTest, WriteTextTranslatesLineFeedsAndAddsNoLineEnd) {
  TextFile out;
  ASSERT_TRUE(out.Open(Path(u"out.txt"), TextFileMode::Write));
  out.WriteText(U16("日付\n"));
  out.WriteText(u"a,b");
  out.Close();
  EXPECT_FALSE(out.Failed());
  EXPECT_EQ(ReadBytes(u"out.txt"), "\x93\xFA\x95\x74\r\na,b");
}

TEST_F(TextFileTest, WriteEmptiesAndAppendKeeps) {
  WriteBytes(u"log.txt", "old line\r\n");
  {
    TextFile log;
    ASSERT_TRUE(log.Open(Path(u"log.txt"), TextFileMode::Append));
    log.WriteLine(u"new line");
  }  // the destructor closes
  EXPECT_EQ(ReadBytes(u"log.txt"), "old line\r\nnew line\r\n");
  TextFile out;
  ASSERT_TRUE(out.Open(Path(u"log.txt"), TextFileMode::Write));
  out.WriteLine(u"x");
  out.Close();
  EXPECT_EQ(ReadBytes(u"log.txt"), "x\r\n");
}

TEST_F(TextFileTest, AppendCreatesAMissingFile) {
  TextFile log;
  ASSERT_TRUE(log.Open(Path(u"new.log"), TextFileMode::Append));
  log.WriteLine(u"first");
  log.Close();
  EXPECT_EQ(ReadBytes(u"new.log"), "first\r\n");
}

TEST_F(TextFileTest, WriteLineIsOnDiskBeforeClose) {
  TextFile out;
  ASSERT_TRUE(out.Open(Path(u"out.txt"), TextFileMode::Write));
  out.WriteLine(u"line");
  EXPECT_EQ(ReadBytes(u"out.txt"), "line\r\n");
}

TEST_F(TextFileTest, OpenFailures) {
  TextFile file;
  EXPECT_FALSE(file.Open(Path(u"missing.txt"), TextFileMode::Read));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Open(Path(u"no-folder/out.txt"), TextFileMode::Write));
  EXPECT_FALSE(file.Open(u"", TextFileMode::Write));
  // A name without a code page 932 form is opened under its own name.
  WriteBytes(U16("한.txt"), "x\n");
  ASSERT_TRUE(Exists(U16("한.txt")));
  EXPECT_TRUE(file.Open(Path(U16("한.txt")), TextFileMode::Read));
  EXPECT_TRUE(file.Open(Path(U16("한2.txt")), TextFileMode::Write));
  file.Close();
  EXPECT_TRUE(Exists(U16("한2.txt")));
}

TEST_F(TextFileTest, JapaneseFileName) {
  WriteBytes(U16("曲.bms"), "#TITLE a\n");
  TextFile in;
  ASSERT_TRUE(in.Open(Path(U16("曲.bms")), TextFileMode::Read));
  std::u16string line;
  ASSERT_TRUE(in.ReadLine(line));
  EXPECT_EQ(line, u"#TITLE a");
}

TEST_F(TextFileTest, WrongDirectionFails) {
  WriteBytes(u"in.txt", "a\n");
  TextFile in;
  ASSERT_TRUE(in.Open(Path(u"in.txt"), TextFileMode::Read));
  in.WriteLine(u"x");
  EXPECT_TRUE(in.Failed());
  TextFile out;
  ASSERT_TRUE(out.Open(Path(u"out.txt"), TextFileMode::Write));
  std::u16string line;
  EXPECT_FALSE(out.ReadLine(line));
  TextFile closed;
  EXPECT_FALSE(closed.ReadLine(line));
  closed.WriteLine(u"x");
  EXPECT_TRUE(closed.Failed());
}

// Reading a folder opened as a file fails on its first read (or the open
// already fails); either way it is not a normal end of input.
TEST_F(TextFileTest, ReadErrorIsToldApartFromTheEnd) {
  std::filesystem::create_directory(root_ / "folder.bms");
  TextFile in;
  if (!in.Open(Path(u"folder.bms"), TextFileMode::Read))
    GTEST_SKIP() << "the platform refuses to open a folder";
  std::u16string line;
  EXPECT_FALSE(in.ReadLine(line));
  EXPECT_TRUE(in.ReadError());
}

struct Piece {
  std::string bytes;
  bool continues;
  bool operator==(const Piece&) const = default;
};

void PrintTo(const Piece& piece, std::ostream* os) {
  *os << testing::PrintToString(piece.bytes) << (piece.continues ? "+" : "");
}

struct PieceCase {
  const char* name;
  std::size_t maxLineBytes;
  std::string input;
  std::vector<Piece> pieces;
};

void PrintTo(const PieceCase& c, std::ostream* os) { *os << c.name; }

const PieceCase kPieceCases[] = {
    {"ShortLine", 4, "abc\n", {{"abc", false}}},
    {"LineOfThePieceSize", 4, "abcd\ne", {{"abcd", false}, {"e", false}}},
    {"PieceSizeAtEndOfInput", 4, "abcd", {{"abcd", false}}},
    {"LongLine", 4, "abcdefghij\nk", {{"abcd", true}, {"efgh", true}, {"ij", false}, {"k", false}}},
    {"LongLineAtEndOfInput", 4, "abcdefgh", {{"abcd", true}, {"efgh", false}}},
    {"CrLfAfterAFullPiece", 3, "abc\r\n", {{"abc", true}, {"", false}}},
    {"CrLfAcrossTheBound", 4, "abc\r\nd", {{"abc", false}, {"d", false}}},
    {"CrEndingAPieceIsACharacter", 4, "abc\rx\n", {{"abc\r", true}, {"x", false}}},
    {"EndMarkAfterAFullPiece",
     4,
     "abcd\x1A"
     "ef",
     {{"abcd", false}}},
    {"EndMarkInsideALongLine",
     4,
     "abcdef\x1A"
     "g",
     {{"abcd", true}, {"ef", false}}},
    // ソ is 83 5C: the cut falls between its two bytes.
    {"DoubleByteCharacterAcrossTheBound",
     3,
     "ab\x83\x5C"
     "c\n",
     {{"ab\x83", true},
      {"\x5C"
       "c",
       false}}},
    {"PieceSizeOne", 1, "ab\n\n", {{"a", true}, {"b", false}, {"", false}}},
};

class TextFilePieceTest : public ScratchFolderTest, public testing::WithParamInterface<PieceCase> {};

// The pieces of a long line, written back as bytes with a line end after the
// last, give the file as a line-by-line copy of it would.
TEST_P(TextFilePieceTest, LongLinesComeInPieces) {
  const PieceCase& c = GetParam();
  WriteBytes(u"in.txt", c.input);
  TextFile in(c.maxLineBytes);
  ASSERT_TRUE(in.Open(Path(u"in.txt"), TextFileMode::Read));
  std::vector<Piece> pieces;
  std::u16string line;
  bool continuation = false;
  while (in.ReadLine(line)) {
    pieces.push_back({in.LineBytes(), in.LineContinues()});
    if (continuation || in.LineContinues()) {
      EXPECT_EQ(line, u"") << "a piece has no text";
    } else {
      std::string bytes;
      ASSERT_TRUE(Utf16ToCp932(line, bytes, /*allowEscapes=*/true));
      EXPECT_EQ(bytes, in.LineBytes()) << "a whole line has its text";
    }
    continuation = in.LineContinues();
  }
  EXPECT_FALSE(in.ReadError());
  EXPECT_EQ(pieces, c.pieces);
}

INSTANTIATE_TEST_SUITE_P(Bounds, TextFilePieceTest, testing::ValuesIn(kPieceCases),
                         [](const testing::TestParamInfo<PieceCase>& info) {
                           return std::string(info.param.name);
                         });

// A device that never ends, under a script's name, is no regular file: it is
// not opened at all, so reading it can neither block nor run without end.
TEST_F(TextFileTest, EndlessDeviceIsNotOpened) {
  std::error_code error;
  std::filesystem::create_symlink("/dev/zero", root_ / "zero.bms", error);
  if (error || !std::filesystem::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero link here";
  TextFile in;
  EXPECT_FALSE(in.Open(Path(u"zero.bms"), TextFileMode::Read));
}

}  // namespace
