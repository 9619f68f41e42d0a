// Image conversion benchmark: a set of typical song images (20 of 256x256
// 24-bit, 5 of 640x480 8-bit, 2 of 1280x720 24-bit, photographic and flat
// content) converted by BmpToPngConverter, by a minimal libpng driver (plain
// row-by-row writer, library defaults) and, when installed, by ImageMagick's
// `convert in.bmp out.png`. Prints time and bytes of each and checks
//   time(ours) <= 0.7 x time(convert)   and   |bytes(ours) / bytes(minimal) - 1| <= 2 %.
//
// Usage: bench_image [passes]   (default 3; the best pass of each tool counts)
// The convert command can be replaced with HOSHIBAKO_CONVERT=/path/to/convert.

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "image/bmp_to_png_converter.h"
#include "support/bmp_writer.h"
#include "support/scratch_folder.h"
#include "util/unicode.h"

namespace {

namespace fs = std::filesystem;

struct SetImage {
  std::string name;
  int width;
  int height;
  int bitCount;  // 8 or 24
  bool photographic;
};

// Deterministic noise, so every run measures the same pictures.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed) {}
  int Next(int range) {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<int>((state_ >> 8) % static_cast<std::uint32_t>(range));
  }

 private:
  std::uint32_t state_;
};

std::uint8_t Clamp(double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); }

// One channel value of a photograph-like picture: smooth light, a few soft
// shapes and sensor noise.
double PhotoValue(int x, int y, int channel, double scale, Noise& noise) {
  const double fx = x * scale;
  const double fy = y * scale;
  const double light = 120 + 70 * std::sin(fx / 41.0 + channel) * std::cos(fy / 53.0 - channel * 0.7);
  const double shape = 40 * std::sin(std::hypot(fx - 140, fy - 90) / (9.0 + channel * 2));
  return light + shape + (noise.Next(17) - 8);
}

// Flat artwork: a background, rectangles and stripes of a few colours.
std::uint32_t FlatColor(int x, int y, int seed) {
  static const std::uint32_t colors[] = {0x1B2A49, 0xF2F2F2, 0xE0483E, 0x3FA7D6,
                                         0xFAC05E, 0x59CD90, 0x000000};
  const int cell = ((x / 37 + seed) * 7 + (y / 29) * 3) % 11;
  if (((x + y + seed * 5) / 6) % 9 == 0) return colors[6];
  return colors[cell < 5 ? 0 : cell % 6];
}

Bytes MakeBitmap(const SetImage& image, int index) {
  BitmapLayout layout;
  layout.width = image.width;
  layout.height = image.height;
  layout.bitCount = static_cast<std::uint16_t>(image.bitCount);
  layout.xPixelsPerMeter = 2835;
  layout.yPixelsPerMeter = 2835;
  for (int i = 0; image.bitCount == 8 && i < 256; ++i) {
    // A warm-to-cool ramp: the index order follows brightness.
    const auto red = static_cast<std::uint32_t>(std::min(255, i + 40));
    const auto green = static_cast<std::uint32_t>(i);
    const auto blue = static_cast<std::uint32_t>(255 - i / 2);
    layout.palette.push_back(red << 16 | green << 8 | blue);
  }
  const auto stride = static_cast<int>(StrideOf(image.width, static_cast<unsigned>(image.bitCount)));
  Noise noise(static_cast<std::uint32_t>(index * 7919 + 17));
  const double scale = 256.0 / image.width;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(stride));
  for (int r = 0; r < image.height; ++r) {
    const int y = image.height - 1 - r;  // rows are stored bottom first
    std::fill(row.begin(), row.end(), 0);
    for (int x = 0; x < image.width; ++x) {
      if (image.bitCount == 24) {
        std::uint8_t* p = row.data() + x * 3;
        if (image.photographic) {
          for (int c = 0; c < 3; ++c) p[2 - c] = Clamp(PhotoValue(x + index * 13, y, c, scale, noise));
        } else {
          const std::uint32_t color = FlatColor(x, y, index);
          p[0] = static_cast<std::uint8_t>(color);
          p[1] = static_cast<std::uint8_t>(color >> 8);
          p[2] = static_cast<std::uint8_t>(color >> 16);
        }
      } else if (image.photographic) {
        row[static_cast<std::size_t>(x)] = Clamp(PhotoValue(x, y + index * 31, 1, scale, noise));
      } else {
        row[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(FlatColor(x, y, index) % 251);
      }
    }
    layout.data.insert(layout.data.end(), row.begin(), row.end());
  }
  return BuildBitmap(layout);
}

// ---- The minimal libpng driver: what a plain program writes with the
// library's defaults, one row at a time. Input: the bitmaps made above.

struct MinimalImage {
  std::uint32_t width;
  std::uint32_t height;
  int bitCount;
  const std::uint8_t* bitmap;  // the whole file
  std::uint32_t offset;
  png_color* palette;
  png_bytep row;
};

