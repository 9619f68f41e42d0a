#include "job/start_validation.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

#ifndef _WIN32
// A second path to a folder that no text comparison can see: a bind mount,
// made in a mount namespace of a child process so that nothing outside the
// test sees it. Without the right to make one, the row is skipped.
struct BindMountCase {
  const char* name;
  const char* mounted;  // the folder mounted at "mnt"
  const char* input;
  const char* output;
  StartValidation expected;
};

constexpr int kNoMount = 100;

class BindMountTest : public ::testing::TestWithParam<BindMountCase> {
 protected:
  ScratchFolder tmp;
};

TEST_P(BindMountTest, SecondPathsAreTheSameFolder) {
  const BindMountCase& c = GetParam();
  for (const char* folder : {"songs/in/deeper", "other", "mnt"}) fs::create_directories(tmp.path() / folder);
  const std::string source = (tmp.path() / c.mounted).string();
  const std::string target = (tmp.path() / "mnt").string();
  const std::u16string input = tmp.Text(c.input);
  const std::u16string output = tmp.Text(c.output);
  const pid_t child = fork();
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
      _exit(kNoMount);
    }
    _exit(static_cast<int>(ValidateStart(input, output)));
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == kNoMount) GTEST_SKIP() << "no bind mounts here";
  EXPECT_EQ(static_cast<StartValidation>(WEXITSTATUS(status)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Mounts, BindMountTest,
    ::testing::Values(BindMountCase{"OutputIsTheInputMountedElsewhere", "songs/in", "songs/in", "mnt",
                                    StartValidation::OutputInsideInput},
                      BindMountCase{"OutputBelowTheInputMountedElsewhere", "songs/in", "songs/in",
                                    "mnt/deeper", StartValidation::OutputInsideInput},
                      BindMountCase{"InputBelowTheOutputMountedElsewhere", "songs", "mnt/in", "songs",
                                    StartValidation::InputInsideOutput},
                      BindMountCase{"AnotherFolderMounted", "other", "songs/in", "mnt",
                                    StartValidation::Valid}),
    [](const ::testing::TestParamInfo<BindMountCase>& info) { return std::string(info.param.name); });
#endif

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
