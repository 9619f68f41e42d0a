// What hoshibako-cli leaves in its output when a run does not end well: the
// process killed at many moments, two runs into one output at once, and
// files that cannot grow past a size (the process's file size limit, which
// the kernel enforces like a full disk: the write fails). After each, every
// file under a final name must be complete: each Ogg ends with its last
// page and decodes to its source's length, each PNG ends with IEND and
// decodes, each copy and script equals what a clean run writes.

#include <gtest/gtest.h>
#include <png.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/bmp_writer.h"
#include "support/scratch_folder.h"
#include "support/wav_writer.h"
#include "util/file_system.h"
#include "util/unicode.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// What a source must become: the frames of a sound, the size of an image,
// or the bytes of a copy or rewritten script.
struct Expected {
  enum Kind { Sound, Image, Bytes } kind = Bytes;
  std::int64_t frames = 0;
  std::uint32_t width = 0, height = 0;
  std::string bytes;
};

// Starts the program with stdout into a file; `fileSizeLimit` > 0 caps the
// size of every file it writes.
pid_t Spawn(const fs::path& workFolder, const std::vector<std::string>& arguments, const fs::path& stdoutFile,
            rlim_t fileSizeLimit = 0) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  if (chdir(workFolder.c_str()) != 0) _exit(127);
  if (std::freopen(stdoutFile.c_str(), "w", stdout) == nullptr) _exit(127);
  if (std::freopen("/dev/null", "w", stderr) == nullptr) _exit(127);
  if (fileSizeLimit > 0) {
    // The write past the limit fails with EFBIG instead of ending the process.
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{fileSizeLimit, fileSizeLimit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
  }
  std::vector<char*> argv{const_cast<char*>(HOSHIBAKO_CLI_PATH)};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execv(HOSHIBAKO_CLI_PATH, argv.data());
  _exit(127);
}

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// True when the last Ogg page of the bytes ends the file and carries the
// end-of-stream flag.
bool EndsWithLastPage(const std::string& bytes) {
  for (std::size_t at = bytes.rfind("OggS"); at != std::string::npos && at > 0;
       at = bytes.rfind("OggS", at - 1)) {
    if (bytes.size() < at + 27) continue;
    const std::size_t segments = static_cast<unsigned char>(bytes[at + 26]);
    if (bytes.size() < at + 27 + segments) continue;
    std::size_t length = 27 + segments;
    for (std::size_t i = 0; i < segments; ++i) length += static_cast<unsigned char>(bytes[at + 27 + i]);
    if (at + length == bytes.size()) return (bytes[at + 5] & 0x04) != 0;
  }
  return false;
}

std::string CheckSound(const fs::path& file, std::int64_t frames) {
  if (!EndsWithLastPage(ReadBytes(file))) return "no end-of-stream page";
  OggVorbis_File vf;
  if (ov_fopen(file.c_str(), &vf) != 0) return "not Ogg Vorbis";
  std::int64_t decoded = 0;
  bool broken = false;
  for (;;) {
    float** pcm = nullptr;
    int section = 0;
    const long n = ov_read_float(&vf, &pcm, 4096, &section);
    if (n == 0) break;
    if (n < 0) {
      broken = true;
      break;
    }
    decoded += n;
  }
  ov_clear(&vf);
  if (broken) return "decoding fails";
  if (decoded != frames)
    return "decodes to " + std::to_string(decoded) + " of " + std::to_string(frames) + " frames";
  return "";
}

