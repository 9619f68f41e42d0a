// The built hoshibako-cli, run as a user or a script runs it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>

#include "run_program.h"
#include "support/scratch_folder.h"
#include "support/wav_writer.h"
#include "util/cp932.h"
#include "util/unicode.h"

namespace fs = std::filesystem;

namespace {

class CliProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(In());
    fs::create_directories(Out());
  }
  fs::path In(const std::string& relative = "") const {
    return relative.empty() ? tmp.path() / "in" : tmp.path() / "in" / relative;
  }
  fs::path Out(const std::string& relative = "") const {
    return relative.empty() ? tmp.path() / "out" : tmp.path() / "out" / relative;
  }

  ProgramResult Cli(std::vector<std::string> arguments) {
    return RunProgram(HOSHIBAKO_CLI_PATH, arguments, tmp.path().string());
  }

  ScratchFolder tmp;
};

TEST_F(CliProgramTest, CleanRunExitsZeroWithTableAndTotals) {
  WriteBytes(In("song.bms"), "#WAV01 kick.wav\r\n");
  WriteBytes(In("kick.wav"), TriangleWaveFile());
  WriteBytes(In("sub/readme.txt"), "hello");
  const ProgramResult result = Cli({"-a", In().string(), Out().string()});

  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("対象フォルダ"), std::string::npos);
  EXPECT_TRUE(std::regex_search(result.out, std::regex(R"(\S+/in +OK +1 +1 +0 +0 +0\n)"))) << result.out;
  EXPECT_TRUE(std::regex_search(result.out, std::regex(R"(/in/sub +OK +0 +0 +0 +1 +0\n)"))) << result.out;
  EXPECT_TRUE(std::regex_search(
      result.out, std::regex(R"(total: 3 files, \d+ bytes read, \d+ bytes written, -?\d+\.\d% saved\n$)")))
      << result.out;
  EXPECT_TRUE(fs::exists(Out("kick.ogg")));
  EXPECT_TRUE(fs::exists(Out("sub/readme.txt")));
  // Not a terminal: one progress line per folder on stderr.
  EXPECT_NE(result.err.find("[1/2] " + In().string() + "\n"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("[2/2] " + In("sub").string() + "\n"), std::string::npos) << result.err;
  // The log is appended in the folder the program ran in.
  EXPECT_TRUE(fs::exists(tmp.path() / "hoshibako.log"));
}

TEST_F(CliProgramTest, FailedFilesExitOneAndAreListed) {
  WriteBytes(In("broken.wav"), "RIFF....WAVE");
  WriteBytes(In("fine.txt"), "ok");
  const ProgramResult result = Cli({"-w", "--json", In().string(), Out().string()});

  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_NE(result.out.find("\"status\": \"エラーあり\""), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("\"errorFiles\": [\"broken.wav\"]"), std::string::npos) << result.out;
  EXPECT_NE(
      result.out.find("\"totals\": {\"files\": 1, \"bytesRead\": 2, \"bytesWritten\": 2, \"skipped\": 0}"),
      std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("\"cancelled\": false}"), std::string::npos);
}

TEST_F(CliProgramTest, UpdateRunsSkipWhatIsUpToDateAndRedoAllUnderOtherOptions) {
  WriteBytes(In("kick.wav"), TriangleWaveFile());
  WriteBytes(In("readme.txt"), "hello");
  ASSERT_EQ(Cli({"-w", "-u", "-j", "2", In().string(), Out().string()}).exitCode, 0);

  const ProgramResult again = Cli({"-w", "--update", "--json", In().string(), Out().string()});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_NE(again.out.find("\"skippedCount\": 2"), std::string::npos) << again.out;
  EXPECT_NE(
      again.out.find("\"totals\": {\"files\": 0, \"bytesRead\": 0, \"bytesWritten\": 0, \"skipped\": 2}"),
      std::string::npos)
      << again.out;
  EXPECT_EQ(again.err.find("options"), std::string::npos) << again.err;

  const ProgramResult other = Cli({"-w", "-i", "-u", In().string(), Out().string()});
  EXPECT_EQ(other.exitCode, 0) << other.err;
  EXPECT_NE(other.err.find("converting everything again"), std::string::npos) << other.err;
  EXPECT_TRUE(std::regex_search(other.out, std::regex(R"(total: 2 files, \d+ bytes read)"))) << other.out;
}

