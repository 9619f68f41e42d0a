#include "bms/bmson.h"

#include <gtest/gtest.h>

#include <string>

#include "scratch_folder_test.h"
#include "util/unicode.h"

namespace {

enum Flags { Sound = 1, Image = 2, Flac = 4 };

struct RewriteCase {
  const char* name;
  int flags;
  std::string source;
  std::string expected;  // empty: the document is refused
};

void PrintTo(const RewriteCase& c, std::ostream* os) { *os << c.name; }

const RewriteCase kRewriteCases[] = {
    {"SoundChannel", Sound | Image, R"({"sound_channels":[{"name":"kick.wav","notes":[]}]})",
     R"({"sound_channels":[{"name":"kick.ogg","notes":[]}]})"},
    {"SecondElementAndUpperCaseExtension", Sound,
     R"({"sound_channels":[{"name":"a.ogg"},{"name":"Kick.WAV"}]})",
     R"({"sound_channels":[{"name":"a.ogg"},{"name":"Kick.ogg"}]})"},
    {"KeyAndMineChannels", Sound, R"({"key_channels":[{"name":"k.wav"}],"mine_channels":[{"name":"m.wav"}]})",
     R"({"key_channels":[{"name":"k.ogg"}],"mine_channels":[{"name":"m.ogg"}]})"},
    {"PreviewMusic", Sound, R"({"info":{"preview_music":"pre.wav"}})",
     R"({"info":{"preview_music":"pre.ogg"}})"},
    {"BgaHeader", Image, R"({"bga":{"bga_header":[{"id":1,"name":"bg.bmp"}]}})",
     R"({"bga":{"bga_header":[{"id":1,"name":"bg.png"}]}})"},
    {"InfoImages", Image,
     R"({"info":{"back_image":"a.bmp","eyecatch_image":"b.bmp","banner_image":"c.BMP","title_image":"d.bmp"}})",
     R"({"info":{"back_image":"a.png","eyecatch_image":"b.png","banner_image":"c.png","title_image":"d.png"}})"},
    {"ImageWithSoundOnly", Sound, R"({"info":{"banner_image":"c.bmp"}})",
     R"({"info":{"banner_image":"c.bmp"}})"},
    {"SoundWithImagesOnly", Image, R"({"sound_channels":[{"name":"a.wav"}]})",
     R"({"sound_channels":[{"name":"a.wav"}]})"},
    {"BmpNameInSoundField", Sound | Image, R"({"sound_channels":[{"name":"a.bmp"}]})",
     R"({"sound_channels":[{"name":"a.bmp"}]})"},
    {"OtherFieldsUntouched", Sound | Image,
     R"({"info":{"title":"a.wav","back_image_x":"b.bmp"},"name":"c.wav"})",
     R"({"info":{"title":"a.wav","back_image_x":"b.bmp"},"name":"c.wav"})"},
    {"ChannelsNotAnArray", Sound, R"({"sound_channels":{"name":"a.wav"}})",
     R"({"sound_channels":{"name":"a.wav"}})"},
    {"FieldNotAtItsPlace", Sound, R"({"x":{"sound_channels":[{"name":"a.wav"}]}})",
     R"({"x":{"sound_channels":[{"name":"a.wav"}]}})"},
    {"LosslessSound", Sound | Flac, R"({"sound_channels":[{"name":"a.wav\t"}]})",
     R"({"sound_channels":[{"name":"a.flac\t"}]})"},
    {"TrailingBlanksStayAfterTheNewExtension", Sound, R"({"sound_channels":[{"name":"a.wav \t"}]})",
     R"({"sound_channels":[{"name":"a.ogg \t"}]})"},
    {"LayoutKept", Sound, "\xEF\xBB\xBF {\r\n\t\"sound_channels\" : [ { \"name\" :\t\"a.wav\" } ]\r\n}\r\n",
     "\xEF\xBB\xBF {\r\n\t\"sound_channels\" : [ { \"name\" :\t\"a.ogg\" } ]\r\n}\r\n"},
    {"EscapesBeforeExtensionKept", Sound, R"({"sound_channels":[{"name":"sub\\d\/\u30ad\"q\".wav"}]})",
     R"({"sound_channels":[{"name":"sub\\d\/\u30ad\"q\".ogg"}]})"},
    {"EscapedDotReplaced", Sound, R"({"sound_channels":[{"name":"kick\u002Ewav"}]})",
     R"({"sound_channels":[{"name":"kick.ogg"}]})"},
    {"EscapedKey", Sound, R"({"sound_channels":[{"na\u006de":"a.wav"}]})",
     R"({"sound_channels":[{"na\u006de":"a.ogg"}]})"},
    {"Utf8Name", Sound, "{\"sound_channels\":[{\"name\":\"\xE3\x82\xAD.wav\"}]}",
     "{\"sound_channels\":[{\"name\":\"\xE3\x82\xAD.ogg\"}]}"},
    {"NonUtf8BytesPassThrough", Sound,
     "{\"title\":\"\x83\x4C\",\"sound_channels\":[{\"name\":\"\x83\x4C.wav\"}]}",
     "{\"title\":\"\x83\x4C\",\"sound_channels\":[{\"name\":\"\x83\x4C.ogg\"}]}"},
    {"NumbersAndLiterals", Sound,
     R"({"n":[-0.5e+3,0,12,true,false,null],"sound_channels":[{"name":"a.wav"}]})",
     R"({"n":[-0.5e+3,0,12,true,false,null],"sound_channels":[{"name":"a.ogg"}]})"},
    {"Empty", Sound, "", ""},
    {"OnlyWhitespace", Sound, " \r\n", ""},
    {"TrailingComma", Sound, R"({"sound_channels":[{"name":"a.wav"},]})", ""},
    {"UnclosedString", Sound, R"({"sound_channels":[{"name":"a.wav}]})", ""},
    {"UnclosedObject", Sound, R"({"sound_channels":[{"name":"a.wav"}])", ""},
    {"ControlCharacterInString", Sound, "{\"sound_channels\":[{\"name\":\"a\tb.wav\"}]}", ""},
    {"UnknownEscape", Sound, R"({"sound_channels":[{"name":"a\x.wav"}]})", ""},
    {"ShortUnicodeEscape", Sound, R"({"sound_channels":[{"name":"a\u12.wav"}]})", ""},
    {"SingleQuotes", Sound, R"({'sound_channels':[]})", ""},
    {"LeadingZero", Sound, R"({"n":01})", ""},
    {"BareFraction", Sound, R"({"n":.5})", ""},
    {"MisspelledLiteral", Sound, R"({"n":tru})", ""},
    {"MissingColon", Sound, R"({"n" 1})", ""},
    {"TwoDocuments", Sound, "{} {}", ""},
    {"NestingBeyondLimit", Sound, std::string(300, '[') + std::string(300, ']'), ""},
};

