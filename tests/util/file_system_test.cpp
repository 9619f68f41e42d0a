#include "util/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "util/path.h"
#include "util/unicode.h"

namespace {

namespace fs = std::filesystem;

// A temporary folder per test, removed afterwards. Names are written as raw
// bytes so that the test controls exactly what is on disk.
class FileSystemTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/hoshibako-fs-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override { fs::remove_all(root_); }

  void WriteRaw(const std::string& relative, const std::string& content) {
    std::ofstream out(root_ + "/" + relative, std::ios::binary);
    out << content;
  }
  std::string ReadRaw(const std::string& relative) {
    std::ifstream in(root_ + "/" + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::u16string Path(const std::string& utf8) { return U16(root_ + "/" + utf8); }

  std::string root_;
};

TEST_F(FileSystemTest, ListingIsSortedAndFlagsFolders) {
  WriteRaw("b.wav", "b");
  WriteRaw("a.txt", "a");
  ASSERT_EQ(mkdir((root_ + "/voice.wav").c_str(), 0777), 0);
  ASSERT_EQ(symlink(root_.c_str(), (root_ + "/up").c_str()), 0);
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(U16(root_), entries));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, u"a.txt");
  EXPECT_EQ(entries[1].name, u"b.wav");
  EXPECT_EQ(entries[2].name, u"up");
  EXPECT_TRUE(entries[2].isLink);
  EXPECT_TRUE(entries[2].isDirectory);
  EXPECT_EQ(entries[3].name, u"voice.wav");
  EXPECT_TRUE(entries[3].isDirectory);
  EXPECT_FALSE(entries[3].isLink);
  EXPECT_FALSE(ListDirectory(Path("missing"), entries));
}

TEST_F(FileSystemTest, ShiftJisNamesAreListedOpenedAndCopied) {
  // "ソ表.wav" as Shift_JIS bytes, as an archive made on Windows leaves it.
  const std::string sjisName = "\x83\x5C\x95\x5C.wav";
  WriteRaw(sjisName, "sound");
  ASSERT_EQ(mkdir((root_ + "/out").c_str(), 0777), 0);
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(U16(root_), entries));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].name, U16("ソ表.wav"));

  const std::u16string source = CombinePath(U16(root_), entries[1].name);
  std::FILE* file = OpenFile(ToNarrowPath(source), "rb");
  ASSERT_NE(file, nullptr);
  char buffer[8] = {};
  EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, file), 5u);
  std::fclose(file);
  EXPECT_EQ(FileSize(source), 5);

  // The copy is created under the UTF-8 name.
  ASSERT_TRUE(CopyFileOverwrite(source, Path("out/ソ表.wav")));
  EXPECT_EQ(ReadRaw("out/ソ表.wav"), "sound");
  std::FILE* created = OpenFile(ToNarrowPath(Path("out/ソ表2.wav")), "wb");
  ASSERT_NE(created, nullptr);
  std::fclose(created);
  EXPECT_TRUE(fs::exists(root_ + "/out/ソ表2.wav"));
}

TEST_F(FileSystemTest, ShiftJisFolderNamesResolveToo) {
  const std::string sjisFolder = "\x8B\xC8";  // 曲
  ASSERT_EQ(mkdir((root_ + "/" + sjisFolder).c_str(), 0777), 0);
  WriteRaw(sjisFolder + "/a.txt", "x");
  EXPECT_TRUE(DirectoryExists(Path("曲")));
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(Path("曲"), entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, u"a.txt");
}

TEST_F(FileSystemTest, UndecodableNamesFailVisibly) {
  WriteRaw("\xFF\xFE.txt", "x");
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(U16(root_), entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, U16("\xEF\xBF\xBD\xEF\xBF\xBD.txt"));
  const std::u16string source = CombinePath(U16(root_), entries[0].name);
  EXPECT_EQ(ToNarrowPath(source), "");
  EXPECT_FALSE(CopyFileOverwrite(source, Path("copy.txt")));
  EXPECT_FALSE(fs::exists(root_ + "/copy.txt"));
}