// A failed file whose name holds a line feed and an escape sequence: the
// table, the progress lines and the log show it escaped, on one line.
TEST_F(CliProgramTest, ControlCharactersInNamesCannotForgeLines) {
  WriteBytes(In("x\nOK\x1B[2J.wav"), "RIFF....WAVE");
  fs::create_directories(In("d\r"));
  const ProgramResult result = Cli({"-sw", In().string(), Out().string()});

  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_NE(result.out.find("\n  x\\nOK\\x1B[2J.wav\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("/in/d\\r "), std::string::npos) << result.out;
  EXPECT_NE(result.err.find("/in/d\\r\n"), std::string::npos) << result.err;
  const std::string log = ReadBytes(tmp.path() / "hoshibako.log");
  EXPECT_NE(log.find(",1,x\\nOK\\x1B[2J.wav\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("/in/d\\r,OK,"), std::string::npos) << log;
  for (const std::string& text : {result.out, result.err, log}) {
    EXPECT_EQ(text.find('\x1B'), std::string::npos);
    EXPECT_EQ(text.find("\nOK"), std::string::npos);
  }
}

TEST_F(CliProgramTest, FolderThatCannotBeCreatedExitsOne) {
  WriteBytes(In("A/a.txt"), "a");
  WriteBytes(Out("A"), "a file in the way");
  const ProgramResult result = Cli({"-s", In().string(), Out().string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.out.find("フォルダ作成失敗"), std::string::npos) << result.out;
}

struct StartCheckCase {
  const char* name;
  std::vector<std::string> arguments;  // "IN" / "OUT" stand for the test's folders
  const char* message;
};

class CliStartCheckTest : public CliProgramTest, public ::testing::WithParamInterface<StartCheckCase> {};

TEST_P(CliStartCheckTest, RefusesWithTheMessageAndExitTwo) {
  std::vector<std::string> arguments;
  for (const std::string& argument : GetParam().arguments) {
    if (argument == "IN") {
      arguments.push_back(In().string());
    } else if (argument == "OUT") {
      arguments.push_back(Out().string());
    } else if (argument == "IN/out") {
      fs::create_directories(In("out"));
      arguments.push_back(In("out").string());
    } else if (argument == "OUT/in") {
      fs::create_directories(Out("in"));
      arguments.push_back(Out("in").string());
    } else {
      arguments.push_back(argument);
    }
  }
  const ProgramResult result = Cli(arguments);
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find(GetParam().message), std::string::npos) << result.err;
  EXPECT_TRUE(result.out.empty());
  EXPECT_FALSE(fs::exists(tmp.path() / "hoshibako.log"));
}

INSTANTIATE_TEST_SUITE_P(
    Checks, CliStartCheckTest,
    ::testing::Values(
        StartCheckCase{"NoArguments", {}, "Usage: hoshibako-cli [options] INPUT OUTPUT\nTry 'hoshibako-cli"},
        StartCheckCase{"NoFolders", {"-a"}, "入力フォルダを選択してください。\nUsage:"},
        StartCheckCase{"InputMissing", {"/no/such/folder", "OUT"}, "存在しません。 '/no/such/folder'\n"},
        StartCheckCase{"RelativeInputMissing", {"no-such", "OUT"}, "/no-such'\n"},
        StartCheckCase{"OutputNotGiven", {"IN"}, "出力フォルダを選択してください。\nUsage:"},
        StartCheckCase{"OutputMissing", {"IN", "/no/such/folder"}, "存在しません。 '/no/such/folder'\n"},
        StartCheckCase{"OutputInsideInput", {"IN", "IN/out"}, "/in/out'\n"},
        StartCheckCase{"InputInsideOutput", {"-a", "OUT/in", "OUT"}, "/out/in'\n"},
        StartCheckCase{"KeepWithoutAnswer", {"-k", "IN", "OUT"}, "処理を続行しますか？"},
        StartCheckCase{"UnknownOption", {"--bogus", "IN", "OUT"}, "unknown option '--bogus'\nTry"}),
    [](const ::testing::TestParamInfo<StartCheckCase>& info) { return std::string(info.param.name); });

TEST_F(CliProgramTest, KeepWithYesRunsWithoutAsking) {
  WriteBytes(In("kick.wav"), TriangleWaveFile());
  WriteBytes(In("s.bms"), "#WAV01 kick.wav\r\n");
  const ProgramResult result = Cli({"-kwy", In().string(), Out().string()});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(StartsWith(ReadBytes(Out("kick.wav")), "OggS"));
  EXPECT_EQ(ReadBytes(Out("s.bms")), "#WAV01 kick.wav\r\n");
}

TEST_F(CliProgramTest, LogMatchesTheDialogProgramsLog) {
  WriteBytes(In("a.txt"), "a");
  ASSERT_EQ(Cli({In().string(), Out().string()}).exitCode, 0);
  const std::string log = ReadBytes(tmp.path() / "hoshibako.log");
  std::string header;
  ASSERT_TRUE(
      Utf16ToCp932(u"対象フォルダ,処理結果,BMS,音声,画像,無変換,エラー,エラーファイル一覧", header, false));
  const std::size_t dateEnd = log.find("\r\n");
  ASSERT_NE(dateEnd, std::string::npos);
  EXPECT_TRUE(std::regex_match(log.substr(0, dateEnd), std::regex(R"(\d+/\d+/\d+ \d+:\d+:\d+)")));
  EXPECT_EQ(log.substr(dateEnd + 2), header + "\r\n" + In().string() + ",OK,0,0,0,1,0\r\n\r\n");
}

TEST_F(CliProgramTest, HelpAndVersion) {
  const ProgramResult help = Cli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--keep-scripts"), std::string::npos);
  const ProgramResult version = Cli({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("hoshibako-cli \\d+\\.\\d+\n")));
}

// A long run: many folders, each with a sound file that takes a while.
void MakeLongRun(const fs::path& in, int folders, std::uint32_t frames) {
  const Bytes wav = TriangleWaveFile(44100, 16, frames);
  for (int i = 0; i < folders; ++i) WriteBytes(in / ("f" + std::to_string(100 + i)) / "long.wav", wav);
}

TEST_F(CliProgramTest, InterruptStopsAtTheNextCheckPointAndExits130) {
  MakeLongRun(In(), 30, 44100);
  bool sent = false;
  const ProgramResult result = RunProgram(HOSHIBAKO_CLI_PATH, {"-a", "--json", In().string(), Out().string()},
                                          tmp.path().string(), [&](const std::string& err, int pid) {
                                            if (!sent && err.find("[3/31]") != std::string::npos) {
                                              Interrupt(pid);
                                              sent = true;
                                            }
                                          });
  ASSERT_TRUE(sent) << result.err;
  EXPECT_EQ(result.exitCode, 130) << result.err;
  EXPECT_NE(result.out.find("\"cancelled\": true"), std::string::npos) << result.out;
  // One cancelled row, the last: the walk stopped in that folder, either
  // right after listing it or after its file, which was then finished and
  // counted.
  const std::regex cancelledRow(
      R"re(\{"folder": "[^"]*/(f\d+)", "status": "キャンセル", "bmsCount": 0, "soundCount": ([01]), [^}]*\}\], "totals")re");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(result.out, match, cancelledRow)) << result.out;
  EXPECT_EQ(result.out.find("キャンセル"), result.out.rfind("キャンセル"));
  const fs::path converted = Out(match[1].str() + "/long.ogg");
  if (match[2] == "1") {
    EXPECT_TRUE(StartsWith(ReadBytes(converted), "OggS"));
  } else {
    EXPECT_FALSE(fs::exists(converted));
  }
  EXPECT_FALSE(fs::exists(Out("f129")));
  EXPECT_NE(result.err.find("処理を終了しています..."), std::string::npos) << result.err;
}

TEST_F(CliProgramTest, SecondInterruptEndsAtOnce) {
  // Encoding 40 minutes of sound takes a while: the first interrupt must
  // wait for it, the second must not. (A named pipe, which never finishes,
  // now fails at once.) The samples are a hole in the file: no disk used.
  std::string header = AsString(TriangleWaveFile(44100, 16, 0));
  const std::uint32_t dataSize = 200u << 20;
  for (int i = 0; i < 4; ++i) {
    header[4 + i] = static_cast<char>(((36 + dataSize) >> (8 * i)) & 0xFF);
    header[40 + i] = static_cast<char>((dataSize >> (8 * i)) & 0xFF);
  }
  WriteBytes(In("long.wav"), header);
  fs::resize_file(In("long.wav"), header.size() + dataSize);
  int sent = 0;
  std::size_t seen = 0;
  const ProgramResult result =
      RunProgram(HOSHIBAKO_CLI_PATH, {"-w", In().string(), Out().string()}, tmp.path().string(),
                 [&](const std::string& err, int pid) {
                   const bool quiet = err.size() == seen;
                   seen = err.size();
                   // A quiet second after the folder line: listing takes no time, so
                   // the worker is now inside the encoding.
                   if (sent == 0 && quiet && err.find("[1/1]") != std::string::npos) {
                     Interrupt(pid);
                     sent = 1;
                   } else if (sent == 1 && err.find("処理を終了しています...") != std::string::npos) {
                     // The first interrupt was seen and the encoding goes on.
                     Interrupt(pid);
                     sent = 2;
                   }
                 });
  ASSERT_EQ(sent, 2) << result.err;
  EXPECT_EQ(result.exitCode, 130);
  // Ended inside the copy: no results were printed.
  EXPECT_TRUE(result.out.empty()) << result.out;
}

// --check: a reference the run itself left behind fails the run; one the
// input already lacked is listed but does not.
struct CheckCase {
  const char* name;
  std::string script;
  std::vector<std::string> options;
  int exitCode;
  std::string json;
};

class CliCheckTest : public CliProgramTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CliCheckTest, ListsMissingReferencesAndSetsTheExitCode) {
  const CheckCase& c = GetParam();
  WriteBytes(In("song.bms"), c.script);
  WriteBytes(In("kick.wav"), TriangleWaveFile());
  WriteBytes(In("sub/snare.wav"), TriangleWaveFile());
  std::vector<std::string> arguments = c.options;
  arguments.push_back(In().string());
  arguments.push_back(Out().string());
  arguments.insert(arguments.begin(), "--check");

  const ProgramResult json = Cli([&] {
    std::vector<std::string> withJson = arguments;
    withJson.insert(withJson.begin(), "--json");
    return withJson;
  }());
  EXPECT_EQ(json.exitCode, c.exitCode) << json.err;
  EXPECT_NE(json.out.find("\"missingReferences\": [" + c.json + "]"), std::string::npos) << json.out;

  const ProgramResult table = Cli(arguments);
  EXPECT_EQ(table.exitCode, c.exitCode) << table.err;
  if (!c.json.empty()) {
    EXPECT_NE(table.out.find("missing references: " + In().string() + "\n  song.bms:"), std::string::npos)
        << table.out;
  }
}

INSTANTIATE_TEST_SUITE_P(
    References, CliCheckTest,
    ::testing::Values(
        CheckCase{"EveryReferenceFound", "#WAV01 kick.wav\r\n", {"-w"}, 0, ""},
        CheckCase{"MissingInTheInputAlready",
                  "#WAV01 kick.wav\r\n#PREVIEW gone.wav\r\n",
                  {"-w"},
                  0,
                  R"({"chart": "song.bms", "line": 2, "command": "#PREVIEW", "value": "gone.ogg", )"
                  R"("missingInInput": true})"},
        // Without -s the subfolder is not written, so the chart's reference
        // into it breaks; the chart itself is kept byte for byte.
        CheckCase{"BrokenByTheRun",
                  "#WAV01 kick.wav\r\n#WAV02 SUB\\Snare.WAV\r\n",
                  {"-p", "-w"},
                  1,
                  R"({"chart": "song.bms", "line": 2, "command": "#WAV02", "value": "SUB\\Snare.WAV", )"
                  R"("missingInInput": false})"}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

TEST_F(CliProgramTest, PreserveWithKeepDoesNotStart) {
  const ProgramResult result = Cli({"-p", "-k", "-y", In().string(), Out().string()});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("-p and -k"), std::string::npos) << result.err;
  EXPECT_TRUE(fs::is_empty(Out()));
}

}  // namespace
