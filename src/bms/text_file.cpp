#include "bms/text_file.h"

#include "util/cp932.h"
#include "util/file_system.h"

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

TextFile::TextFile(std::size_t maxLineBytes) : maxLineBytes_(maxLineBytes == 0 ? 1 : maxLineBytes) {}

TextFile::~TextFile() { Close(); }

bool TextFile::Open(const std::u16string& path, TextFileMode mode) {
  Close();
  mode_ = mode;
  failed_ = false;
  inputEnded_ = false;
  readError_ = false;
  lineContinues_ = false;
  lineBytes_.clear();
  blockSize_ = 0;
  blockPosition_ = 0;
  // Binary modes: the line-end translation is done here, identically on
  // every platform.
  const char* openMode = mode == TextFileMode::Read ? "rb" : mode == TextFileMode::Write ? "wb" : "ab";
  file_ = OpenFile(path, openMode);
  return file_ != nullptr;
}

bool TextFile::IsOpen() const { return file_ != nullptr; }

bool TextFile::FillBlock() {
  if (block_ == nullptr) block_ = std::make_unique_for_overwrite<char[]>(kReadBlockSize);
  const std::size_t count = std::fread(block_.get(), 1, kReadBlockSize, file_);
  blockSize_ = count;
  blockPosition_ = 0;
  if (count == 0 && std::ferror(file_) != 0) readError_ = true;
  return count != 0;
}

bool TextFile::ReadLine(std::u16string& line) {
  lineBytes_.clear();
  const bool continuation = lineContinues_;
  lineContinues_ = false;
  if (file_ == nullptr || mode_ != TextFileMode::Read || inputEnded_) {
    failed_ = true;
    return false;
  }
  bool endedByLineFeed = false;
  while (true) {
    if (blockPosition_ == blockSize_ && !FillBlock()) {
      inputEnded_ = true;
      break;
    }
    const char* begin = block_.get() + blockPosition_;
    const std::size_t available = blockSize_ - blockPosition_;
    const std::size_t room = maxLineBytes_ - lineBytes_.size();
    std::size_t length = 0;
    while (length < available && length < room && begin[length] != '\n' && begin[length] != kEndOfFileMark) {
      ++length;
    }
    lineBytes_.append(begin, length);
    blockPosition_ += length;
    if (length == available) continue;
    if (begin[length] == kEndOfFileMark) {
      // Nothing at or after the mark is ever read.
      inputEnded_ = true;
      blockPosition_ = blockSize_;
      break;
    }
    if (begin[length] == '\n') {
      ++blockPosition_;
      endedByLineFeed = true;
      break;
    }
    // The piece is full and the byte after it belongs to the same line. It
    // is neither LF nor the end mark, so a CR at the end of the piece is an
    // ordinary character and not half of a line end.
    lineContinues_ = true;
    break;
  }
  if (lineBytes_.empty() && !endedByLineFeed) {
    failed_ = true;
    return false;
  }
  // CR LF is one line end; a CR anywhere else is an ordinary character.
  if (endedByLineFeed && !lineBytes_.empty() && lineBytes_.back() == '\r') lineBytes_.pop_back();
  if (continuation || lineContinues_) {
    // A piece is no text of its own; its reader takes the bytes.
    line.clear();
  } else {
    Cp932ToUtf16(lineBytes_, line, /*escapeInvalid=*/true);
  }
  return true;
}

const std::string& TextFile::LineBytes() const { return lineBytes_; }

bool TextFile::LineContinues() const { return lineContinues_; }

void TextFile::Write(const std::string& bytes, bool flush) {
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
  Write(bytes, /*flush=*/true);
}

void TextFile::WriteLineBytes(const std::string& bytes) { Write(bytes + "\r\n", /*flush=*/true); }

void TextFile::WriteBytes(const std::string& bytes) { Write(bytes, /*flush=*/false); }

void TextFile::WriteText(const std::u16string& text) {
  std::string bytes;
  if (!EncodeText(text, bytes)) {
    failed_ = true;
    return;
  }
  Write(bytes, /*flush=*/false);
}

bool TextFile::Failed() const { return failed_; }

bool TextFile::ReadError() const { return readError_; }

void TextFile::Close() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
}
