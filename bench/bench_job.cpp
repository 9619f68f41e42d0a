// A whole song library converted end to end by hoshibako-cli, side by side
// with what people script instead: a shell loop that runs `oggenc -q 4`
// once per folder for its WAVs, ImageMagick's `convert` once per bitmap and
// `cp` for everything else, two folders at a time.
//
// Each round runs, on the same generated library:
//   -j 1        the program converting one file after another;
//   default     the program on its default threads (or --jobs N), as an
//               update run into an empty output, so it converts everything;
//   update      the same update run again over the unchanged library;
//   shell loop  the scripted tools, two folders at a time.
// Prints the wall and processor time and peak resident size of each (the
// largest of the process and its children), and the ratios against their
// targets: the default at least 1.85 x faster than -j 1 and at most 0.75 x
// the shell loop's time on two cores, the second update run at most 0.05 x
// the first.
//
//   bench_job [--folders N] [--sounds N] [--images N] [--rounds N] [--jobs N] [--keep DIR]
//
// HOSHIBAKO_OGGENC and HOSHIBAKO_CONVERT replace the tools' paths.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/bmp_writer.h"
#include "support/scratch_folder.h"
#include "support/wav_writer.h"

namespace fs = std::filesystem;

namespace {

struct Options {
  int folders = 8;
  int sounds = 300;
  int images = 20;
  int rounds = 2;
  int jobs = 0;  // 0: the program's default
  std::string keep;
};

struct Library {
  int files = 0;
  std::uint64_t bytes = 0;
  std::uint64_t largestFile = 0;
};

// The same pseudo-random numbers on every run.
struct Lcg {
  std::uint32_t state;
  std::uint32_t Next() {
    state = state * 1103515245u + 12345u;
    return state >> 8;
  }
  double Unit() { return static_cast<double>(Next() & 0xFFFF) / 65535.0; }
};

// A keysound: a decaying tone with some noise, 0.1 to 0.6 seconds.
Bytes KeysoundWav(Lcg& random, std::uint32_t rate, int channels) {
  const std::uint32_t frames = rate / 10 + random.Next() % (rate / 2);
  const double frequency = 80 + random.Unit() * 900;
  const double decay = 4 + random.Unit() * 20;
  const double noise = random.Unit() * 0.5;
  Bytes samples;
  samples.reserve(frames * 2 * channels);
  double phase = 0;
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    phase += frequency / rate;
    const double tri = 4 * std::abs(phase - static_cast<double>(static_cast<long>(phase)) - 0.5) - 1;
    const double value = (tri * (1 - noise) + (random.Unit() * 2 - 1) * noise) * 0.8 / (1 + decay * t);
    for (int c = 0; c < channels; ++c) {
      PutLe16(samples, static_cast<std::uint16_t>(static_cast<std::int16_t>(value * 30000)));
    }
  }
  return WaveFile(Pcm(16, static_cast<std::uint16_t>(channels), rate), samples);
}

// A 24-bit bitmap with smooth shapes, the kind BGA frames have.
Bytes ImageBmp(Lcg& random, int width, int height) {
  const int cx = static_cast<int>(random.Next() % static_cast<std::uint32_t>(width));
  const int cy = static_cast<int>(random.Next() % static_cast<std::uint32_t>(height));
  return Bitmap24(width, height, [&](std::int32_t x, std::int32_t y) {
    const int d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
    const auto red = static_cast<std::uint32_t>(d < width * height / 8 ? 230 : (y * 255 / height)) & 0xFF;
    const auto green = static_cast<std::uint32_t>((x * 255 / width) ^ ((y / 16) * 17)) & 0xFF;
    const auto blue = static_cast<std::uint32_t>(d / 64) & 0xFF;
    return red << 16 | green << 8 | blue;
  });
}

std::string ScriptFor(int sounds, int images) {
  std::string out = "#PLAYER 1\r\n#TITLE bench\r\n#BPM 150\r\n";
  char line[64];
  for (int i = 1; i <= sounds; ++i) {
    std::snprintf(line, sizeof line, "#WAV%02X key%03d.wav\r\n", i % 256, i);
    out += line;
  }
  for (int i = 1; i <= images; ++i) {
    std::snprintf(line, sizeof line, "#BMP%02X bga%03d.bmp\r\n", i, i);
    out += line;
  }
  for (int bar = 1; bar < 200; ++bar) {
    std::snprintf(line, sizeof line, "#%03d11:0102030405060708\r\n", bar);
    out += line;
  }
  return out;
}