TEST_F(FileSystemTest, CopyOverwritesAndKeepsTime) {
  WriteRaw("src.txt", "new content");
  WriteRaw("dst.txt", "old content that is longer");
  struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (root_ + "/src.txt").c_str(), times, 0), 0);
  ASSERT_TRUE(CopyFileOverwrite(Path("src.txt"), Path("dst.txt")));
  EXPECT_EQ(ReadRaw("dst.txt"), "new content");
  struct stat st;
  ASSERT_EQ(stat((root_ + "/dst.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  EXPECT_FALSE(CopyFileOverwrite(Path("missing.txt"), Path("x.txt")));
  EXPECT_FALSE(CopyFileOverwrite(Path("src.txt"), Path("no/such/folder/x.txt")));
}

TEST_F(FileSystemTest, CreateDirectoryPathMakesTheWholeChain) {
  EXPECT_TRUE(CreateDirectoryPath(Path("a/b/c")));
  EXPECT_TRUE(DirectoryExists(Path("a/b/c")));
  EXPECT_TRUE(CreateDirectoryPath(Path("a/b/c")));
  EXPECT_TRUE(CreateDirectoryPath(Path("曲/サブ/")));
  EXPECT_TRUE(fs::is_directory(root_ + "/曲/サブ"));
  // Names are created as they are, whether code page 932 holds them or not.
  EXPECT_TRUE(CreateDirectoryPath(Path("한/café")));
  EXPECT_TRUE(fs::is_directory(root_ + "/한/café"));
  WriteRaw("file", "x");
  EXPECT_FALSE(CreateDirectoryPath(Path("file/sub")));
}

// Folders whose names are different bytes that decode to one text: each
// is listed under a name of its own that leads back to its own bytes, so a
// walk reaches each once and mirrors each under its own bytes.
struct SpellingCase {
  const char* name;
  std::vector<std::string> raws;
};

const SpellingCase kSpellingCases[] = {
    {"ShiftJisAlone", {"\x8B\xC8\x83\x74\x83\x48\x83\x8B\x83\x5F"}},
    {"Utf8AndShiftJisOfOneName",
     {"\xE6\x9B\xB2\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80",
      "\x8B\xC8\x83\x74\x83\x48\x83\x8B\x83\x5F"}},
    {"NecSelectedAndIbmSpellingsOfOneCharacter", {"\xED\x40", "\xFA\x5C"}},
    {"ThreeSpellingsOfOneCharacter", {"\x81\xCA", "\xEE\xF9", "\xFA\x54"}},
};

class SpellingTest : public FileSystemTest, public testing::WithParamInterface<SpellingCase> {};

TEST_P(SpellingTest, EachFolderIsListedUnderANameOfItsOwn) {
  const SpellingCase& c = GetParam();
  fs::create_directories(root_ + "/in");
  for (const std::string& raw : c.raws) {
    fs::create_directories(root_ + "/in/" + raw);
    WriteRaw("in/" + raw + "/id.txt", raw);
  }
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(Path("in"), entries));
  ASSERT_EQ(entries.size(), c.raws.size());
  std::vector<std::string> reached;
  for (const DirectoryEntry& entry : entries) {
    // The name leads to the folder's own file, and mirrors to its bytes.
    std::FILE* file = OpenFile(CombinePath(CombinePath(Path("in"), entry.name), u"id.txt"), "rb");
    ASSERT_NE(file, nullptr);
    char buffer[64] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
    std::fclose(file);
    reached.emplace_back(buffer, n);
    EXPECT_TRUE(CreateDirectoryPath(CombinePath(Path("out"), entry.name)));
  }
  std::vector<std::string> expected = c.raws;
  std::sort(expected.begin(), expected.end());
  std::sort(reached.begin(), reached.end());
  EXPECT_EQ(reached, expected);
  // One mirror each: the entry that keeps the decoded name in UTF-8, the
  // others under their own bytes.
  const auto mirrored = std::distance(fs::directory_iterator(root_ + "/out"), fs::directory_iterator());
  EXPECT_EQ(static_cast<std::size_t>(mirrored), c.raws.size());
}

INSTANTIATE_TEST_SUITE_P(Names, SpellingTest, testing::ValuesIn(kSpellingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileSystemTest, DirectoryExistsAndCurrentDirectory) {
  WriteRaw("file.txt", "x");
  EXPECT_FALSE(DirectoryExists(Path("file.txt")));
  EXPECT_TRUE(DirectoryExists(U16(root_ + "/")));
  EXPECT_FALSE(DirectoryExists(u""));
  EXPECT_FALSE(DirectoryExists(Path("missing")));
  const std::u16string cwd = CurrentDirectory();
  EXPECT_FALSE(cwd.empty());
  EXPECT_TRUE(DirectoryExists(cwd));
}

TEST_F(FileSystemTest, OpenFileRefusesEmptyAndUnrepresentablePaths) {
  EXPECT_EQ(OpenFile("", "rb"), nullptr);
  EXPECT_EQ(OpenFile(ToNarrowPath(Path("한.txt")), "wb"), nullptr);
  EXPECT_FALSE(fs::exists(root_ + "/한.txt"));
  std::FILE* file = OpenFile(ToNarrowPath(Path("x.txt")), "wb");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  EXPECT_TRUE(RemoveFile(ToNarrowPath(Path("x.txt"))));
  EXPECT_FALSE(fs::exists(root_ + "/x.txt"));
}

TEST_F(FileSystemTest, ResolvedPathFollowsLinksAndDots) {
  ASSERT_EQ(mkdir((root_ + "/in").c_str(), 0777), 0);
  ASSERT_EQ(symlink((root_ + "/in").c_str(), (root_ + "/link").c_str()), 0);
  const std::u16string real = ResolvedPath(Path("in"));
  ASSERT_FALSE(real.empty());
  EXPECT_EQ(ResolvedPath(Path("link")), real);
  EXPECT_EQ(ResolvedPath(Path("in/../in/.")), real);
  EXPECT_EQ(ResolvedPath(Path("missing")), u"");
}

TEST_F(FileSystemTest, PathsLongerThanTheSystemLimitWork) {
  std::string relative;
  while (relative.size() <= PATH_MAX) relative += "a-folder-of-some-length/";
  relative += "曲";
  const std::u16string folder = Path(relative);
  ASSERT_TRUE(CreateDirectoryPath(folder));
  EXPECT_TRUE(DirectoryExists(folder));
  const std::u16string file = CombinePath(folder, u"kick.wav");
  std::FILE* created = OpenFile(file, "wb");
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(std::fwrite("sound", 1, 5, created), 5u);
  std::fclose(created);
  EXPECT_EQ(FileSize(file), 5);
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(folder, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, u"kick.wav");
  EXPECT_TRUE(RemoveFile(file));
  EXPECT_EQ(FileSize(file), -1);
}

TEST_F(FileSystemTest, OnlyRegularFilesAreOpened) {
  ASSERT_EQ(mkfifo((root_ + "/pipe").c_str(), 0666), 0);
  ASSERT_EQ(symlink("/dev/zero", (root_ + "/zero.bms").c_str()), 0);
  ASSERT_EQ(mkdir((root_ + "/folder").c_str(), 0777), 0);
  WriteRaw("plain.txt", "x");
  ASSERT_EQ(symlink((root_ + "/plain.txt").c_str(), (root_ + "/alias.txt").c_str()), 0);
  for (const char* name : {"pipe", "zero.bms", "folder"}) {
    EXPECT_EQ(OpenFile(Path(name), "rb"), nullptr) << name;
    EXPECT_FALSE(CopyFileOverwrite(Path(name), Path("copy"))) << name;
  }
  // Writing to a FIFO would wait for a reader; a device takes the bytes.
  EXPECT_EQ(OpenFile(Path("pipe"), "wb"), nullptr);
  EXPECT_FALSE(CopyFileOverwrite(Path("plain.txt"), Path("pipe")));
  std::FILE* device = OpenFile(Path("zero.bms"), "wb");
  ASSERT_NE(device, nullptr);
  std::fclose(device);
  std::FILE* alias = OpenFile(Path("alias.txt"), "rb");
  ASSERT_NE(alias, nullptr);
  std::fclose(alias);
}

TEST_F(FileSystemTest, CommitReplacesTheFinalNameInOneStep) {
  WriteRaw("final.txt", "earlier");
  WriteRaw(".hoshibako-1-1.tmp", "complete");
  ASSERT_TRUE(CommitFile(Path(".hoshibako-1-1.tmp"), Path("final.txt")));
  EXPECT_EQ(ReadRaw("final.txt"), "complete");
  EXPECT_FALSE(fs::exists(root_ + "/.hoshibako-1-1.tmp"));
  // A folder in the way cannot be replaced; the temporary is left to remove.
  ASSERT_EQ(mkdir((root_ + "/taken").c_str(), 0777), 0);
  WriteRaw(".hoshibako-1-2.tmp", "x");
  EXPECT_FALSE(CommitFile(Path(".hoshibako-1-2.tmp"), Path("taken")));
  EXPECT_TRUE(fs::exists(root_ + "/.hoshibako-1-2.tmp"));
}

struct TemporaryNameCase {
  const char* name;
  const char* text;
  bool temporary;
};

const TemporaryNameCase kTemporaryNameCases[] = {
    {"Plain", ".hoshibako-0123456789abcdef-5.tmp", true},
    {"OldProcessIdShape", ".hoshibako-123-1.tmp", false},
    {"UpperCaseDigits", ".hoshibako-0123456789ABCDEF-5.tmp", false},
    {"OtherSuffix", ".hoshibako-0123456789abcdef-5.ogg", false},
    {"LockFile", ".hoshibako-0123456789abcdef.lock", false},
};

class TemporaryNameTest : public testing::TestWithParam<TemporaryNameCase> {};

TEST_P(TemporaryNameTest, Recognised) {
  const TemporaryNameCase& c = GetParam();
  EXPECT_EQ(IsOwnTemporaryName(U16(c.text)), c.temporary);
}

INSTANTIATE_TEST_SUITE_P(Names, TemporaryNameTest, testing::ValuesIn(kTemporaryNameCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileSystemTest, TemporariesAreReservedExclusivelyUnderTheRunsLock) {
  const std::u16string folder = U16(root_);
  const std::string lock = ".hoshibako-" + Utf16ToUtf8(RunId()) + ".lock";
  // The next fresh name is already taken by somebody's file: it is passed
  // over, not reused.
  const std::u16string peek = NewTemporaryName();
  const std::string taken = Utf16ToUtf8(peek.substr(0, peek.rfind(u'-') + 1)) +
                            std::to_string(std::stoull(Utf16ToUtf8(peek.substr(peek.rfind(u'-') + 1))) + 1) +
                            ".tmp";
  WriteRaw(taken, "somebody's");
  std::u16string first;
  ASSERT_TRUE(CreateTemporaryFile(folder, first));
  EXPECT_TRUE(IsOwnTemporaryName(first));
  EXPECT_NE(Utf16ToUtf8(first), taken);
  EXPECT_EQ(ReadRaw(taken), "somebody's");
  EXPECT_EQ(FileSize(CombinePath(folder, first)), 0);
  // The run's lock is there while a temporary of the run is, and goes
  // with the last of them.
  std::u16string second;
  ASSERT_TRUE(CreateTemporaryFile(folder, second));
  EXPECT_TRUE(fs::exists(root_ + "/" + lock));
  EXPECT_TRUE(CommitFile(CombinePath(folder, first), CombinePath(folder, u"final.txt")));
  EXPECT_TRUE(fs::exists(root_ + "/" + lock));
  EXPECT_TRUE(RemoveFile(CombinePath(folder, second)));
  EXPECT_FALSE(fs::exists(root_ + "/" + lock));
}

// Each row puts names in an empty folder, optionally holds the other run's
// lock from a descriptor of its own (as a live run in another namespace
// would), cleans up, and lists what is left.
struct StaleCase {
  const char* name;
  std::vector<std::string> files;
  bool holdOtherLock;
  std::vector<std::string> left;
};

constexpr char kOther[] = ".hoshibako-00000000deadbeef";

const StaleCase kStaleCases[] = {
    {"OtherRunWithoutLockFile", {std::string(kOther) + "-1.tmp"}, false, {}},
    {"OtherRunWithUnheldLock", {std::string(kOther) + "-1.tmp", std::string(kOther) + ".lock"}, false, {}},
    {"OtherRunStillHoldingItsLock",
     {std::string(kOther) + "-1.tmp", std::string(kOther) + ".lock"},
     true,
     {std::string(kOther) + "-1.tmp", std::string(kOther) + ".lock"}},
    {"UserFileOfTheOldShape", {".hoshibako-123-1.tmp"}, false, {".hoshibako-123-1.tmp"}},
};

class StaleTemporaryTest : public FileSystemTest, public testing::WithParamInterface<StaleCase> {};

TEST_P(StaleTemporaryTest, OnlyUnheldTemporariesOfTheShapeGo) {
  const StaleCase& c = GetParam();
  for (const std::string& file : c.files) WriteRaw(file, "x");
  // This run's own temporary always stays.
  std::u16string own;
  ASSERT_TRUE(CreateTemporaryFile(U16(root_), own));
  int held = -1;
  if (c.holdOtherLock) {
    held = open((root_ + "/" + kOther + ".lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
  }
  RemoveStaleTemporaries(U16(root_));
  if (held >= 0) close(held);
  const std::string ownLock = ".hoshibako-" + Utf16ToUtf8(RunId()) + ".lock";
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(root_)) {
    const std::string name = entry.path().filename().string();
    if (name != Utf16ToUtf8(own) && name != ownLock) left.push_back(name);
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, c.left);
  EXPECT_TRUE(RemoveFile(CombinePath(U16(root_), own)));
}

INSTANTIATE_TEST_SUITE_P(Folders, StaleTemporaryTest, testing::ValuesIn(kStaleCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct PrefixCase {
  const char* name;
  const char* prefix;
  const char* path;
  bool inside;
};

const PrefixCase kPrefixCases[] = {
    {"Below", "/songs", "/songs/out", true},
    {"Same", "/songs", "/songs", true},
    {"OtherCase", "/songs", "/SONGS", true},
    {"SiblingWithLongerName", "/songs", "/songs2", false},
    {"Above", "/songs/in", "/songs", false},
    {"Root", "/", "/anything/else", true},
    {"TrailingSeparator", "/songs/", "/songs/out", true},
    {"Empty", "", "/songs", false},
};

class PathIsPrefixTest : public testing::TestWithParam<PrefixCase> {};

TEST_P(PathIsPrefixTest, WholeComponents) {
  const PrefixCase& c = GetParam();
  EXPECT_EQ(PathIsPrefix(U16(c.prefix), U16(c.path)), c.inside);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathIsPrefixTest, testing::ValuesIn(kPrefixCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
