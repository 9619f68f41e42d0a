#include "bms/reference_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "scratch_folder_test.h"
#include "util/unicode.h"

namespace {

struct LookupCase {
  const char* name;
  const char* value;
  ReferenceKind kind;
  const char* expected;  // empty: not found
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.name; }

const LookupCase kLookupCases[] = {
    {"Exact", "kick.wav", ReferenceKind::Sound, "kick.wav"},
    {"CaseBlindName", "SNARE.ogg", ReferenceKind::Sound, "Snare.OGG"},
    {"CaseBlindNonAscii", "\xC3\x89T\xC3\x89.wav", ReferenceKind::Sound, "\xC3\xA9t\xC3\xA9.wav"},
    {"BackslashIntoSubfolder", "sub\\hat.wav", ReferenceKind::Sound, "sub/Hat.wav"},
    {"SlashIntoSubfolder", "SUB/HAT.WAV", ReferenceKind::Sound, "sub/Hat.wav"},
    {"DeeperSubfolder", "Sub2\\DEEP\\x.png", ReferenceKind::BgaImage, "Sub2/deep/x.png"},
    {"DotFolders", ".\\sub\\..\\kick.wav", ReferenceKind::Sound, "kick.wav"},
    {"AboveChartFolder", "..\\kick.wav", ReferenceKind::Sound, ""},
    {"TrailingBlanksIgnored", "kick.wav \t", ReferenceKind::Sound, "kick.wav"},
    {"SoundFallsBackToOgg", "snare.wav", ReferenceKind::Sound, "Snare.OGG"},
    {"SoundFallsBackToFlac", "clap.wav", ReferenceKind::Sound, "clap.flac"},
    {"WavComesBeforeOgg", "both.mp3", ReferenceKind::Sound, "both.wav"},
    {"SoundFallbackInSubfolder", "sub\\hat.ogg", ReferenceKind::Sound, "sub/Hat.wav"},
    {"PreviewFallsBack", "kick.ogg", ReferenceKind::PreviewSound, "kick.wav"},
    {"SoundNeverTakesImage", "bg.wav", ReferenceKind::Sound, ""},
    {"BgaImageFallsBackToJpg", "bg.bmp", ReferenceKind::BgaImage, "bg.jpg"},
    {"BgaImageNeverTakesSound", "kick.png", ReferenceKind::BgaImage, ""},
    {"ExactImageFound", "STAGE.PNG", ReferenceKind::ExactImage, "stage.png"},
    {"ExactImageNoFallback", "stage.bmp", ReferenceKind::ExactImage, ""},
    {"ExactCaseWinsAmongTwins", "case.wav", ReferenceKind::Sound, "case.wav"},
    {"OtherTwinWhenNoExactCase", "CASE.wav", ReferenceKind::Sound, "Case.wav"},
    {"FolderIsNoFile", "sub", ReferenceKind::Sound, ""},
    {"Missing", "none.wav", ReferenceKind::Sound, ""},
    {"Empty", " ", ReferenceKind::Sound, ""},
};

class ReferenceLookupTest : public testing::TestWithParam<LookupCase> {};

TEST_P(ReferenceLookupTest, FindsAsPlayersDo) {
  const ReferenceLookup lookup({u"kick.wav", u"Snare.OGG", u"clap.flac", u"both.ogg", u"both.wav",
                                u"sub/Hat.wav", u"Sub2/deep/x.png", u"bg.jpg", u"stage.png", u"Case.wav",
                                u"case.wav", U16("\xC3\xA9t\xC3\xA9.wav")});
  const LookupCase& c = GetParam();
  EXPECT_EQ(lookup.Find(U16(c.value), c.kind), U16(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Rows, ReferenceLookupTest, testing::ValuesIn(kLookupCases),
                         [](const testing::TestParamInfo<LookupCase>& info) {
                           return std::string(info.param.name);
                         });

using ReferenceLookupListingTest = ScratchFolderTest;

TEST_F(ReferenceLookupListingTest, ListsSubfoldersButNotLinks) {
  std::filesystem::create_directories(root_ / "song" / "Sounds");
  std::filesystem::create_directories(root_ / "elsewhere");
  WriteBytes(u"song/Sounds/Kick.ogg", "x");
  WriteBytes(u"elsewhere/linked.wav", "x");
  std::error_code error;
  std::filesystem::create_directory_symlink(root_ / "elsewhere", root_ / "song" / "link", error);

  ReferenceLookup lookup;
  EXPECT_FALSE(lookup.ListFolder(Path(u"missing")));
  ASSERT_TRUE(lookup.ListFolder(Path(u"song")));
  EXPECT_EQ(lookup.Find(u"sounds\\kick.wav", ReferenceKind::Sound), u"Sounds/Kick.ogg");
  if (error) GTEST_SKIP() << "symbolic links unavailable";
  EXPECT_EQ(lookup.Find(u"link\\linked.wav", ReferenceKind::Sound), u"");
}

}  // namespace