void Write(const fs::path& path, std::string_view bytes, Library& library) {
  WriteBytes(path, bytes);
  ++library.files;
  library.bytes += bytes.size();
  if (bytes.size() > library.largestFile) library.largestFile = bytes.size();
}

Library MakeLibrary(const fs::path& root, const Options& options) {
  Library library;
  Lcg random{12345};
  for (int f = 0; f < options.folders; ++f) {
    char name[32];
    std::snprintf(name, sizeof name, "song%02d", f + 1);
    const fs::path folder = root / name;
    fs::create_directories(folder);
    const std::uint32_t rate = (f % 3 == 0) ? 22050 : 44100;
    for (int s = 1; s <= options.sounds; ++s) {
      char file[32];
      std::snprintf(file, sizeof file, "key%03d.wav", s);
      Write(folder / file, AsString(KeysoundWav(random, rate, s % 5 == 0 ? 2 : 1)), library);
    }
    for (int i = 1; i <= options.images; ++i) {
      char file[32];
      std::snprintf(file, sizeof file, "bga%03d.bmp", i);
      Write(folder / file, AsString(i == 1 ? ImageBmp(random, 640, 480) : ImageBmp(random, 256, 256)),
            library);
    }
    Write(folder / "song_7key.bms", ScriptFor(options.sounds, options.images), library);
    Write(folder / "song_5key.bme", ScriptFor(options.sounds, options.images), library);
    Write(folder / "readme.txt", "bench song " + std::string(name) + "\r\n", library);
  }
  return library;
}

struct ChildRun {
  double seconds = 0;
  double processorSeconds = 0;
  long peakKilobytes = 0;
  int exitCode = -1;
};

