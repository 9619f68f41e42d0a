#include "job/start_validation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/scratch_folder.h"
#include "util/unicode.h"

namespace fs = std::filesystem;

namespace {

struct ValidationCase {
  const char* name;
  const char* input;  // relative to the test's tree; "" stays empty
  const char* output;
  StartValidation expected;
};

class StartValidationTest : public ::testing::TestWithParam<ValidationCase> {
 protected:
  void SetUp() override {
    for (const char* folder : {"songs/in/deeper", "songs/IN", "songs2", "other"}) {
      fs::create_directories(tmp.path() / folder);
    }
    WriteBytes(tmp.path() / "file.txt", "not a folder");
    std::error_code error;
    // A link outside the input that leads into it.
    fs::create_directory_symlink(tmp.path() / "songs/in/deeper", tmp.path() / "other/link", error);
    linksWork = !error;
  }

  std::u16string Text(const char* relative) const {
    return relative[0] == '\0' ? std::u16string() : tmp.Text(relative);
  }

  ScratchFolder tmp;
  bool linksWork = false;
};

TEST_P(StartValidationTest, FirstFailingCheckDecides) {
  const ValidationCase& c = GetParam();
  if (std::string(c.name).find("Link") != std::string::npos && !linksWork)
    GTEST_SKIP() << "no symbolic links";
  EXPECT_EQ(ValidateStart(Text(c.input), Text(c.output)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, StartValidationTest,
    ::testing::Values(
        ValidationCase{"BothEmptyReportsTheInputOnly", "", "", StartValidation::InputMissing},
        ValidationCase{"InputMissingBeforeOutputChecks", "", "nowhere", StartValidation::InputMissing},
        ValidationCase{"InputDoesNotExist", "gone", "other", StartValidation::InputNotFound},
        ValidationCase{"InputIsAFile", "file.txt", "other", StartValidation::InputNotFound},
        ValidationCase{"OutputEmpty", "songs/in", "", StartValidation::OutputMissing},
        ValidationCase{"OutputDoesNotExist", "songs/in", "gone", StartValidation::OutputNotFound},
        ValidationCase{"OutputIsTheInput", "songs/in", "songs/in", StartValidation::OutputInsideInput},
        ValidationCase{"OutputBelowTheInput", "songs/in", "songs/in/deeper",
                       StartValidation::OutputInsideInput},
        ValidationCase{"OutputDiffersOnlyInCase", "songs/in", "songs/IN", StartValidation::OutputInsideInput},
        ValidationCase{"PrefixOfANameIsNotAFolderPrefix", "songs", "songs2", StartValidation::Valid},
        // The run would mirror the input over its own files.
        ValidationCase{"InputBelowTheOutput", "songs/in", "songs", StartValidation::InputInsideOutput},
        ValidationCase{"InputFarBelowTheOutput", "songs/in/deeper", "songs",
                       StartValidation::InputInsideOutput},
        ValidationCase{"NameOfTheOutputIsAPrefixOfTheInputs", "songs2", "songs", StartValidation::Valid},
        ValidationCase{"SeparateFolders", "songs2", "other", StartValidation::Valid},
        ValidationCase{"DotDotHidesTheOutputInTheInput", "other/../songs/in", "songs/in/deeper",
                       StartValidation::OutputInsideInput},
        ValidationCase{"DotDotInTheOutput", "songs/in", "songs2/../songs/in/deeper",
                       StartValidation::OutputInsideInput},
        ValidationCase{"LinkLeadsIntoTheInput", "songs/in", "other/link", StartValidation::OutputInsideInput},
        ValidationCase{"DotDotHidesTheInputInTheOutput", "songs2/../songs/in/deeper", "songs/in",
                       StartValidation::InputInsideOutput},
        ValidationCase{"InputThroughALinkIntoTheOutput", "other/link", "songs/in",
                       StartValidation::InputInsideOutput},
        // The walk does not follow links to folders, so the link is no way in.
        ValidationCase{"OutputHoldingALinkToTheInput", "songs/in/deeper", "other", StartValidation::Valid}),
    [](const ::testing::TestParamInfo<ValidationCase>& info) { return std::string(info.param.name); });

TEST(StartValidationMessageTest, EachFailureHasItsMessage) {
  EXPECT_EQ(StartValidationMessage(StartValidation::Valid), u"");
  EXPECT_EQ(Utf16ToUtf8(StartValidationMessage(StartValidation::InputMissing)),
            "入力フォルダを選択してください。");
  EXPECT_EQ(Utf16ToUtf8(StartValidationMessage(StartValidation::InputNotFound)),
            "指定された入力フォルダは存在しません。");
  EXPECT_EQ(Utf16ToUtf8(StartValidationMessage(StartValidation::OutputMissing)),
            "出力フォルダを選択してください。");
  EXPECT_EQ(Utf16ToUtf8(StartValidationMessage(StartValidation::OutputNotFound)),
            "指定された出力フォルダは存在しません。");
  EXPECT_EQ(Utf16ToUtf8(StartValidationMessage(StartValidation::OutputInsideInput)),
            "入力フォルダの配下を出力フォルダにすることはできません。");
  EXPECT_EQ(Utf16ToUtf8(StartValidationMessage(StartValidation::InputInsideOutput)),
            "出力フォルダの配下を入力フォルダにすることはできません。");
}

}  // namespace
