#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "util/cp932.h"
#include "util/file_system.h"
#include "util/path.h"
#include "util/unicode.h"

// The Windows file system through the wide API. The fixtures are made with
// the system's own wide calls, so the names on disk are exactly the UTF-16
// names the test gives; nothing goes through the ANSI code page, which is
// not 932 on the machines (and the Wine prefixes) these tests run on.

namespace {

namespace fs = std::filesystem;

std::wstring W(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

class FileSystemWin32Test : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_GT(length, 0u);
    wchar_t name[MAX_PATH + 1];
    ASSERT_NE(GetTempFileNameW(temp, L"hsb", 0, name), 0u);
    // The call reserved the name as a file; the fixture is a folder.
    ASSERT_TRUE(DeleteFileW(name));
    ASSERT_TRUE(CreateDirectoryW(name, nullptr));
    root_ = std::u16string(name, name + wcslen(name));
  }
  void TearDown() override {
    std::error_code ignored;
    // Read-only fixtures must lose the flag before they can be removed.
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(W(root_)), ignored)) {
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(fs::path(W(root_)), ignored);
  }

  std::u16string Path(const char* utf8) const { return CombinePath(root_, U16(utf8)); }

  void Write(const char* utf8, const std::string& content) const {
    HANDLE file = CreateFileW(W(Path(utf8)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << utf8;
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
    CloseHandle(file);
  }

  std::string Read(const char* utf8) const {
    HANDLE file = CreateFileW(W(Path(utf8)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string content(4096, '\0');
    DWORD read = 0;
    ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
    CloseHandle(file);
    content.resize(read);
    return content;
  }

  void MakeFolder(const char* utf8) const {
    ASSERT_TRUE(CreateDirectoryW(W(Path(utf8)).c_str(), nullptr)) << utf8;
  }

  bool Exists(const char* utf8) const {
    return GetFileAttributesW(W(Path(utf8)).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  std::u16string root_;
};

TEST_F(FileSystemWin32Test, ListingNamesFoldersInNameOrder) {
  Write("b.wav", "b");
  Write("A.txt", "a");
  Write("c.bmp", "c");
  MakeFolder("voice.wav");
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(root_, entries));
  ASSERT_EQ(entries.size(), 4u);
  // Letters are ordered without regard to case, as NTFS keeps its index.
  EXPECT_EQ(entries[0].name, u"A.txt");
  EXPECT_EQ(entries[1].name, u"b.wav");
  EXPECT_EQ(entries[2].name, u"c.bmp");
  EXPECT_EQ(entries[3].name, u"voice.wav");
  EXPECT_FALSE(entries[0].isDirectory);
  EXPECT_TRUE(entries[3].isDirectory);
  EXPECT_FALSE(entries[3].isLink);

  // A trailing backslash lists the same folder; a missing one fails.
  ASSERT_TRUE(ListDirectory(AddBackslash(root_), entries));
  EXPECT_EQ(entries.size(), 4u);
  EXPECT_FALSE(ListDirectory(Path("missing"), entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(ListDirectory(Path("A.txt"), entries));

  MakeFolder("empty");
  EXPECT_TRUE(ListDirectory(Path("empty"), entries));
  EXPECT_TRUE(entries.empty());
}

TEST_F(FileSystemWin32Test, JapaneseNamesAreCreatedListedOpenedAndCopied) {
  // ソ and 表 end in the byte 0x5C in code page 932; 曲 and the kana are
  // plain two-byte characters.
  MakeFolder("曲フォルダ");
  Write("曲フォルダ\\ソ表.wav", "sound");
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(Path("曲フォルダ"), entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, U16("ソ表.wav"));

  // Opened by its code page 932 form, which names the same wide file.
  const std::u16string source = CombinePath(Path("曲フォルダ"), entries[0].name);
  const NarrowPath narrow = ToNarrowPath(source);
  ASSERT_FALSE(narrow.empty());
  EXPECT_NE(narrow.find("\x83\x5C\x95\x5C.wav"), std::string::npos);
  std::FILE* file = OpenFile(narrow, "rb");
  ASSERT_NE(file, nullptr);
  char buffer[16] = {};
  EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, file), 5u);
  std::fclose(file);
  EXPECT_EQ(FileSize(source), 5);

  ASSERT_TRUE(CreateDirectoryPath(Path("出力\\曲フォルダ")));
  ASSERT_TRUE(CopyFileOverwrite(source, Path("出力\\曲フォルダ\\ソ表.wav")));
  EXPECT_EQ(Read("出力\\曲フォルダ\\ソ表.wav"), "sound");

  // A file created by its narrow path gets the wide name, not the bytes
  // read in the ANSI code page.
  std::FILE* created = OpenFile(ToNarrowPath(Path("出力\\ｱﾙﾊﾞﾑ.txt")), "wb");
  ASSERT_NE(created, nullptr);
  std::fputs("x\n", created);
  std::fclose(created);
  EXPECT_EQ(Read("出力\\ｱﾙﾊﾞﾑ.txt"), "x\n");
  EXPECT_TRUE(RemoveFile(ToNarrowPath(Path("出力\\ｱﾙﾊﾞﾑ.txt"))));
  EXPECT_FALSE(Exists("出力\\ｱﾙﾊﾞﾑ.txt"));
}

TEST_F(FileSystemWin32Test, NamesOutsideTheCodePageAreListedAndOpenedByTheirWideName) {
  Write("한.txt", "x");
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(root_, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, U16("한.txt"));
  // The narrow form has no such name, but the wide one opens it.
  EXPECT_EQ(ToNarrowPath(Path("한.txt")), "");
  EXPECT_EQ(OpenFile(ToNarrowPath(Path("한.txt")), "rb"), nullptr);
  std::FILE* file = OpenFile(Path("한.txt"), "rb");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  EXPECT_TRUE(CreateDirectoryPath(Path("한\\café")));
  EXPECT_TRUE(Exists("한\\café"));
}

TEST_F(FileSystemWin32Test, PathsLongerThanTheClassicLimitWork) {
  std::string relative;
  while (relative.size() <= 400) relative += "a-folder-of-some-length\\";
  relative += "曲";
  const std::u16string folder = Path(relative.c_str());
  ASSERT_TRUE(CreateDirectoryPath(folder));
  EXPECT_TRUE(DirectoryExists(folder));
  const std::u16string name = CombinePath(folder, u"kick.wav");
  std::FILE* file = OpenFile(name, "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("sound", file);
  std::fclose(file);
  EXPECT_EQ(FileSize(name), 5);
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(folder, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(RemoveFile(name));
  // The fixture's removal goes through the library's short paths: take the
  // chain down from its deepest folder first.
  for (std::u16string path = folder; path.size() > root_.size(); path.resize(path.find_last_of(u'\\'))) {
    EXPECT_TRUE(RemoveDirectoryW(W(u"\\\\?\\" + path).c_str()));
  }
}

TEST_F(FileSystemWin32Test, NamesCompareWithoutRegardToCase) {
  EXPECT_EQ(FileNameKey(u"X.OGG"), FileNameKey(u"x.ogg"));
  EXPECT_NE(FileNameKey(u"x.ogg"), FileNameKey(u"y.ogg"));
}

TEST_F(FileSystemWin32Test, OpenFileNeverTranslatesText) {
  std::FILE* file = OpenFile(ToNarrowPath(Path("t.txt")), "w");
  ASSERT_NE(file, nullptr);
  std::fputs(
      "a\nb\x1A"
      "c",
      file);
  std::fclose(file);
  EXPECT_EQ(Read("t.txt"),
            "a\nb\x1A"
            "c");
  file = OpenFile(ToNarrowPath(Path("t.txt")), "r");
  ASSERT_NE(file, nullptr);
  char buffer[16] = {};
  EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, file), 5u);
  std::fclose(file);
  EXPECT_EQ(OpenFile("", "rb"), nullptr);
  EXPECT_EQ(OpenFile(ToNarrowPath(Path("missing.txt")), "r"), nullptr);
}

TEST_F(FileSystemWin32Test, CopyOverwritesAndKeepsAttributesAndTime) {
  Write("src.txt", "new content");
  Write("dst.txt", "old content that is longer");
  FILETIME time;
  time.dwLowDateTime = 0x12345678;
  time.dwHighDateTime = 0x01C00000;
  HANDLE file = CreateFileW(W(Path("src.txt")).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
  CloseHandle(file);
  ASSERT_TRUE(SetFileAttributesW(W(Path("src.txt")).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));

  ASSERT_TRUE(CopyFileOverwrite(Path("src.txt"), Path("dst.txt")));
  EXPECT_EQ(Read("dst.txt"), "new content");
  // Wine keeps the hidden flag only where the host file system stores
  // extended attributes; wherever the source has kept it, a new copy has it.
  ASSERT_TRUE(CopyFileOverwrite(Path("src.txt"), Path("fresh.txt")));
  if ((GetFileAttributesW(W(Path("src.txt")).c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0) {
    EXPECT_NE(GetFileAttributesW(W(Path("fresh.txt")).c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(W(Path("dst.txt")).c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime, time.dwLowDateTime);
  EXPECT_EQ(data.ftLastWriteTime.dwHighDateTime, time.dwHighDateTime);

  // A read-only source gives a read-only copy.
  Write("ro.txt", "locked");
  ASSERT_TRUE(SetFileAttributesW(W(Path("ro.txt")).c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(CopyFileOverwrite(Path("ro.txt"), Path("ro-copy.txt")));
  EXPECT_NE(GetFileAttributesW(W(Path("ro-copy.txt")).c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

  EXPECT_FALSE(CopyFileOverwrite(Path("missing.txt"), Path("x.txt")));
  EXPECT_FALSE(CopyFileOverwrite(Path("src.txt"), Path("no\\such\\folder\\x.txt")));
  EXPECT_FALSE(Exists("x.txt"));
}

TEST_F(FileSystemWin32Test, CreateDirectoryPathMakesTheWholeChain) {
  EXPECT_TRUE(CreateDirectoryPath(Path("a\\b\\c")));
  EXPECT_TRUE(DirectoryExists(Path("a\\b\\c")));
  EXPECT_TRUE(CreateDirectoryPath(Path("a\\b\\c")));
  EXPECT_TRUE(CreateDirectoryPath(Path("曲\\サブ\\")));
  EXPECT_TRUE(DirectoryExists(Path("曲\\サブ")));
  Write("file", "x");
  EXPECT_FALSE(CreateDirectoryPath(Path("file\\sub")));
  EXPECT_FALSE(CreateDirectoryPath(u""));
}

TEST_F(FileSystemWin32Test, CreateDirectoryPathWorksRelativeToTheCurrentFolder) {
  wchar_t saved[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, saved), 0u);
  ASSERT_TRUE(SetCurrentDirectoryW(W(root_).c_str()));
  const bool created = CreateDirectoryPath(u"rel\\x");
  const std::u16string current = CurrentDirectory();
  SetCurrentDirectoryW(saved);
  EXPECT_TRUE(created);
  EXPECT_TRUE(DirectoryExists(Path("rel\\x")));
  // No backslash is added, and the folder is the one just entered.
  EXPECT_EQ(ResolvedPath(current), ResolvedPath(root_));
  ASSERT_FALSE(current.empty());
  EXPECT_NE(current.back(), u'\\');
}

TEST_F(FileSystemWin32Test, DirectoryExistsAndCurrentDirectory) {
  Write("file.txt", "x");
  EXPECT_FALSE(DirectoryExists(Path("file.txt")));
  EXPECT_TRUE(DirectoryExists(AddBackslash(root_)));
  EXPECT_TRUE(DirectoryExists(root_));
  EXPECT_FALSE(DirectoryExists(u""));
  EXPECT_FALSE(DirectoryExists(Path("missing")));
  const std::u16string cwd = CurrentDirectory();
  ASSERT_FALSE(cwd.empty());
  EXPECT_TRUE(DirectoryExists(cwd));
}

TEST_F(FileSystemWin32Test, ResolvedPathResolvesDotsAndDropsTheLongPrefix) {
  MakeFolder("in");
  const std::u16string real = ResolvedPath(Path("in"));
  ASSERT_FALSE(real.empty());
  EXPECT_NE(real.rfind(u"\\\\?\\", 0), 0u);
  EXPECT_EQ(real.substr(1, 2), u":\\");
  EXPECT_EQ(ResolvedPath(Path("in\\..\\in\\.")), real);
  EXPECT_EQ(ResolvedPath(AddBackslash(Path("in"))), real);
  EXPECT_TRUE(PathIsPrefix(ResolvedPath(root_), real));
  EXPECT_EQ(ResolvedPath(Path("missing")), u"");
  EXPECT_EQ(ResolvedPath(u""), u"");
}

TEST_F(FileSystemWin32Test, RemoveFile) {
  Write("x.txt", "x");
  EXPECT_TRUE(RemoveFile(ToNarrowPath(Path("x.txt"))));
  EXPECT_FALSE(Exists("x.txt"));
  // Already gone counts as removed; an unrepresentable name does not.
  EXPECT_TRUE(RemoveFile(ToNarrowPath(Path("x.txt"))));
  EXPECT_FALSE(RemoveFile(""));
  EXPECT_EQ(FileSize(Path("x.txt")), -1);
}

}  // namespace
