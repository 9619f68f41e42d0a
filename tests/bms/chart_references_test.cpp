#include "bms/chart_references.h"

#include <gtest/gtest.h>

#include "scratch_folder_test.h"
#include "util/unicode.h"

namespace {

using ChartReferencesTest = ScratchFolderTest;

TEST_F(ChartReferencesTest, ListsScriptCommandsThatNameFiles) {
  WriteBytes(u"song.bme",
             "*---------------------- HEADER FIELD\r\n"
             "#TITLE a.wav\r\n"
             "#wav01 kick.wav\r\n"
             "  #WAVzz\tsub\\Snare.WAV \r\n"
             "#WAV kick.wav\r\n"
             "#WAV001 kick.wav\r\n"
             "#BMP00 poor.bmp\r\n"
             "#bmp01 \x83\x4C.bmp\n"
             "#StageFile stage.bmp\r\n"
             "#BANNER banner.bmp\r\n"
             "#BACKBMP back.bmp\r\n"
             "#PREVIEW preview.ogg\r\n"
             "#BANNER\r\n"
             "#00111:01\r\n");
  std::vector<ChartReference> references;
  ASSERT_TRUE(ListChartReferences(Path(u"song.bme"), references));

  struct Expected {
    std::size_t line;
    const char* command;
    const char* value;
    ReferenceKind kind;
  };
  const Expected expected[] = {
      {3, "#WAV01", "kick.wav", ReferenceKind::Sound},
      {4, "#WAVZZ", "sub\\Snare.WAV ", ReferenceKind::Sound},
      {7, "#BMP00", "poor.bmp", ReferenceKind::BgaImage},
      {8, "#BMP01", "\xE3\x82\xAD.bmp", ReferenceKind::BgaImage},
      {9, "#STAGEFILE", "stage.bmp", ReferenceKind::ExactImage},
      {10, "#BANNER", "banner.bmp", ReferenceKind::ExactImage},
      {11, "#BACKBMP", "back.bmp", ReferenceKind::ExactImage},
      {12, "#PREVIEW", "preview.ogg", ReferenceKind::PreviewSound},
  };
  ASSERT_EQ(references.size(), std::size(expected));
  for (std::size_t i = 0; i < references.size(); ++i) {
    SCOPED_TRACE(expected[i].command);
    EXPECT_EQ(references[i].lineNumber, expected[i].line);
    EXPECT_EQ(references[i].command, U16(expected[i].command));
    EXPECT_EQ(references[i].value, U16(expected[i].value));
    EXPECT_EQ(references[i].kind, expected[i].kind);
    EXPECT_TRUE(references[i].jsonPath.empty());
  }
}

TEST_F(ChartReferencesTest, ReadsBmsonByItsExtension) {
  WriteBytes(u"song.BMSON", R"({"info":{"banner_image":"b.bmp"}})");
  std::vector<ChartReference> references;
  ASSERT_TRUE(ListChartReferences(Path(u"song.BMSON"), references));
  ASSERT_EQ(references.size(), 1u);
  EXPECT_EQ(references[0].jsonPath, u"info.banner_image");

  WriteBytes(u"bad.bmson", "{");
  EXPECT_FALSE(ListChartReferences(Path(u"bad.bmson"), references));
  EXPECT_FALSE(ListChartReferences(Path(u"missing.bms"), references));
}

}  // namespace
