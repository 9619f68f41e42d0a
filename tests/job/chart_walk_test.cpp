// The walk where charts decide: the chart-preserving mode, bmson charts and
// the stage, banner and preview references in the rewrite modes, and the
// check of every chart reference in the output.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "bms/text_file.h"
#include "job/conversion_job.h"
#include "job/reference_check.h"
#include "job/run_log.h"
#include "job_test_support.h"
#include "support/bmp_writer.h"
#include "support/scratch_folder.h"
#include "support/wav_writer.h"
#include "util/path.h"
#include "util/unicode.h"

namespace fs = std::filesystem;
using jobtest::BmpBytes;

namespace {

const std::string kOggMagic = "OggS";
const std::string kPngMagic = "\x89PNG\r\n\x1a\n";

class ChartWalkTest : public ::testing::Test {
 protected:
  fs::path In(const std::string& relative = "") const { return tmp.path() / "in" / relative; }
  fs::path Out(const std::string& relative = "") const { return tmp.path() / "out" / relative; }

  std::vector<FolderResult> Walk(OptionFlags options, std::u16string input = std::u16string()) {
    if (input.empty()) input = PathText(tmp.path() / "in");
    job.settings = JobSettings{input, PathText(tmp.path() / "out"), options};
    TextFile file;
    EXPECT_TRUE(file.Open(PathText(tmp.path() / "walk.log"), TextFileMode::Append));
    TextFileLog log(file);
    std::vector<FolderResult> rows;
    EXPECT_TRUE(job.ProcessFolder(log, job.settings.inputFolder, job.settings.outputFolder, rows));
    return rows;
  }

  // A short mono sine in the sample layout of `fields`.
  static Bytes Sine(const PcmFields& fields) {
    Bytes samples;
    for (int i = 0; i < 2205; ++i) PutSample(samples, fields, 0.5 * std::sin(i * 0.1));
    return WaveFile(fields, samples);
  }

  // Byte equality: a chart whose bytes are equal has equal MD5 and SHA-256.
  void ExpectSameBytes(const std::string& relative) const {
    ASSERT_TRUE(fs::exists(Out(relative))) << relative;
    EXPECT_EQ(ReadBytes(Out(relative)), ReadBytes(In(relative))) << relative;
  }

