#include "job_test_support.h"

#include <cstring>
#include <fstream>
#include <random>

#include "job/messages.h"
#include "util/unicode.h"

namespace jobtest {

namespace {

void PutLe16(std::string& out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

void PutLe32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

}  // namespace

TempFolder::TempFolder() {
  std::random_device random;
  std::error_code error;
  const std::filesystem::path base = std::filesystem::temp_directory_path(error);
  for (;;) {
    path_ = base / ("hoshibako-job-" + std::to_string(random()));
    if (std::filesystem::create_directory(path_, error)) break;
  }
}

TempFolder::~TempFolder() {
  std::error_code error;
  // Tests may leave read-only entries behind; make the tree removable first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (!it->is_symlink()) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, error);
    }
  }
  std::filesystem::remove_all(path_, error);
}

std::u16string TempFolder::Text(const std::string& relative) const {
  return relative.empty() ? ToText(path_) : ToText(path_ / Utf8Path(relative));
}

std::u16string ToText(const std::filesystem::path& path) {
#ifdef _WIN32
  std::filesystem::path preferred = path;
  preferred.make_preferred();
  return preferred.u16string();
#else
  return Utf8ToUtf16(path.string());
#endif
}

std::filesystem::path Utf8Path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool StartsWith(const std::string& bytes, const std::string& prefix) {
  return bytes.size() >= prefix.size() && bytes.compare(0, prefix.size(), prefix) == 0;
}

std::string WavBytes(std::uint32_t sampleRate, std::uint16_t bitsPerSample, std::uint32_t frames,
                     std::uint16_t formatTag) {
  const std::uint16_t channels = 1;
  const bool pcm = formatTag == 1 || formatTag == 3;
  // Compressed layouts get blocks of raw bytes: their readers refuse them
  // before looking at the data.
  const std::uint16_t blockAlign = pcm ? static_cast<std::uint16_t>(channels * bitsPerSample / 8) : 256;
  const std::uint32_t dataSize = pcm ? frames * blockAlign : blockAlign;
  std::string out = "RIFF";
  PutLe32(out, 36 + dataSize);
  out += "WAVEfmt ";
  PutLe32(out, 16);
  PutLe16(out, formatTag);
  PutLe16(out, channels);
  PutLe32(out, sampleRate);
  PutLe32(out, sampleRate * blockAlign);
  PutLe16(out, blockAlign);
  PutLe16(out, bitsPerSample);
  out += "data";
  PutLe32(out, dataSize);
  if (!pcm) return out + std::string(dataSize, '\x11');
  // A triangle wave: enough signal for the encoder.
  for (std::uint32_t i = 0; i < frames; ++i) {
    const int phase = static_cast<int>(i % 64);
    const int level = phase < 32 ? phase - 16 : 48 - phase;  // -16..16
    if (formatTag == 3) {
      const float sample = static_cast<float>(level) / 20.0f;
      std::uint32_t bits;
      std::memcpy(&bits, &sample, sizeof bits);
      PutLe32(out, bits);
    } else if (bitsPerSample == 8) {
      out += static_cast<char>(128 + level * 6);
    } else if (bitsPerSample == 24) {
      const std::uint32_t value = static_cast<std::uint32_t>(level * 1500 * 256);
      out += static_cast<char>(value & 0xFF);
      out += static_cast<char>((value >> 8) & 0xFF);
      out += static_cast<char>((value >> 16) & 0xFF);
    } else {
      PutLe16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(level * 1500)));
    }
  }
  return out;
}

std::string BmpBytes(std::int32_t width, std::int32_t height) {
  const std::uint32_t rowSize = static_cast<std::uint32_t>((width * 3 + 3) / 4 * 4);
  const std::uint32_t imageSize = rowSize * static_cast<std::uint32_t>(height);
  std::string out = "BM";
  PutLe32(out, 54 + imageSize);
  PutLe32(out, 0);
  PutLe32(out, 54);
  PutLe32(out, 40);
  PutLe32(out, static_cast<std::uint32_t>(width));
  PutLe32(out, static_cast<std::uint32_t>(height));
  PutLe16(out, 1);
  PutLe16(out, 24);
  PutLe32(out, 0);
  PutLe32(out, imageSize);
  PutLe32(out, 2835);
  PutLe32(out, 2835);
  PutLe32(out, 0);
  PutLe32(out, 0);
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint32_t written = 0;
    for (std::int32_t x = 0; x < width; ++x) {
      out += static_cast<char>(x * 40);
      out += static_cast<char>(y * 60);
      out += static_cast<char>(200);
      written += 3;
    }
    for (; written < rowSize; ++written) out += '\0';
  }
  return out;
}

std::intptr_t RecordingTarget::SendToDialog(std::uint32_t message, std::uintptr_t wParam,
                                            std::intptr_t lParam) {
  Record record{message, wParam, u""};
  if (message == MSG_FOLDER_TEXT || message == MSG_FILE_TEXT) record.text = *TakeTextParam(lParam);
  if (message == MSG_PREPARE_PROGRESS) job_.PrepareProgress();
  if (cancelMessage_ == message && cancelText_ == record.text) job_.cancelRequested = true;
  records.push_back(std::move(record));
  return 0;
}

void RecordingTarget::PostToDialog(std::uint32_t message, std::uintptr_t wParam, std::intptr_t) {
  records.push_back(Record{message, wParam, u""});
}

std::vector<std::uintptr_t> RecordingTarget::Positions() const {
  std::vector<std::uintptr_t> positions;
  for (const Record& record : records) {
    if (record.message == MSG_FOLDER_POSITION) positions.push_back(record.wParam);
  }
  return positions;
}

std::vector<std::u16string> RecordingTarget::Texts(std::uint32_t message) const {
  std::vector<std::u16string> texts;
  for (const Record& record : records) {
    if (record.message == message) texts.push_back(record.text);
  }
  return texts;
}

}  // namespace jobtest