bool MinimalWrite(std::FILE* file, const MinimalImage& image) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  const bool palette = image.bitCount == 8;
  png_set_IHDR(png, info, image.width, image.height, 8, palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (palette) png_set_PLTE(png, info, image.palette, 256);
  png_write_info(png, info);
  const std::uint32_t stride = (image.width * image.bitCount + 31) / 32 * 4;
  for (std::uint32_t i = 0; i < image.height; ++i) {
    const std::uint8_t* src = image.bitmap + image.offset + (image.height - 1 - i) * stride;
    if (palette) {
      std::copy(src, src + image.width, image.row);
    } else {
      for (std::uint32_t x = 0; x < image.width; ++x) {
        image.row[x * 3] = src[x * 3 + 2];
        image.row[x * 3 + 1] = src[x * 3 + 1];
        image.row[x * 3 + 2] = src[x * 3];
      }
    }
    png_write_row(png, image.row);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool MinimalConvert(const std::string& source, const std::string& destination) {
  std::ifstream in(source, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  auto u32 = [&](std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
  };
  MinimalImage image{u32(18), u32(22), bytes[28], bytes.data(), u32(10), nullptr, nullptr};
  std::vector<png_color> palette(256);
  for (int i = 0; i < 256 && image.bitCount == 8; ++i) {
    palette[static_cast<std::size_t>(i)] =
        png_color{bytes[54 + i * 4 + 2], bytes[54 + i * 4 + 1], bytes[54 + i * 4]};
  }
  std::vector<std::uint8_t> row(image.width * 3);
  image.palette = palette.data();
  image.row = row.data();
  std::FILE* file = std::fopen(destination.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = MinimalWrite(file, image);
  return std::fclose(file) == 0 && ok;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

struct Result {
  double seconds = 0;
  std::uintmax_t bytes = 0;
  bool ok = true;
};

// Runs one tool over the set `passes` times; the best pass counts.
Result Measure(const std::vector<std::string>& sources, const std::string& outFolder, int passes,
               const std::function<bool(const std::string&, const std::string&)>& convert) {
  Result result;
  result.seconds = 1e30;
  fs::create_directories(outFolder);
  for (int pass = 0; pass < passes; ++pass) {
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& source : sources) {
      const std::string out = outFolder + "/" + fs::path(source).stem().string() + ".png";
      if (!convert(source, out)) result.ok = false;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    result.seconds = std::min(result.seconds, elapsed.count());
  }
  result.bytes = 0;
  for (const auto& entry : fs::directory_iterator(outFolder)) result.bytes += entry.file_size();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  std::vector<SetImage> set;
  for (int i = 0; i < 20; ++i) set.push_back({"song" + std::to_string(i), 256, 256, 24, i % 2 == 0});
  for (int i = 0; i < 5; ++i) set.push_back({"stage" + std::to_string(i), 640, 480, 8, i % 2 == 0});
  for (int i = 0; i < 2; ++i) set.push_back({"back" + std::to_string(i), 1280, 720, 24, i == 0});

  const ScratchFolder scratch;
  const fs::path& root = scratch.path();
  fs::create_directories(root / "in");
  std::vector<std::string> sources;
  std::uintmax_t inputBytes = 0;
  for (std::size_t i = 0; i < set.size(); ++i) {
    const Bytes bitmap = MakeBitmap(set[i], static_cast<int>(i));
    const std::string path = (root / "in" / (set[i].name + ".bmp")).string();
    WriteBytes(path, bitmap);
    sources.push_back(path);
    inputBytes += bitmap.size();
  }
  std::printf("image set: %zu bitmaps, %.1f MiB; best of %d passes\n", sources.size(), inputBytes / 1048576.0,
              passes);

  const BmpToPngConverter converter;
  const Result ours =
      Measure(sources, (root / "ours").string(), passes,
              [&](const auto& in, const auto& out) { return converter.Convert(U16(in), U16(out)); });
  const Result minimal = Measure(sources, (root / "minimal").string(), passes, MinimalConvert);

  const char* override = std::getenv("HOSHIBAKO_CONVERT");
  const std::string convertCommand =
      override != nullptr
          ? override
          // Prefer ImageMagick's own binary: a wrapper of the same name may sit earlier on PATH.
          : (access("/usr/bin/convert", X_OK) == 0 ? "/usr/bin/convert" : "convert");
  const bool haveConvert = std::system((convertCommand + " -version > /dev/null 2>&1").c_str()) == 0;
  Result imagemagick;
  if (haveConvert) {
    imagemagick = Measure(sources, (root / "convert").string(), passes, [&](const auto& in, const auto& out) {
      return std::system((convertCommand + " " + Quoted(in) + " " + Quoted(out)).c_str()) == 0;
    });
  }

  std::printf("%-22s %10s %12s\n", "converter", "seconds", "bytes");
  std::printf("%-22s %10.3f %12ju%s\n", "BmpToPngConverter", ours.seconds, ours.bytes,
              ours.ok ? "" : "  (failures)");
  std::printf("%-22s %10.3f %12ju%s\n", "minimal libpng driver", minimal.seconds, minimal.bytes,
              minimal.ok ? "" : "  (failures)");
  if (haveConvert) {
    std::printf("%-22s %10.3f %12ju%s\n", convertCommand.c_str(), imagemagick.seconds, imagemagick.bytes,
                imagemagick.ok ? "" : "  (failures)");
  } else {
    std::printf("%-22s %10s\n", convertCommand.c_str(), "not installed");
  }

  bool pass = ours.ok;
  const double sizeRatio = minimal.bytes > 0 ? static_cast<double>(ours.bytes) / minimal.bytes : 0;
  const bool sizeOk = std::fabs(sizeRatio - 1) <= 0.02;
  std::printf("size against minimal driver: %+.2f %% (target within 2 %%): %s\n", (sizeRatio - 1) * 100,
              sizeOk ? "ok" : "MISSED");
  pass = pass && sizeOk;
  if (haveConvert) {
    const double timeRatio = ours.seconds / imagemagick.seconds;
    const bool timeOk = timeRatio <= 0.7;
    std::printf("time against convert: %.2f x (target at most 0.70 x): %s\n", timeRatio,
                timeOk ? "ok" : "MISSED");
    std::printf("minimal driver against convert: %.2f x\n", minimal.seconds / imagemagick.seconds);
    pass = pass && timeOk;
  }

  return pass ? 0 : 1;
}