  ScratchFolder tmp;
  ConversionJob job;
};

// A script with mixed line ends and lower-case commands, which any rewrite
// would normalise.
const std::string kPreservedScript =
    "#TITLE kept\r\n#wav01 kick.wav\n#WAV02 deep.wav\r\n#WAV03 float.wav\r\n#WAV04 adpcm.wav\r\n"
    "#BMP01 bg.bmp\r\n#BMP02 broken.bmp\r\n#stagefile stage.bmp\r\n#BANNER Img\\Banner.BMP\r\n"
    "#PREVIEW preview.wav\r\n#00111:01020304\r\n";
const std::string kPreservedBmson =
    "{\"info\":{\"title\":\"kept\",\"back_image\":\"back.bmp\",\"eyecatch_image\":\"sub/eye.bmp\"},\n"
    " \"sound_channels\":[{\"name\":\"kick.wav\",\"notes\":[]}],\"bga\":{\"bga_header\":[{\"id\":1,"
    "\"name\":\"bg.bmp\"}]}}";

TEST_F(ChartWalkTest, PreservedChartsKeepTheirBytesAndStillFindEveryFile) {
  WriteBytes(In("song.bms"), kPreservedScript);
  WriteBytes(In("song.bmson"), kPreservedBmson);
  WriteBytes(In("kick.wav"), TriangleWaveFile());
  WriteBytes(In("deep.wav"), Sine(Pcm(24, 1, 22050)));
  PcmFields floats = Pcm(32, 1, 22050);
  floats.formatTag = 3;
  WriteBytes(In("float.wav"), Sine(floats));
  // IMA ADPCM: four bits a sample in 256-byte blocks, which no mode decodes.
  const PcmFields adpcm{0x11, 1, 22050, 256, 4};
  WriteBytes(In("adpcm.wav"), Riff({Chunk("fmt ", FormatBody(adpcm)), Chunk("data", Bytes(256, 0x11))}));
  WriteBytes(In("preview.wav"), TriangleWaveFile());
  WriteBytes(In("bg.bmp"), BmpBytes());
  WriteBytes(In("broken.bmp"), "BM but far too short");
  WriteBytes(In("stage.bmp"), BmpBytes());
  WriteBytes(In("back.bmp"), BmpBytes());
  WriteBytes(In("img/banner.bmp"), BmpBytes());
  WriteBytes(In("sub/eye.bmp"), BmpBytes());
  WriteBytes(In("sub/other.bmp"), BmpBytes());
  // New names that another file already holds: a chart may name either.
  WriteBytes(In("dup.wav"), TriangleWaveFile());
  WriteBytes(In("dup.ogg"), "another sound");
  WriteBytes(In("pic.bmp"), BmpBytes());
  WriteBytes(In("pic.png"), "another picture");

  std::vector<FolderResult> rows = Walk(PreserveCharts | CompressSound | CompressImages | IncludeSubfolders);

  ASSERT_EQ(rows.size(), 3u);
  const FolderResult& root = rows[0];
  EXPECT_EQ(root.status, FolderStatus::Ok);
  EXPECT_EQ(root.bmsCount, 2);
  EXPECT_EQ(root.soundCount, 4);   // kick, deep (24-bit), float, preview
  EXPECT_EQ(root.imageCount, 1);   // bg
  EXPECT_EQ(root.copiedCount, 8);  // adpcm, broken, stage, back, both dups and both pics
  EXPECT_EQ(root.keptFiles,
            (std::vector<std::u16string>{u"adpcm.wav", u"broken.bmp", u"dup.wav", u"pic.bmp"}));
  EXPECT_EQ(rows[1].copiedCount, 1);  // img/banner.bmp, named case-blind with a backslash
  EXPECT_EQ(rows[2].copiedCount, 1);  // sub/eye.bmp
  EXPECT_EQ(rows[2].imageCount, 1);   // sub/other.bmp, named by nobody

  for (const char* chart : {"song.bms", "song.bmson"}) ExpectSameBytes(chart);
  for (const char* exact : {"stage.bmp", "back.bmp", "img/banner.bmp", "sub/eye.bmp", "adpcm.wav",
                            "broken.bmp", "dup.wav", "dup.ogg", "pic.bmp", "pic.png"}) {
    ExpectSameBytes(exact);
  }
  for (const char* sound : {"kick.ogg", "deep.ogg", "float.ogg", "preview.ogg"}) {
    EXPECT_TRUE(StartsWith(ReadBytes(Out(sound)), kOggMagic)) << sound;
  }
  for (const char* image : {"bg.png", "sub/other.png"}) {
    EXPECT_TRUE(StartsWith(ReadBytes(Out(image)), kPngMagic)) << image;
  }
  for (const char* gone : {"kick.wav", "bg.bmp", "stage.png", "img/banner.png", "adpcm.ogg", "broken.png"}) {
    EXPECT_FALSE(fs::exists(Out(gone))) << gone;
  }

  // Every reference of both unchanged charts finds its file in the output.
  CheckChartReferences(rows);
  for (const FolderResult& row : rows) {
    for (const MissingReference& missing : row.missingReferences) {
      ADD_FAILURE() << Utf16ToUtf8(missing.chart + u" " + missing.command + u" " + missing.value);
    }
  }
}

TEST_F(ChartWalkTest, RewriteModesRenameBannerPreviewAndBmsonValuesOnly) {
  WriteBytes(In("song.bms"), "#BANNER banner.bmp\r\n#PREVIEW preview.wav\r\n#STAGEFILE stage.bmp\r\n");
  // Spacing, key order and the escapes must survive; only the values change.
  const std::string bmson =
      "{ \"info\" : { \"title\": \"\\u3042\\\"q\\\"\", \"banner_image\" :\"banner.bmp\",\n"
      "  \"preview_music\":\"preview.wav\" },\n\t\"sound_channels\": [ {\"name\": \"k\\u0069ck.wav\"} ] }";
  WriteBytes(In("song.bmson"), bmson);
  WriteBytes(In("banner.bmp"), BmpBytes());
  WriteBytes(In("stage.bmp"), BmpBytes());
  WriteBytes(In("preview.wav"), TriangleWaveFile());
  WriteBytes(In("kick.wav"), TriangleWaveFile());

  std::vector<FolderResult> rows = Walk(CompressSound | CompressImages);

  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].status, FolderStatus::Ok);
  EXPECT_EQ(rows[0].bmsCount, 2);
  EXPECT_EQ(ReadBytes(Out("song.bms")),
            "#BANNER banner.png\r\n#PREVIEW preview.ogg\r\n#STAGEFILE stage.png\r\n");
  EXPECT_EQ(
      ReadBytes(Out("song.bmson")),
      "{ \"info\" : { \"title\": \"\\u3042\\\"q\\\"\", \"banner_image\" :\"banner.png\",\n"
      "  \"preview_music\":\"preview.ogg\" },\n\t\"sound_channels\": [ {\"name\": \"k\\u0069ck.ogg\"} ] }");
  CheckChartReferences(rows);
  EXPECT_TRUE(rows[0].missingReferences.empty());
}

