#include "bms/text_file.h"

#include "util/cp932.h"
#include "util/file_system.h"
#include "util/path.h"

namespace {

// Scripts are read in blocks of this size; lines are cut out of the block.
constexpr std::size_t kReadBlockSize = 64 * 1024;

// The byte that ends a text file for good (the old DOS end-of-file mark).
constexpr char kEndOfFileMark = '\x1A';

// Encodes to code page 932 and turns every LF into CR LF. Escape units go
// back to the bytes they were read from.
bool EncodeText(const std::u16string& text, std::string& out) {
  std::string bytes;
  if (!Utf16ToCp932(text, bytes, /*allowEscapes=*/true)) return false;
  out.clear();
  out.reserve(bytes.size() + 2);
  for (const char c : bytes) {
    // 0x0A is never the second byte of a double-byte character, so every LF
    // byte here is a real line end.
    if (c == '\n') out += '\r';
    out += c;
  }
  return true;
}

}  // namespace

TextFile::TextFile() = default;

TextFile::~TextFile() { Close(); }

bool TextFile::Open(const std::u16string& path, TextFileMode mode) {
  Close();
  mode_ = mode;
  failed_ = false;
  inputEnded_ = false;
  readError_ = false;
  lineBytes_.clear();
  buffer_.clear();
  bufferPosition_ = 0;
  // Binary modes: the line-end translation is done here, identically on
  // every platform.
  const char* openMode = mode == TextFileMode::Read ? "rb" : mode == TextFileMode::Write ? "wb" : "ab";
  file_ = OpenFile(path, openMode);
  return file_ != nullptr;
}

bool TextFile::IsOpen() const { return file_ != nullptr; }

bool TextFile::FillBuffer() {
  buffer_.resize(kReadBlockSize);
  const std::size_t count = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  buffer_.resize(count);
  bufferPosition_ = 0;
  if (count == 0 && std::ferror(file_) != 0) readError_ = true;
  return count != 0;
}

bool TextFile::ReadLine(std::u16string& line) {
  lineBytes_.clear();
  if (file_ == nullptr || mode_ != TextFileMode::Read || inputEnded_) {
    failed_ = true;
    return false;
  }
  bool readAnything = false;
  bool endedByLineFeed = false;
  while (true) {
    if (bufferPosition_ == buffer_.size() && !FillBuffer()) {
      inputEnded_ = true;
      break;
    }
    const char* begin = buffer_.data() + bufferPosition_;
    const std::size_t available = buffer_.size() - bufferPosition_;
    std::size_t length = 0;
    while (length < available && begin[length] != '\n' && begin[length] != kEndOfFileMark) ++length;
    lineBytes_.append(begin, length);
    if (length != 0) readAnything = true;
    if (length == available) {
      bufferPosition_ = buffer_.size();
      continue;
    }
    if (begin[length] == kEndOfFileMark) {
      // Nothing at or after the mark is ever read.
      inputEnded_ = true;
      bufferPosition_ = buffer_.size();
      break;
    }
    bufferPosition_ += length + 1;
    endedByLineFeed = true;
    break;
  }
  if (!readAnything && !endedByLineFeed) {
    failed_ = true;
    return false;
  }
  // CR LF is one line end; a CR anywhere else is an ordinary character.
  if (endedByLineFeed && !lineBytes_.empty() && lineBytes_.back() == '\r') lineBytes_.pop_back();
  Cp932ToUtf16(lineBytes_, line, /*escapeInvalid=*/true);
  return true;
}

const std::string& TextFile::LineBytes() const { return lineBytes_; }

void TextFile::WriteBytes(const std::string& bytes, bool flush) {
  if (failed_) return;
  if (file_ == nullptr || mode_ == TextFileMode::Read) {
    failed_ = true;
    return;
  }
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    failed_ = true;
    return;
  }
  if (flush && std::fflush(file_) != 0) failed_ = true;
}

void TextFile::WriteLine(const std::u16string& text) {
  std::string bytes;
  if (!EncodeText(text, bytes)) {
    failed_ = true;
    return;
  }
  bytes += "\r\n";
  WriteBytes(bytes, /*flush=*/true);
}

void TextFile::WriteLineBytes(const std::string& bytes) { WriteBytes(bytes + "\r\n", /*flush=*/true); }

void TextFile::WriteText(const std::u16string& text) {
  std::string bytes;
  if (!EncodeText(text, bytes)) {
    failed_ = true;
    return;
  }
  WriteBytes(bytes, /*flush=*/false);
}

bool TextFile::Failed() const { return failed_; }

bool TextFile::ReadError() const { return readError_; }

void TextFile::Close() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
}
