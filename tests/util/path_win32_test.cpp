#include <gtest/gtest.h>

#include "util/file_system.h"
#include "util/path.h"
#include "util/unicode.h"

// Path rules with the backslash as the folder separator.

namespace {

struct JoinCase {
  const char* name;
  const char* folder;
  const char* item;
  const char* result;
};

const JoinCase kJoinCases[] = {
    {"Pattern", "C:\\in", "*", "C:\\in\\*"},
    {"TrailingBackslash", "C:\\in\\", "sub", "C:\\in\\sub"},
    {"EmptyFolder", "", "name", "name"},
    {"Relative", "in", "a.wav", "in\\a.wav"},
    {"DriveRoot", "C:\\", "a", "C:\\a"},
    {"DotResolved", "C:\\in\\.", "a", "C:\\in\\a"},
    {"DotDotResolved", "C:\\in\\sub\\..", "a", "C:\\in\\a"},
    {"DotDotStopsAtDrive", "C:\\..", "a", "C:\\a"},
    {"ForwardSlashIsAName", "C:\\in/x", "a", "C:\\in/x\\a"},
    {"NetworkShare", "\\\\server\\share", "a", "\\\\server\\share\\a"},
    {"DotDotStopsAtShare", "\\\\server\\share\\..", "a", "\\\\server\\share\\a"},
    {"JapaneseNames", "C:\\曲", "ソ表.wav", "C:\\曲\\ソ表.wav"},
};

class CombinePathWin32Test : public testing::TestWithParam<JoinCase> {};

TEST_P(CombinePathWin32Test, Joins) {
  const JoinCase& c = GetParam();
  EXPECT_EQ(CombinePath(U16(c.folder), U16(c.item)), U16(c.result));
}

INSTANTIATE_TEST_SUITE_P(Paths, CombinePathWin32Test, testing::ValuesIn(kJoinCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct RootCase {
  const char* name;
  const char* path;
  std::size_t rootLength;
};

// Where the system's root ends; either slash counts there.
const RootCase kRootCases[] = {
    {"Relative", "in\\a", 0},
    {"DriveRelative", "C:in", 2},
    {"Drive", "C:\\in", 3},
    {"DriveWithSlash", "C:/in", 3},
    {"LeadingBackslash", "\\in", 1},
    {"LeadingSlash", "/in", 1},
    {"NetworkShare", "\\\\server\\share\\in", 15},
    {"NetworkShareAlone", "\\\\server\\share", 14},
    {"LongPathPrefix", "\\\\?\\C:\\in", 7},
};

class PathRootLengthWin32Test : public testing::TestWithParam<RootCase> {};

TEST_P(PathRootLengthWin32Test, RootEnds) {
  const RootCase& c = GetParam();
  EXPECT_EQ(PathRootLength(U16(c.path)), c.rootLength);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathRootLengthWin32Test, testing::ValuesIn(kRootCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AddBackslashWin32Test, AddsOneBackslash) {
  EXPECT_EQ(AddBackslash(u"C:\\out"), u"C:\\out\\");
  EXPECT_EQ(AddBackslash(u"C:\\out\\"), u"C:\\out\\");
  EXPECT_EQ(AddBackslash(u""), u"");
  // A forward slash is an ordinary character here.
  EXPECT_EQ(AddBackslash(u"C:\\out/"), u"C:\\out/\\");
}

TEST(ExtensionWin32Test, ForwardSlashDoesNotEndAnExtension) {
  EXPECT_EQ(FindExtension(u"dir.x/file"), u".x/file");
  EXPECT_EQ(FindExtension(u"dir.x\\file"), u"");
  EXPECT_EQ(ChangeExtension(u"C:\\in.d\\sound\\KICK.WAV", u".ogg"), u"C:\\in.d\\sound\\KICK.ogg");
}

struct PrefixCase {
  const char* name;
  const char* prefix;
  const char* path;
  bool inside;
};

const PrefixCase kPrefixCases[] = {
    {"OtherCaseOfTheSameFolder", "c:\\SONGS", "C:\\songs", true},
    {"BelowInOtherCase", "c:\\SONGS", "C:\\songs\\out", true},
    {"Same", "C:\\songs", "C:\\songs", true},
    {"SiblingWithLongerName", "C:\\songs", "C:\\songs2", false},
    {"Above", "C:\\songs\\in", "C:\\songs", false},
    {"DriveRoot", "C:\\", "C:\\anything\\else", true},
    {"OtherDrive", "C:\\songs", "D:\\songs\\out", false},
    {"TrailingBackslash", "C:\\songs\\", "C:\\songs\\out", true},
    {"ForwardSlashIsNoSeparator", "C:\\songs", "C:\\songs/out", false},
    {"FullWidthLettersFoldToo", "C:\\ＳＯＮＧＳ", "C:\\ｓｏｎｇｓ\\out", true},
    {"Empty", "", "C:\\songs", false},
};

class PathIsPrefixWin32Test : public testing::TestWithParam<PrefixCase> {};

TEST_P(PathIsPrefixWin32Test, WholeComponents) {
  const PrefixCase& c = GetParam();
  EXPECT_EQ(PathIsPrefix(U16(c.prefix), U16(c.path)), c.inside);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathIsPrefixWin32Test, testing::ValuesIn(kPrefixCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