TEST_F(ChartWalkTest, CheckTellsBrokenReferencesFromOnesMissingBefore) {
  WriteBytes(In("song.bms"), "#WAV01 kick.wav\r\n#WAV02 gone.wav\r\n#BMP01 sub\\bg.bmp\r\n");
  WriteBytes(In("song.bmson"),
             "{\"info\":{\"banner_image\":\"nothing.bmp\"},\"sound_channels\":[{\"name\":\"kick.wav\"}]}");
  WriteBytes(In("kick.wav"), TriangleWaveFile());
  WriteBytes(In("sub/bg.bmp"), BmpBytes());

  // Without the subfolders the run itself leaves sub\bg.bmp behind.
  std::vector<FolderResult> rows = Walk(CompressSound | CompressImages);
  ASSERT_EQ(rows.size(), 1u);
  // And one reference is broken on purpose after the run.
  fs::remove(Out("kick.ogg"));
  CheckChartReferences(rows);

  struct Expected {
    std::u16string chart;
    std::size_t line;
    std::u16string jsonPath;
    std::u16string command;
    std::u16string value;
    bool missingInInput;
  };
  const std::vector<Expected> expected = {
      {u"song.bms", 1, u"", u"#WAV01", u"kick.ogg", false},
      {u"song.bms", 2, u"", u"#WAV02", u"gone.ogg", true},
      {u"song.bms", 3, u"", u"#BMP01", u"sub\\bg.png", false},
      {u"song.bmson", 0, u"info.banner_image", u"info.banner_image", u"nothing.png", true},
      {u"song.bmson", 0, u"sound_channels[0].name", u"sound_channels[].name", u"kick.ogg", false},
  };
  const std::vector<MissingReference>& found = rows[0].missingReferences;
  ASSERT_EQ(found.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(Utf16ToUtf8(expected[i].value));
    EXPECT_EQ(found[i].chart, expected[i].chart);
    EXPECT_EQ(found[i].lineNumber, expected[i].line);
    EXPECT_EQ(found[i].jsonPath, expected[i].jsonPath);
    EXPECT_EQ(found[i].command, expected[i].command);
    EXPECT_EQ(found[i].value, expected[i].value);
    EXPECT_EQ(found[i].missingInInput, expected[i].missingInInput);
  }
}

// The rewriting modes: what the run cannot convert stays under its own name,
// and so do the references to it; trailing blanks no longer hide a value.
TEST_F(ChartWalkTest, RewrittenChartsNameOnlyFilesTheOutputHolds) {
  WriteBytes(In("song.bms"),
             "#WAV01 kick.wav\r\n#WAV02 deep.wav\r\n#WAV03 adpcm.wav\r\n#WAV04 x.wav\r\n"
             "#WAV05 sub\\Snare.WAV\r\n#WAV06 fast.wav\r\n#BMP01 v5.bmp\r\n#STAGEFILE stage.bmp \t\r\n");
  WriteBytes(In("song.bmson"),
             "{\"info\":{\"banner_image\":\"v5.bmp \",\"preview_music\":\"\"},"
             "\"sound_channels\":[{\"name\":\"deep.wav\"},{\"name\":\"kick.wav\\t\"}]}");
  WriteBytes(In("kick.wav"), TriangleWaveFile());
  WriteBytes(In("sub/snare.wav"), TriangleWaveFile());
  WriteBytes(In("deep.wav"), Sine(Pcm(24, 1, 22050)));
  const PcmFields adpcm{0x11, 1, 22050, 256, 4};
  WriteBytes(In("adpcm.wav"), Riff({Chunk("fmt ", FormatBody(adpcm)), Chunk("data", Bytes(256, 0x11))}));
  WriteBytes(In("x.wav"), TriangleWaveFile());
  // Read, but no encoder set-up exists for its rate: refused all the same.
  WriteBytes(In("fast.wav"), Sine(Pcm(16, 1, 1000000)));
  WriteBytes(In("x.ogg"), "another sound");
  BitmapLayout v5;
  v5.headerSize = 124;
  v5.data = Bytes(4, 0);
  WriteBytes(In("v5.bmp"), BuildBitmap(v5));
  WriteBytes(In("stage.bmp"), BmpBytes());

  std::vector<FolderResult> rows = Walk(IncludeSubfolders | CompressSound | CompressImages);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].errorFiles,
            (std::vector<std::u16string>{u"adpcm.wav", u"deep.wav", u"fast.wav", u"v5.bmp", u"x.wav"}));
  EXPECT_EQ(rows[0].keptFiles, rows[0].errorFiles);
  EXPECT_EQ(ReadBytes(Out("song.bms")),
            "#WAV01 kick.ogg\r\n#WAV02 deep.wav\r\n#WAV03 adpcm.wav\r\n#WAV04 x.wav\r\n"
            "#WAV05 sub\\Snare.ogg\r\n#WAV06 fast.wav\r\n#BMP01 v5.bmp\r\n#STAGEFILE stage.png \t\r\n");
  EXPECT_EQ(ReadBytes(Out("song.bmson")),
            "{\"info\":{\"banner_image\":\"v5.bmp \",\"preview_music\":\"\"},"
            "\"sound_channels\":[{\"name\":\"deep.wav\"},{\"name\":\"kick.ogg\\t\"}]}");
  for (const char* kept : {"deep.wav", "adpcm.wav", "x.wav", "v5.bmp", "x.ogg"}) ExpectSameBytes(kept);
  // Players find every file: nothing is missing, and an empty value names none.
  CheckChartReferences(rows);
  for (const FolderResult& row : rows) EXPECT_TRUE(row.missingReferences.empty());
}

