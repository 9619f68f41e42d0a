#include "job/update_record.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "job/options_record.h"
#include "support/scratch_folder.h"
#include "util/file_system.h"
#include "util/unicode.h"

namespace fs = std::filesystem;

namespace {

// Each row records an output as made from in/x.wav (or a kept file under
// its own name), then changes the tree and asks whether the output may be
// kept. Times are set explicitly, so no row depends on the clock.
// For the changes, nullptr leaves a file as it is, "-" removes it, and "/"
// puts a folder in its place.
struct UpdateCase {
  const char* name;
  const char* outputName;
  int sourceAge;          // seconds before now when recorded; negative: in the future
  const char* newSource;  // same time kept unless newSourceAge is set
  int newSourceAge;
  const char* newOutput;
  const char* newRecord;
  bool skip;
  bool warned;
};

const UpdateCase kUpdateCases[] = {
    {"Unchanged", "x.ogg", 3600, nullptr, 0, nullptr, nullptr, true, false},
    {"KeptFileUnchanged", "x.wav", 3600, nullptr, 0, nullptr, nullptr, true, false},
    {"OlderSourceRestored", "x.ogg", 3600, "SOURCE", 7200, nullptr, nullptr, false, false},
    {"NewerSourceOfSameSize", "x.ogg", 3600, nullptr, 60, nullptr, nullptr, false, false},
    {"FutureDatedSourceUnchanged", "x.ogg", -86400, nullptr, 0, nullptr, nullptr, true, false},
    {"SourceSizeDiffers", "x.ogg", 3600, "a longer source", 0, nullptr, nullptr, false, false},
    {"OutputMissing", "x.ogg", 3600, nullptr, 0, "-", nullptr, false, false},
    {"OutputEmptied", "x.ogg", 3600, nullptr, 0, "", nullptr, false, false},
    {"OutputSizeChanged", "x.ogg", 3600, nullptr, 0, "edited by hand", nullptr, false, false},
    {"RecordDamaged", "x.ogg", 3600, nullptr, 0, nullptr, "hoshibako files 1\nnot\ta\trecord\n", false, true},
    {"RecordIsAFolder", "x.ogg", 3600, nullptr, 0, nullptr, "/", false, true},
    {"RecordMissing", "x.ogg", 3600, nullptr, 0, nullptr, "-", false, false},
};

void SetAge(const fs::path& path, int seconds) {
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(seconds));
}

void Change(ScratchFolder& tmp, const std::string& relative, const char* change) {
  if (change == nullptr) return;
  fs::remove(tmp.Path(relative));
  if (std::string(change) == "/") {
    fs::create_directories(tmp.Path(relative));
  } else if (std::string(change) != "-") {
    tmp.Write(relative, change);
  }
}

class UpdateRecordTest : public testing::TestWithParam<UpdateCase> {
 protected:
  ScratchFolder tmp;
};

TEST_P(UpdateRecordTest, SkipsOnlyWhatIsUnchanged) {
  const UpdateCase& c = GetParam();
  const fs::path source = tmp.Path("in/x.wav");
  const std::string output = std::string("out/") + c.outputName;
  ASSERT_TRUE(tmp.Write("in/x.wav", "source"));
  ASSERT_TRUE(tmp.Write(output, "output"));
  SetAge(source, c.sourceAge);
  UpdateRecord written;
  written.Record(U16(c.outputName), u"x.wav", ReadFileFacts(PathText(source)), FileSize(tmp.Text(output)));
  ASSERT_TRUE(written.Save(tmp.Text("out")));

  const auto time = fs::last_write_time(source);
  Change(tmp, "in/x.wav", c.newSource);
  fs::last_write_time(source, time);
  if (c.newSourceAge != 0) SetAge(source, c.newSourceAge);
  Change(tmp, output, c.newOutput);
  Change(tmp, "out/.hoshibako-files", c.newRecord);
  std::u16string warning;
  const UpdateRecord read = UpdateRecord::Load(tmp.Text("out"), warning);
  EXPECT_EQ(read.CanSkip(U16(c.outputName), u"x.wav", ReadFileFacts(PathText(source)), tmp.Text(output)),
            c.skip);
  EXPECT_EQ(!warning.empty(), c.warned) << Utf16ToUtf8(warning);
}

INSTANTIATE_TEST_SUITE_P(Files, UpdateRecordTest, testing::ValuesIn(kUpdateCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The options record, changed as above.
struct OptionsRecordCase {
  const char* name;
  const char* record;
  OptionsRecordState state;
  bool warned;
};

const OptionsRecordCase kOptionsRecordCases[] = {
    {"AFolderInItsPlace", "/", OptionsRecordState::Missing, true},
    {"NotARecord", "garbage", OptionsRecordState::Missing, true},
    {"OtherOptions", "hoshibako options 1\nsound=0\n", OptionsRecordState::Different, false},
};

class OptionsRecordReadTest : public testing::TestWithParam<OptionsRecordCase> {};

TEST_P(OptionsRecordReadTest, UnreadableRecordsAreReported) {
  const OptionsRecordCase& c = GetParam();
  ScratchFolder tmp;
  fs::create_directories(tmp.Path("out"));
  Change(tmp, "out/.hoshibako-options", c.record);
  std::u16string warning;
  EXPECT_EQ(CompareOptionsRecord(tmp.Text("out"), CompressSound, &warning), c.state);
  EXPECT_EQ(!warning.empty(), c.warned);
}

INSTANTIATE_TEST_SUITE_P(Records, OptionsRecordReadTest, testing::ValuesIn(kOptionsRecordCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
