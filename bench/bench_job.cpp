// A whole song library converted end to end by hoshibako-cli, side by side
// with a plain shell script doing the same work with the usual tools:
// `oggenc -q 4` once per folder for all its WAVs, ImageMagick's `convert`
// once per bitmap and `cp` for everything else.
//
// Prints files per second, MB per second, the wall time of both, the ratio,
// and the program's peak resident size next to the largest single file.
// The job adds only its walk to the converters' own cost, so the whole run
// is expected to take at most 0.85 x the script's time.
//
//   bench_job [--folders N] [--sounds N] [--images N] [--rounds N] [--keep DIR]
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
#include <vector>

#include "support/bmp_writer.h"
#include "support/scratch_folder.h"
#include "support/wav_writer.h"

namespace fs = std::filesystem;

namespace {

struct Options {
  int folders = 20;
  int sounds = 300;
  int images = 20;
  int rounds = 2;
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
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// The plain-tools version of the same run.
void WriteScript(const fs::path& path, const fs::path& in, const fs::path& out, const std::string& oggenc,
                 const std::string& convert) {
  std::ofstream script(path);
  script << "#!/bin/sh\nset -e\n"
         << "in='" << in.string() << "'\nout='" << out.string() << "'\n"
         << "for dir in \"$in\"/*/; do\n"
         << "  name=$(basename \"$dir\")\n"
         << "  mkdir -p \"$out/$name\"\n"
         << "  (cd \"$dir\" && " << oggenc << " -Q -q 4 *.wav && mv *.ogg \"$out/$name/\")\n"
         << "  for f in \"$dir\"*; do\n"
         << "    base=$(basename \"$f\")\n"
         << "    case \"$base\" in\n"
         << "      *.wav) ;;\n"
         << "      *.bmp) " << convert << " \"$f\" \"$out/$name/${base%.bmp}.png\" ;;\n"
         << "      *) cp \"$f\" \"$out/$name/\" ;;\n"
         << "    esac\n"
         << "  done\n"
         << "done\n";
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
    std::fprintf(stderr,
                 "usage: bench_job [--folders N] [--sounds N] [--images N] [--rounds N] [--keep DIR]\n");
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

  WriteScript(base / "plain.sh", in, base / "out-plain", oggenc, convert);

  ChildRun bestJob;
  ChildRun bestPlain;
  bool ok = true;
  for (int round = 0; round < options.rounds; ++round) {
    fs::remove_all(base / "out-job", error);
    fs::create_directories(base / "out-job");
    const ChildRun job = RunChild({HOSHIBAKO_CLI_PATH, "-a", in.string(), (base / "out-job").string()}, base);
    fs::remove_all(base / "out-plain", error);
    const ChildRun plain = RunChild({"sh", (base / "plain.sh").string()}, base);
    std::printf("round %d: hoshibako-cli %.2f s (exit %d), plain script %.2f s (exit %d)\n", round + 1,
                job.seconds, job.exitCode, plain.seconds, plain.exitCode);
    std::fflush(stdout);
    if (job.exitCode != 0 || plain.exitCode != 0) ok = false;
    if (round == 0 || job.seconds < bestJob.seconds) bestJob = job;
    if (round == 0 || plain.seconds < bestPlain.seconds) bestPlain = plain;
  }

  const double ratio = bestJob.seconds / bestPlain.seconds;
  std::printf("hoshibako-cli: %.2f s, %.0f files/s, %.2f MB/s, peak RSS %.1f MB\n", bestJob.seconds,
              library.files / bestJob.seconds, megabytes / bestJob.seconds, bestJob.peakKilobytes / 1024.0);
  std::printf("plain script:  %.2f s, %.0f files/s, %.2f MB/s\n", bestPlain.seconds,
              library.files / bestPlain.seconds, megabytes / bestPlain.seconds);
  std::printf("time ratio job / script: %.3f (target <= 0.85) %s\n", ratio, ratio <= 0.85 ? "PASS" : "FAIL");
  std::printf("peak RSS %.1f MB against a library of %.1f MB and a largest file of %.2f MB\n",
              bestJob.peakKilobytes / 1024.0, megabytes, static_cast<double>(library.largestFile) / 1e6);

  return ok ? 0 : 1;
}