// The check lists the sounds, images and videos no chart of the song names.
TEST_F(ChartWalkTest, CheckListsWhatNoChartNames) {
  WriteBytes(In("song.bms"), "#WAV01 kick.wav\r\n#BMP01 sub/bg.bmp\r\n");
  WriteBytes(In("sub/extra.bms"), "#STAGEFILE ../stage.png\r\n");
  for (const char* file :
       {"kick.wav", "unused.wav", "sub/bg.bmp", "sub/unused.bmp", "stage.png", "movie.mpg", "readme.txt"}) {
    WriteBytes(In(file), std::string(file) == "kick.wav" ? TriangleWaveFile() : Bytes(10, 1));
  }
  std::vector<FolderResult> rows = Walk(IncludeSubfolders | CompressSound);
  CheckChartReferences(rows);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].unreferencedFiles, (std::vector<std::u16string>{u"movie.mpg", u"unused.wav"}));
  EXPECT_EQ(rows[0].unreferencedBytes, 20);
  EXPECT_EQ(rows[1].unreferencedFiles, std::vector<std::u16string>{u"unused.bmp"});
}

// Under -p a chart may name its stage image from a subfolder, through "..".
TEST_F(ChartWalkTest, PreservedStageImageNamedThroughTheParentStaysExact) {
  WriteBytes(In("charts/hard.bms"), "#STAGEFILE ..\\Stage.bmp\r\n#BMP01 ../bg.bmp\r\n");
  WriteBytes(In("stage.bmp"), BmpBytes());
  WriteBytes(In("bg.bmp"), BmpBytes());
  std::vector<FolderResult> rows = Walk(PreserveCharts | CompressImages | IncludeSubfolders);
  ExpectSameBytes("stage.bmp");
  EXPECT_TRUE(StartsWith(ReadBytes(Out("bg.png")), kPngMagic));
  CheckChartReferences(rows);
  for (const FolderResult& row : rows) EXPECT_TRUE(row.missingReferences.empty());
}

// The check finds a folder's output where the walk created it, however the
// input root is spelled.
TEST_F(ChartWalkTest, CheckFollowsTheWalkUnderADottedRoot) {
  WriteBytes(In("sub/song.bms"), "#WAV01 gone.wav\r\n");
  // PARENT/./in, as a user may type it.
  const std::u16string dotted = PathText(tmp.path()) + kPathSeparator + u"." + kPathSeparator + u"in";
  std::vector<FolderResult> rows = Walk(IncludeSubfolders | CompressSound, dotted);
  ASSERT_EQ(rows.size(), 2u);
  CheckChartReferences(rows);
  ASSERT_EQ(rows[1].missingReferences.size(), 1u);
  EXPECT_EQ(rows[1].missingReferences[0].value, u"gone.ogg");
}

}  // namespace