std::string CheckImage(const fs::path& file, std::uint32_t width, std::uint32_t height) {
  const std::string bytes = ReadBytes(file);
  static const std::string kEnd("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
  if (bytes.size() < kEnd.size() || bytes.compare(bytes.size() - kEnd.size(), kEnd.size(), kEnd) != 0) {
    return "no IEND at the end";
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return "not a PNG";
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
  const bool read = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
  png_image_free(&image);
  if (!read) return "PNG does not decode";
  if (image.width != width || image.height != height) return "wrong size";
  return "";
}

class OutputSafetyTest : public ::testing::Test {
 protected:
  fs::path In() const { return tmp.path() / "in"; }

  // A small library: sounds, bitmaps, scripts and plain files in three
  // folders, some with names outside code page 932.
  void MakeLibrary() {
    std::mt19937 random(7);
    const std::vector<std::string> folders = {"", "song2", "song2/caf\xC3\xA9"};
    int n = 0;
    for (const std::string& folder : folders) {
      const std::string prefix = folder.empty() ? "" : folder + "/";
      for (int i = 0; i < 4; ++i, ++n) {
        const std::uint32_t frames = 30000 + 7919 * static_cast<std::uint32_t>(n);
        Add(prefix + "s" + std::to_string(n) + ".wav", AsString(TriangleWaveFile(44100, 16, frames)),
            prefix + "s" + std::to_string(n) + ".ogg", Expected{Expected::Sound, frames, 0, 0, ""});
      }
      for (int i = 0; i < 2; ++i, ++n) {
        const std::int32_t width = 300 + 17 * n;
        const std::int32_t height = 200 + 5 * n;
        Add(prefix + "\xE7\x94\xBB" + std::to_string(n) + ".bmp",
            AsString(Bitmap24(width, height,
                              [](std::int32_t x, std::int32_t row) {
                                return static_cast<std::uint32_t>(x * 40 + row * 60) & 0xFFFFFF;
                              })),
            prefix + "\xE7\x94\xBB" + std::to_string(n) + ".png",
            Expected{Expected::Image, 0, static_cast<std::uint32_t>(width),
                     static_cast<std::uint32_t>(height), ""});
      }
      std::string blob(400000 + 1000 * static_cast<std::size_t>(n), '\0');
      for (char& c : blob) c = static_cast<char>(random());
      Add(prefix + "movie" + std::to_string(n) + ".bin", blob, prefix + "movie" + std::to_string(n) + ".bin",
          Expected{Expected::Bytes, 0, 0, 0, blob});
      Add(prefix + "chart" + std::to_string(n) + ".bms", "#TITLE x\r\n#WAV01 s0.wav\r\n#BMP01 a.bmp\r\n",
          prefix + "chart" + std::to_string(n) + ".bms", Expected{});
    }
  }

  void Add(const std::string& input, const std::string& bytes, const std::string& output, Expected expected) {
    WriteBytes(In() / Utf8Path(input), bytes);
    sourceOf[output] = input;
    expected_[output] = std::move(expected);
  }

  // Runs the program to its end; fills in the scripts' expected bytes from
  // the first clean run.
  int Run(const fs::path& out, rlim_t fileSizeLimit = 0, std::string* json = nullptr) {
    fs::create_directories(out);
    const fs::path stdoutFile = tmp.path() / ("stdout" + std::to_string(runs_++));
    const int code =
        Wait(Spawn(tmp.path(), {"-a", "--json", In().string(), out.string()}, stdoutFile, fileSizeLimit));
    if (json != nullptr) *json = ReadBytes(stdoutFile);
    return code;
  }

  void LearnScripts(const fs::path& out) {
    for (auto& [output, expected] : expected_) {
      if (expected.kind == Expected::Bytes && expected.bytes.empty()) {
        expected.bytes = ReadBytes(out / Utf8Path(output));
      }
    }
  }

  // Every file under a final name is complete; returns the problems found,
  // and counts the temporaries and complete files.
  std::vector<std::string> Check(const fs::path& out, int& temporaries, int& complete) const {
    std::vector<std::string> problems;
    temporaries = 0;
    complete = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(out)) {
      if (!entry.is_regular_file()) continue;
      const std::string name = Utf16ToUtf8(PathText(entry.path().filename()));
      // A killed run leaves its lock files beside its temporaries.
      if (IsOwnTemporaryName(U16(name)) || IsRunLockName(U16(name))) {
        ++temporaries;
        continue;
      }
      const std::string relative = Utf16ToUtf8(PathText(fs::relative(entry.path(), out)));
      const auto found = expected_.find(relative);
      if (found == expected_.end()) {
        problems.push_back(relative + ": unexpected");
        continue;
      }
      const Expected& e = found->second;
      std::string problem;
      if (e.kind == Expected::Sound) {
        problem = CheckSound(entry.path(), e.frames);
      } else if (e.kind == Expected::Image) {
        problem = CheckImage(entry.path(), e.width, e.height);
      } else if (ReadBytes(entry.path()) != e.bytes) {
        problem = "differs from a clean run";
      }
      if (problem.empty()) {
        ++complete;
      } else {
        problems.push_back(relative + ": " + problem);
      }
    }
    return problems;
  }

  ScratchFolder tmp;
  std::map<std::string, std::string> sourceOf;  // output -> input
  std::map<std::string, Expected> expected_;
  int runs_ = 0;
};

TEST_F(OutputSafetyTest, KilledRunsLeaveOnlyCompleteFilesAndARerunRemovesTheirTemporaries) {
  MakeLibrary();
  const fs::path reference = tmp.path() / "reference";
  const Clock::time_point start = Clock::now();
  ASSERT_EQ(Run(reference), 0);
  const auto duration = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
  LearnScripts(reference);
  int temporaries = 0;
  int complete = 0;
  EXPECT_EQ(Check(reference, temporaries, complete), std::vector<std::string>{});
  ASSERT_EQ(complete, static_cast<int>(expected_.size()));

  // One output folder through all the kills: later runs overwrite what
  // earlier ones completed, so both a new name and a replaced one are hit.
  const fs::path out = tmp.path() / "out";
  fs::create_directories(out);
  int killsWithTemporaries = 0;
  for (int k = 0; k < 20; ++k) {
    const auto moment = duration * (3 + 94 * k / 19) / 100;
    const pid_t pid = Spawn(tmp.path(), {"-a", In().string(), out.string()}, "/dev/null");
    std::this_thread::sleep_for(moment);
    kill(pid, SIGKILL);
    Wait(pid);
    if (!fs::exists(out)) continue;
    const std::vector<std::string> problems = Check(out, temporaries, complete);
    EXPECT_EQ(problems, std::vector<std::string>{}) << "killed after " << moment.count() << " us";
    if (temporaries > 0) ++killsWithTemporaries;
  }
  // The kills must have caught files being written.
  EXPECT_GT(killsWithTemporaries, 0);

  EXPECT_EQ(Run(out), 0);
  EXPECT_EQ(Check(out, temporaries, complete), std::vector<std::string>{});
  EXPECT_EQ(temporaries, 0);
  EXPECT_EQ(complete, static_cast<int>(expected_.size()));
}

TEST_F(OutputSafetyTest, TwoRunsIntoOneOutputWriteNoCorruptFile) {
  MakeLibrary();
  const fs::path out = tmp.path() / "out";
  fs::create_directories(out);
  ASSERT_EQ(Run(tmp.path() / "reference"), 0);
  LearnScripts(tmp.path() / "reference");
  for (int round = 0; round < 2; ++round) {
    const pid_t first = Spawn(tmp.path(), {"-a", In().string(), out.string()}, "/dev/null");
    const pid_t second = Spawn(tmp.path(), {"-a", In().string(), out.string()}, "/dev/null");
    EXPECT_EQ(Wait(first), 0);
    EXPECT_EQ(Wait(second), 0);
    int temporaries = 0;
    int complete = 0;
    EXPECT_EQ(Check(out, temporaries, complete), std::vector<std::string>{});
    EXPECT_EQ(temporaries, 0);
    EXPECT_EQ(complete, static_cast<int>(expected_.size()));
  }
}

// Files that cannot grow past N bytes: exactly the outputs that a clean run
// makes larger than N fail and are listed; nothing partial is left, and an
// earlier file of a failed name stays as it was.
TEST_F(OutputSafetyTest, WritesFailingPastALimitAreListedAndLeaveNothingPartial) {
  MakeLibrary();
  const fs::path reference = tmp.path() / "reference";
  ASSERT_EQ(Run(reference), 0);
  LearnScripts(reference);
  std::vector<std::uintmax_t> sizes;
  for (const auto& [output, expected] : expected_)
    sizes.push_back(fs::file_size(reference / Utf8Path(output)));
  std::sort(sizes.begin(), sizes.end());

  for (const std::size_t quantile : {1, 2, 3}) {
    const rlim_t limit = sizes[sizes.size() * quantile / 4] + 1;
    const fs::path out = tmp.path() / ("out" + std::to_string(quantile));
    // An earlier run's file of a name whose new output is too large.
    std::string earlierName;
    for (const auto& [output, expected] : expected_) {
      if (fs::file_size(reference / Utf8Path(output)) > limit) earlierName = output;
    }
    ASSERT_FALSE(earlierName.empty());
    fs::create_directories((out / Utf8Path(earlierName)).parent_path());
    WriteBytes(out / Utf8Path(earlierName), "from an earlier run");

    std::string json;
    EXPECT_EQ(Run(out, limit, &json), 1) << "limit " << limit;
    std::string failedNames;
    const std::regex errorFiles("\"errorFiles\": ?\\[([^\\]]*)\\]");
    for (std::sregex_iterator it(json.begin(), json.end(), errorFiles), end; it != end; ++it)
      failedNames += (*it)[1];

    for (const auto& [output, expected] : expected_) {
      const bool tooLarge = fs::file_size(reference / Utf8Path(output)) > limit;
      const std::string input = fs::path(Utf8Path(sourceOf.at(output))).filename().string();
      EXPECT_EQ(failedNames.find("\"" + input + "\"") != std::string::npos, tooLarge)
          << input << " at " << limit;
      if (tooLarge && output != earlierName) {
        EXPECT_FALSE(fs::exists(out / Utf8Path(output))) << output;
      }
    }
    EXPECT_EQ(ReadBytes(out / Utf8Path(earlierName)), "from an earlier run");
    fs::remove(out / Utf8Path(earlierName));
    int temporaries = 0;
    int complete = 0;
    EXPECT_EQ(Check(out, temporaries, complete), std::vector<std::string>{});
    EXPECT_EQ(temporaries, 0);
  }
}

// Second ways into one tree from the other: a link inside the output that
// leads into the input, and a folder mounted a second time at "b" (in a
// mount namespace of the child alone). The run must write nothing into the
// input: it is refused at the start, or the linked folder fails visibly.
struct SecondWayCase {
  const char* name;
  const char* linkInOutput;  // "out/<this>" becomes a link to "in/<this>"
  const char* mountedAtB;    // the folder mounted again at "b", or ""
  const char* input;         // folders relative to the test's folder
  const char* output;
  int exitCode;
};

constexpr int kNoMount = 100;

const SecondWayCase kSecondWayCases[] = {
    {"LinkInTheOutputLeadsIntoTheInput", "song2", "", "in", "out", 1},
    {"OutputIsTheInputMountedAgain", "", "in", "in", "b", 2},
    {"OutputBelowTheInputMountedAgain", "", "in", "in", "b/song2", 2},
    {"InputBelowTheOutputMountedAgain", "", "out", "b/library", "out", 2},
    {"AnotherFolderMounted", "", "other", "in", "b", 0},
};

class SecondWayTest : public OutputSafetyTest, public ::testing::WithParamInterface<SecondWayCase> {};

// Every file below a folder with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = ReadBytes(entry.path());
  }
  return files;
}