// Runs a command line through the shell, stdout and stderr to /dev/null,
// and measures its wall time and (for the program itself) its peak size.
ChildRun RunChild(const std::vector<std::string>& argv, const fs::path& folder) {
  ChildRun run;
  std::fflush(nullptr);  // nothing buffered may be written twice
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(127);
    std::FILE* null = std::freopen("/dev/null", "w", stdout);
    std::FILE* nullErr = std::freopen("/dev/null", "w", stderr);
    (void)null;
    (void)nullErr;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peakKilobytes = usage.ru_maxrss;
  run.processorSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// The plain-tools version of the same run: one script per folder, and a
// loop that runs it for two folders at a time.
void WriteScripts(const fs::path& base, const fs::path& in, const fs::path& out, const std::string& oggenc,
                  const std::string& convert) {
  std::ofstream folder(base / "folder.sh");
  folder << "#!/bin/sh\nset -e\n"
         << "dir=\"$1\"\nout='" << out.string() << "'\n"
         << "name=$(basename \"$dir\")\n"
         << "mkdir -p \"$out/$name\"\n"
         << "(cd \"$dir\" && " << oggenc << " -Q -q 4 *.wav && mv *.ogg \"$out/$name/\")\n"
         << "for f in \"$dir\"/*; do\n"
         << "  base=$(basename \"$f\")\n"
         << "  case \"$base\" in\n"
         << "    *.wav) ;;\n"
         << "    *.bmp) " << convert << " \"$f\" \"$out/$name/${base%.bmp}.png\" ;;\n"
         << "    *) cp \"$f\" \"$out/$name/\" ;;\n"
         << "  esac\n"
         << "done\n";
  std::ofstream loop(base / "plain.sh");
  loop << "#!/bin/sh\nset -e\n"
       << "find '" << in.string() << "' -mindepth 1 -maxdepth 1 -type d -print0 | "
       << "xargs -0 -n 1 -P 2 sh '" << (base / "folder.sh").string() << "'\n";
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (arg == "--folders") {
      options.folders = std::atoi(value.c_str());
    } else if (arg == "--sounds") {
      options.sounds = std::atoi(value.c_str());
    } else if (arg == "--images") {
      options.images = std::atoi(value.c_str());
    } else if (arg == "--rounds") {
      options.rounds = std::atoi(value.c_str());
    } else if (arg == "--jobs") {
      options.jobs = std::atoi(value.c_str());
      if (options.jobs < 1) return false;
    } else if (arg == "--keep") {
      options.keep = value;
    } else {
      return false;
    }
  }
  return options.folders > 0 && options.sounds >= 0 && options.images >= 0 && options.rounds > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(
        stderr,
        "usage: bench_job [--folders N] [--sounds N] [--images N] [--rounds N] [--jobs N] [--keep DIR]\n");
    return 2;
  }
  const std::string oggenc = Env("HOSHIBAKO_OGGENC", "oggenc");
  // /usr/bin/convert is ImageMagick itself; a wrapper elsewhere on PATH
  // would add its own start-up to every call.
  const std::string convert =
      Env("HOSHIBAKO_CONVERT", fs::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert");

  std::error_code error;
  const ScratchFolder scratch;
  const fs::path base = options.keep.empty() ? scratch.path() : fs::path(options.keep);
  if (!options.keep.empty()) fs::remove_all(base, error);
  const fs::path in = base / "library";
  fs::create_directories(in);

  std::printf("generating %d folders x (%d keysounds + %d images + 3 other files)...\n", options.folders,
              options.sounds, options.images);
  std::fflush(stdout);
  const Library library = MakeLibrary(in, options);
  const double megabytes = static_cast<double>(library.bytes) / 1e6;
  std::printf("library: %d files, %.1f MB, largest file %.1f KB\n", library.files, megabytes,
              static_cast<double>(library.largestFile) / 1e3);

  WriteScripts(base, in, base / "out-plain", oggenc, convert);

  const std::vector<std::string> jobsArguments =
      options.jobs > 0 ? std::vector<std::string>{"--jobs", std::to_string(options.jobs)}
                       : std::vector<std::string>{};
  const auto program = [&](std::vector<std::string> extra, const fs::path& out) {
    std::vector<std::string> argv = {HOSHIBAKO_CLI_PATH, "-a"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.push_back(in.string());
    argv.push_back(out.string());
    return argv;
  };

  enum { kSerial, kDefault, kUpdate, kPlain, kRuns };
  const char* const names[kRuns] = {"-j 1", "default", "update", "shell loop"};
  ChildRun best[kRuns];
  bool ok = true;
  for (int round = 0; round < options.rounds; ++round) {
    ChildRun runs[kRuns];
    fs::remove_all(base / "out-serial", error);
    fs::create_directories(base / "out-serial");
    runs[kSerial] = RunChild(program({"-j", "1"}, base / "out-serial"), base);
    fs::remove_all(base / "out-default", error);
    fs::create_directories(base / "out-default");
    std::vector<std::string> update = jobsArguments;
    update.push_back("-u");
    runs[kDefault] = RunChild(program(update, base / "out-default"), base);
    runs[kUpdate] = RunChild(program(update, base / "out-default"), base);
    fs::remove_all(base / "out-plain", error);
    runs[kPlain] = RunChild({"sh", (base / "plain.sh").string()}, base);
    std::printf("round %d:", round + 1);
    for (int r = 0; r < kRuns; ++r) {
      std::printf(" %s %.2f s (exit %d)%s", names[r], runs[r].seconds, runs[r].exitCode,
                  r + 1 < kRuns ? "," : "\n");
      if (runs[r].exitCode != 0) ok = false;
      if (round == 0 || runs[r].seconds < best[r].seconds) best[r] = runs[r];
    }
    std::fflush(stdout);
  }

  std::printf("hardware threads: %u; program threads: %s\n", std::thread::hardware_concurrency(),
              options.jobs > 0 ? std::to_string(options.jobs).c_str() : "default");
  for (int r = 0; r < kRuns; ++r) {
    std::printf("%-10s %7.2f s wall, %7.2f s processor, %6.0f files/s, peak RSS %6.1f MB\n", names[r],
                best[r].seconds, best[r].processorSeconds, library.files / best[r].seconds,
                best[r].peakKilobytes / 1024.0);
  }
  const double speedUp = best[kSerial].seconds / best[kDefault].seconds;
  const double againstLoop = best[kDefault].seconds / best[kPlain].seconds;
  const double updateShare = best[kUpdate].seconds / best[kDefault].seconds;
  std::printf("-j 1 / default:       %.3f (target >= 1.85) %s\n", speedUp, speedUp >= 1.85 ? "PASS" : "FAIL");
  std::printf("default / shell loop: %.3f (target <= 0.75) %s\n", againstLoop,
              againstLoop <= 0.75 ? "PASS" : "FAIL");
  std::printf("update / default:     %.3f (target <= 0.05) %s\n", updateShare,
              updateShare <= 0.05 ? "PASS" : "FAIL");
  std::printf(
      "peak RSS of the default run %.1f MB against a library of %.1f MB and a largest file of %.2f MB\n",
      best[kDefault].peakKilobytes / 1024.0, megabytes, static_cast<double>(library.largestFile) / 1e6);

  return ok ? 0 : 1;
}