class BmsonRewriteTest : public testing::TestWithParam<RewriteCase> {};

TEST_P(BmsonRewriteTest, ChangesOnlyReferenceValues) {
  const RewriteCase& c = GetParam();
  std::string out = "untouched";
  const bool accepted =
      RewriteBmsonText(c.source,
                       ReferenceRenaming::For(((c.flags & Sound) ? CompressSound : OptionFlags{0}) |
                                              ((c.flags & Image) ? CompressImages : OptionFlags{0}) |
                                              ((c.flags & Flac) ? EncodeFlac : OptionFlags{0})),
                       out);
  if (c.expected.empty()) {
    EXPECT_FALSE(accepted);
    EXPECT_EQ(out, "untouched");
  } else {
    ASSERT_TRUE(accepted);
    EXPECT_EQ(out, c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, BmsonRewriteTest, testing::ValuesIn(kRewriteCases),
                         [](const testing::TestParamInfo<RewriteCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(BmsonReferencesTest, ListsEveryFieldInDocumentOrder) {
  const std::string chart = R"({
  "version": "1.0.0",
  "info": {"title": "t.wav", "back_image": "back.bmp", "eyecatch_image": "eye.png",
           "banner_image": "banner.bmp", "title_image": "title.bmp", "preview_music": "pre.wav"},
  "sound_channels": [{"name": "a.wav", "notes": [{"x": 1, "y": 0, "l": 0, "c": false}]},
                     {"name": "sub\\b\u002ewav", "notes": []}],
  "bga": {"bga_header": [{"id": 0, "name": "bg.bmp"}], "bga_events": []},
  "key_channels": [{"name": "key.wav", "notes": []}],
  "mine_channels": [{"name": "mine.wav", "notes": []}]
})";
  std::vector<ChartReference> references;
  ASSERT_TRUE(ListBmsonReferences(chart, references));

  struct Expected {
    const char* path;
    const char* command;
    const char* value;
    ReferenceKind kind;
  };
  const Expected expected[] = {
      {"info.back_image", "info.back_image", "back.bmp", ReferenceKind::ExactImage},
      {"info.eyecatch_image", "info.eyecatch_image", "eye.png", ReferenceKind::ExactImage},
      {"info.banner_image", "info.banner_image", "banner.bmp", ReferenceKind::ExactImage},
      {"info.title_image", "info.title_image", "title.bmp", ReferenceKind::ExactImage},
      {"info.preview_music", "info.preview_music", "pre.wav", ReferenceKind::PreviewSound},
      {"sound_channels[0].name", "sound_channels[].name", "a.wav", ReferenceKind::Sound},
      {"sound_channels[1].name", "sound_channels[].name", "sub\\b.wav", ReferenceKind::Sound},
      {"bga.bga_header[0].name", "bga.bga_header[].name", "bg.bmp", ReferenceKind::BgaImage},
      {"key_channels[0].name", "key_channels[].name", "key.wav", ReferenceKind::Sound},
      {"mine_channels[0].name", "mine_channels[].name", "mine.wav", ReferenceKind::Sound},
  };
  ASSERT_EQ(references.size(), std::size(expected));
  for (std::size_t i = 0; i < references.size(); ++i) {
    SCOPED_TRACE(expected[i].path);
    EXPECT_EQ(references[i].jsonPath, U16(expected[i].path));
    EXPECT_EQ(references[i].command, U16(expected[i].command));
    EXPECT_EQ(references[i].value, U16(expected[i].value));
    EXPECT_EQ(references[i].kind, expected[i].kind);
    EXPECT_EQ(references[i].lineNumber, 0u);
  }

  std::vector<ChartReference> none;
  EXPECT_FALSE(ListBmsonReferences(R"({"sound_channels":[{"name":"a.wav"})", none));
  EXPECT_TRUE(none.empty());
}

using BmsonRewriterTest = ScratchFolderTest;

TEST_F(BmsonRewriterTest, RewritesFileAndRefusesMalformed) {
  WriteBytes(u"in.bmson", R"({"sound_channels":[{"name":"a.wav"}],"bga":{"bga_header":[{"name":"b.bmp"}]}})");
  ASSERT_TRUE((BmsonRewriter{ReferenceRenaming::For(CompressSound | CompressImages)}.Rewrite(
      Path(u"in.bmson"), Path(u"out.bmson"))));
  EXPECT_EQ(ReadBytes(u"out.bmson"),
            R"({"sound_channels":[{"name":"a.ogg"}],"bga":{"bga_header":[{"name":"b.png"}]}})");

  WriteBytes(u"bad.bmson", R"({"sound_channels":[{"name":"a.wav"}])");
  EXPECT_FALSE((BmsonRewriter{ReferenceRenaming::For(CompressSound)}.Rewrite(Path(u"bad.bmson"),
                                                                             Path(u"bad-out.bmson"))));
  EXPECT_FALSE(Exists(u"bad-out.bmson"));
  EXPECT_FALSE((BmsonRewriter{ReferenceRenaming::For(CompressSound)}.Rewrite(Path(u"missing.bmson"),
                                                                             Path(u"missing-out.bmson"))));

  // With nothing to rewrite the chart is copied as it is, well-formed or not.
  ASSERT_TRUE((BmsonRewriter{}.Rewrite(Path(u"bad.bmson"), Path(u"copy.bmson"))));
  EXPECT_EQ(ReadBytes(u"copy.bmson"), ReadBytes(u"bad.bmson"));
}

}  // namespace
