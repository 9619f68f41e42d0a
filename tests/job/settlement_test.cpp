// The settlement of one finished folder, rule by rule, without threads or files.

#include "job/settlement.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/file_system.h"

namespace {

// A file as the pool leaves it: `out` is its output name, `state` one of
// "handled", "failed", "skipped", "waiting".
struct FileRow {
  const char16_t* name;
  const char16_t* out;
  const char* state;
  Fallback fallback = Fallback::None;
  bool keptAsIs = false;
};

struct SettleCase {
  const char* name;
  std::vector<FileRow> files;
  bool cancelled;
  FolderStatus status;
  std::vector<std::u16string> errors;
  std::vector<std::u16string> published;  // destinations' names, in order
  std::vector<bool> copyFirst;
  bool stopsRun;
};

void PrintTo(const SettleCase& c, std::ostream* os) { *os << c.name; }

const SettleCase kCases[] = {
    {"FirstWriterWins",
     {{u"a.wav", u"a.ogg", "handled"}, {u"A.WAV", u"a.ogg", "handled"}},
     false,
     FolderStatus::HasErrors,
     {u"A.WAV"},
     {u"a.ogg"},
     {false},
     false},
    {"KeptFileUnderPreserveIsNoFailure",
     {{u"x.wav", u"x.wav", "handled", Fallback::KeepQuietly, true},
      {u"y.wav", u"y.ogg", "failed", Fallback::KeepQuietly}},
     false,
     FolderStatus::Ok,
     {},
     {u"x.wav", u"y.wav"},
     {false, true},
     false},
    {"FailedConversionIsKeptAndStillFailsWhenChartsAreRewritten",
     {{u"deep.wav", u"deep.ogg", "failed", Fallback::KeepFailed}},
     false,
     FolderStatus::HasErrors,
     {u"deep.wav"},
     {u"deep.wav"},
     {true},
     false},
    {"FailureClaimsNoName",
     {{u"b.bmp", u"b.png", "failed"}, {u"B.bmp", u"b.png", "handled"}},
     false,
     FolderStatus::HasErrors,
     {u"b.bmp"},
     {u"b.png"},
     {false},
     false},
    {"SkippedFileHoldsItsName",
     {{u"c.wav", u"c.ogg", "skipped"}, {u"C.wav", u"c.ogg", "handled"}},
     false,
     FolderStatus::HasErrors,
     {u"C.wav"},
     {},
     {},
     false},
    {"CancelMidFolderKeepsWhatWasDone",
     {{u"d.wav", u"d.ogg", "handled"}, {u"e.wav", u"e.ogg", "waiting"}},
     true,
     FolderStatus::Cancelled,
     {},
     {u"d.ogg"},
     {false},
     true},
};

class SettlementTest : public testing::TestWithParam<SettleCase> {};

TEST_P(SettlementTest, FollowsItsRule) {
  const SettleCase& c = GetParam();
  FolderWork folder;
  folder.sequence = 3;
  folder.output = u"out";
  for (const FileRow& row : c.files) {
    FileWork file;
    file.name = row.name;
    file.key = FileNameKey(row.out);
    file.destination = row.out;
    file.fallback = row.fallback;
    file.keptAsIs = row.keptAsIs;
    const std::string state = row.state;
    file.skipped = state == "skipped";
    file.started = state == "handled" || state == "failed";
    file.handled = state == "handled";
    if (state == "waiting") ++folder.waiting;
    folder.files.push_back(file);
  }
  const Settlement settled = SettleFolder(folder, c.cancelled, folder.sequence);
  EXPECT_EQ(settled.row.status, c.status);
  EXPECT_EQ(settled.row.errorFiles, c.errors);
  EXPECT_EQ(settled.stopsRun, c.stopsRun);
  ASSERT_EQ(settled.renames.size(), c.published.size());
  for (std::size_t i = 0; i < c.published.size(); ++i) {
    EXPECT_NE(settled.renames[i].destination.find(c.published[i]), std::u16string::npos);
    EXPECT_EQ(settled.renames[i].copyFirst, c.copyFirst[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, SettlementTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
