#include "job/update_record.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "job/options_record.h"
#include "support/scratch_folder.h"
#include "util/file_system.h"
#include "util/unicode.h"

namespace fs = std::filesystem;

namespace {

// Each row records out/x.ogg as made from in/x.wav (or a kept file under
// its own name), then changes the tree and asks whether the output may be
// kept. Times are set explicitly, so no row depends on the clock.
struct UpdateCase {
  const char* name;
  const char* sourceName;
  const char* outputName;
  int sourceAgeSeconds;  // the recorded source's age; negative: dated in the future
  std::function<void(ScratchFolder&, const fs::path& source, const fs::path& output)> change;
  bool skip;
  bool warned;
};

void SetAge(const fs::path& path, int seconds) {
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(seconds));
}

const UpdateCase kUpdateCases[] = {
    {"Unchanged", "x.wav", "x.ogg", 3600, [](ScratchFolder&, const fs::path&, const fs::path&) {}, true,
     false},
    {"KeptFileUnchanged", "k.bmp", "k.bmp", 3600, [](ScratchFolder&, const fs::path&, const fs::path&) {},
     true, false},
    {"OlderSourceRestored", "x.wav", "x.ogg", 3600,
     [](ScratchFolder& t, const fs::path& source, const fs::path&) {
       t.Write("in/x.wav", "SOURCE");  // same size, other bytes, dated older
       SetAge(source, 7200);
     },
     false, false},
    {"NewerSourceOfSameSize", "x.wav", "x.ogg", 3600,
     [](ScratchFolder&, const fs::path& source, const fs::path&) { SetAge(source, 60); }, false, false},
    {"FutureDatedSourceUnchanged", "x.wav", "x.ogg", -86400,
     [](ScratchFolder&, const fs::path&, const fs::path&) {}, true, false},
    {"SourceSizeDiffers", "x.wav", "x.ogg", 3600,
     [](ScratchFolder& t, const fs::path& source, const fs::path&) {
       const auto time = fs::last_write_time(source);
       t.Write("in/x.wav", "a longer source");
       fs::last_write_time(source, time);
     },
     false, false},
    {"OutputMissing", "x.wav", "x.ogg", 3600,
     [](ScratchFolder&, const fs::path&, const fs::path& output) { fs::remove(output); }, false, false},
    {"OutputEmptied", "x.wav", "x.ogg", 3600,
     [](ScratchFolder& t, const fs::path&, const fs::path&) { t.Write("out/x.ogg", ""); }, false, false},
    {"OutputSizeChanged", "x.wav", "x.ogg", 3600,
     [](ScratchFolder& t, const fs::path&, const fs::path&) { t.Write("out/x.ogg", "edited by hand"); },
     false, false},
    {"RecordDamaged", "x.wav", "x.ogg", 3600,
     [](ScratchFolder& t, const fs::path&, const fs::path&) {
       t.Write(std::string("out/") + ".hoshibako-files", "hoshibako files 1\nnot\ta\trecord\n");
     },
     false, true},
    {"RecordIsAFolder", "x.wav", "x.ogg", 3600,
     [](ScratchFolder& t, const fs::path&, const fs::path&) {
       fs::remove(t.Path("out/.hoshibako-files"));
       fs::create_directory(t.Path("out/.hoshibako-files"));
     },
     false, true},
    {"RecordMissing", "x.wav", "x.ogg", 3600,
     [](ScratchFolder& t, const fs::path&, const fs::path&) { fs::remove(t.Path("out/.hoshibako-files")); },
     false, false},
};

class UpdateRecordTest : public testing::TestWithParam<UpdateCase> {
 protected:
  ScratchFolder tmp;
};