TEST_P(SecondWayTest, TheInputIsNeverWritten) {
  const SecondWayCase& c = GetParam();
  MakeLibrary();
  for (const char* folder : {"out", "b", "other"}) fs::create_directories(tmp.path() / folder);
  fs::copy(In(), tmp.path() / "out/library", fs::copy_options::recursive);
  if (c.linkInOutput[0] != '\0') {
    fs::create_directory_symlink(In() / c.linkInOutput, tmp.path() / "out" / c.linkInOutput);
  }
  const fs::path input = tmp.path() / c.input;
  const std::string mounted = (tmp.path() / c.mountedAtB).string();
  const std::string mountPoint = (tmp.path() / "b").string();
  const std::string output = (tmp.path() / c.output).string();
  // The input as the parent sees it, without the child's mount.
  const fs::path watched = tmp.path() / (std::string(c.input) == "b/library" ? "out/library" : c.input);
  const auto before = Snapshot(watched);
  const pid_t pid = fork();
  if (pid == 0) {
    if (c.mountedAtB[0] != '\0' &&
        (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
         mount(mounted.c_str(), mountPoint.c_str(), nullptr, MS_BIND, nullptr) != 0)) {
      _exit(kNoMount);
    }
    if (std::freopen("/dev/null", "w", stdout) == nullptr ||
        std::freopen("/dev/null", "w", stderr) == nullptr)
      _exit(127);
    execl(HOSHIBAKO_CLI_PATH, HOSHIBAKO_CLI_PATH, "-a", input.c_str(), output.c_str(), nullptr);
    _exit(127);
  }
  const int code = Wait(pid);
  if (code == kNoMount) GTEST_SKIP() << "no bind mounts here";
  EXPECT_EQ(code, c.exitCode);
  EXPECT_EQ(Snapshot(watched), before);
}

INSTANTIATE_TEST_SUITE_P(Inputs, SecondWayTest, ::testing::ValuesIn(kSecondWayCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
