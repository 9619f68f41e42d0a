#include "util/path.h"

#include <gtest/gtest.h>

#include "util/unicode.h"

namespace {

struct ExtensionCase {
  const char* name;
  const char* path;
  const char* extension;
  bool hasWav;
};

// Script values keep the backslash rows: a backslash ends an extension
// candidate on every platform.
const ExtensionCase kExtensionCases[] = {
    {"UpperCaseInFolder", "sound/KICK.WAV", ".WAV", true},
    {"BackslashFolderInScript", "sound\\KICK.WAV", ".WAV", true},
    {"LastDotWins", "a.b.c", ".c", false},
    {"TrailingDot", "name.", ".", false},
    {"DotFileIsExtension", ".wav", ".wav", true},
#ifndef _WIN32
    // The forward slash ends an extension only where it separates folders.
    {"DotInFolderOnly", "dir.x/file", "", false},
    {"SlashAfterDotInValue", "a.b/kick", "", false},
#endif
    {"DotInBackslashFolderOnly", "dir.x\\file", "", false},
    {"SpaceCancelsDot", "name.with space", "", false},
    {"NoDot", "kick", "", false},
    {"TrailingSpace", "kick.wav ", "", false},
    {"DoubleExtension", "kick.wav.bak", ".bak", false},
    {"QuotedName", "\"kick.wav\"", ".wav\"", false},
    {"FullWidthUpper", "kick.ＷＡＶ", ".ＷＡＶ", false},
};

class ExtensionTest : public testing::TestWithParam<ExtensionCase> {};

TEST_P(ExtensionTest, FindAndHas) {
  const ExtensionCase& c = GetParam();
  EXPECT_EQ(FindExtension(U16(c.path)), U16(c.extension));
  EXPECT_EQ(HasExtension(U16(c.path), u".wav"), c.hasWav);
}

INSTANTIATE_TEST_SUITE_P(Paths, ExtensionTest, testing::ValuesIn(kExtensionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HasExtensionTest, GivenExtensionIsNotLowerCased) {
  EXPECT_FALSE(HasExtension(u"kick.wav", u".WAV"));
  EXPECT_TRUE(HasExtension(u"kick", u""));
  EXPECT_FALSE(HasExtension(u"kick.wav", u""));
  // Full-width letters lower-case too, so the extension still differs from ".wav".
  EXPECT_TRUE(HasExtension(U16("a.ＷＡＶ"), U16(".ｗａｖ")));
}

struct ChangeCase {
  const char* name;
  const char* path;
  const char* extension;
  const char* result;
};

const ChangeCase kChangeCases[] = {
    {"KeepsStemCase", "sound/KICK.WAV", ".ogg", "sound/KICK.ogg"},
    {"BackslashValue", "sub dir\\kick.wav", ".ogg", "sub dir\\kick.ogg"},
    {"AddsDot", "kick", "ogg", "kick.ogg"},
    {"EmptyRemoves", "x.wav", "", "x"},
#ifndef _WIN32
    {"FolderDotUntouched", "a.b/c", ".png", "a.b/c.png"},
#endif
    {"BackslashFolderDotUntouched", "a.b\\c", ".png", "a.b\\c.png"},
    {"SpaceAfterDot", "bg.tar gz", ".png", "bg.tar gz.png"},
};

class ChangeExtensionTest : public testing::TestWithParam<ChangeCase> {};

TEST_P(ChangeExtensionTest, Replaces) {
  const ChangeCase& c = GetParam();
  EXPECT_EQ(ChangeExtension(U16(c.path), U16(c.extension)), U16(c.result));
}

INSTANTIATE_TEST_SUITE_P(Paths, ChangeExtensionTest, testing::ValuesIn(kChangeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Joining with the forward slash; the backslash tables are in path_win32_test.cpp.
#ifndef _WIN32
struct JoinCase {
  const char* name;
  const char* folder;
  const char* item;
  const char* result;
};

const JoinCase kJoinCases[] = {
    {"Pattern", "/in", "*", "/in/*"},
    {"TrailingSeparator", "/in/", "sub", "/in/sub"},
    {"Plain", "/in", "sub", "/in/sub"},
    {"EmptyFolder", "", "name", "name"},
    {"Relative", "in", "a.wav", "in/a.wav"},
    {"DotResolved", "/in/.", "a", "/in/a"},
    {"DotDotResolved", "/in/sub/..", "a", "/in/a"},
    {"DotDotAtRoot", "/..", "a", "/a"},
    {"NameWithDots", "/in", "...", "/in/..."},
    {"RelativeParentKept", "../x", "y", "../x/y"},
    {"RelativeParentsKept", "../../x/..", "y", "../../y"},
    {"Root", "/", "a", "/a"},
};

class CombinePathTest : public testing::TestWithParam<JoinCase> {};

TEST_P(CombinePathTest, Joins) {
  const JoinCase& c = GetParam();
  EXPECT_EQ(CombinePath(U16(c.folder), U16(c.item)), U16(c.result));
}

INSTANTIATE_TEST_SUITE_P(Paths, CombinePathTest, testing::ValuesIn(kJoinCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct RootCase {
  const char* name;
  const char* path;
  std::size_t rootLength;
};

const RootCase kRootCases[] = {
    {"Empty", "", 0},
    {"Relative", "in/a", 0},
    {"DotRelative", "./in", 0},
    {"Root", "/", 1},
    {"Absolute", "/in/a", 1},
    {"DoubleSlash", "//in", 2},
    {"DriveLetterIsAName", "C:/in", 0},
};

class PathRootLengthTest : public testing::TestWithParam<RootCase> {};

TEST_P(PathRootLengthTest, LeadingSlashes) {
  const RootCase& c = GetParam();
  EXPECT_EQ(PathRootLength(U16(c.path)), c.rootLength);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathRootLengthTest, testing::ValuesIn(kRootCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AddBackslashTest, AddsOneSeparator) {
  EXPECT_EQ(AddBackslash(u"/out"), u"/out/");
  EXPECT_EQ(AddBackslash(u"/out/"), u"/out/");
  EXPECT_EQ(AddBackslash(u""), u"");
}
#endif

TEST(ToNarrowPathTest, Cp932Form) {
  EXPECT_EQ(ToNarrowPath(u"/songs/kick.wav"), "/songs/kick.wav");
  // ソ (83 5C) and 表 (95 5C) end in the backslash byte; they stay characters.
  EXPECT_EQ(ToNarrowPath(U16("/曲/ソ表.wav")), "/\x8B\xC8/\x83\x5C\x95\x5C.wav");
  EXPECT_EQ(ToNarrowPath(U16("ｱ")), "\xB1");
  // A Hangul syllable has no code page 932 form: the whole result is empty.
  EXPECT_EQ(ToNarrowPath(U16("/songs/한.wav")), "");
  // The yen sign must not become 0x5C, which would read as a separator.
  EXPECT_EQ(ToNarrowPath(U16("¥.wav")), "");
  EXPECT_EQ(ToNarrowPath(u""), "");
}

}  // namespace