TEST_P(UpdateRecordTest, SkipsOnlyWhatIsUnchanged) {
  const UpdateCase& c = GetParam();
  const fs::path source = tmp.Path(std::string("in/") + c.sourceName);
  const fs::path output = tmp.Path(std::string("out/") + c.outputName);
  ASSERT_TRUE(tmp.Write(std::string("in/") + c.sourceName, "source"));
  ASSERT_TRUE(tmp.Write(std::string("out/") + c.outputName, "output"));
  SetAge(source, c.sourceAgeSeconds);

  const std::u16string outputFolder = tmp.Text("out");
  const std::u16string sourceName = U16(c.sourceName);
  const std::u16string outputName = U16(c.outputName);
  UpdateRecord written;
  written.Record(outputName, sourceName, ReadFileFacts(PathText(source)), FileSize(PathText(output)));
  ASSERT_TRUE(written.Save(outputFolder));

  c.change(tmp, source, output);
  std::u16string warning;
  const UpdateRecord read = UpdateRecord::Load(outputFolder, warning);
  EXPECT_EQ(read.CanSkip(outputName, sourceName, ReadFileFacts(PathText(source)), PathText(output)), c.skip);
  EXPECT_EQ(!warning.empty(), c.warned) << Utf16ToUtf8(warning);
}

INSTANTIATE_TEST_SUITE_P(Files, UpdateRecordTest, testing::ValuesIn(kUpdateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateRecordNames, AnotherSourceOfTheSameOutputIsNoMatchAndNamesRoundTrip) {
  ScratchFolder tmp;
  const std::u16string odd = u"曲\t1\n.ogg";
  tmp.Write("out/keep.txt", "x");
  UpdateRecord written;
  written.Record(odd, u"x.wav", FileFacts{6, 42}, 1);
  ASSERT_TRUE(written.Save(tmp.Text("out")));
  std::u16string warning;
  const UpdateRecord read = UpdateRecord::Load(tmp.Text("out"), warning);
  EXPECT_TRUE(warning.empty());
  EXPECT_EQ(read.size(), 1u);
  // A file the record never saw.
  EXPECT_FALSE(read.CanSkip(u"keep.txt", u"keep.txt", FileFacts{1, 1}, tmp.Text("out/keep.txt")));
  // Recorded from x.wav; the same output from x.flac is another file.
  tmp.Write("out/" + Utf16ToUtf8(odd), "y");
  EXPECT_TRUE(read.CanSkip(odd, u"x.wav", FileFacts{6, 42}, tmp.Text("out/" + Utf16ToUtf8(odd))));
  EXPECT_FALSE(read.CanSkip(odd, u"x.flac", FileFacts{6, 42}, tmp.Text("out/" + Utf16ToUtf8(odd))));
}

struct OptionsRecordCase {
  const char* name;
  std::function<void(ScratchFolder&)> setUp;
  OptionsRecordState state;
  bool warned;
};

const OptionsRecordCase kOptionsRecordCases[] = {
    {"Absent", [](ScratchFolder&) {}, OptionsRecordState::Missing, false},
    {"AFolderInItsPlace", [](ScratchFolder& t) { fs::create_directories(t.Path("out/.hoshibako-options")); },
     OptionsRecordState::Missing, true},
    {"NotARecord", [](ScratchFolder& t) { t.Write("out/.hoshibako-options", "garbage"); },
     OptionsRecordState::Missing, true},
    {"OtherOptions", [](ScratchFolder& t) { t.Write("out/.hoshibako-options", OptionsRecordText(0)); },
     OptionsRecordState::Different, false},
};

class OptionsRecordReadTest : public testing::TestWithParam<OptionsRecordCase> {};

TEST_P(OptionsRecordReadTest, UnreadableRecordsAreReported) {
  const OptionsRecordCase& c = GetParam();
  ScratchFolder tmp;
  fs::create_directories(tmp.Path("out"));
  c.setUp(tmp);
  std::u16string warning;
  EXPECT_EQ(CompareOptionsRecord(tmp.Text("out"), CompressSound, &warning), c.state);
  EXPECT_EQ(!warning.empty(), c.warned);
}

INSTANTIATE_TEST_SUITE_P(Records, OptionsRecordReadTest, testing::ValuesIn(kOptionsRecordCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
