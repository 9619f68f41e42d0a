#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

// A code page 932 text file with CR LF line ends, read and written as UTF-16
// lines. Used for the song scripts and for the run log.
//
// The byte translation of a text-mode stream is done here rather than left to
// the C library, so it is the same on every platform: CR LF reads as LF, a
// byte 0x1A ends the input for good, and LF is written as CR LF. No byte-order
// mark is written or recognised.
//
// Bytes that form no code page 932 character are decoded to escape units
// (see util/cp932.h) that encode back to the same bytes, so a script in
// another encoding still passes through unharmed.

enum class TextFileMode { Read, Write, Append };

class TextFile {
 public:
  // The longest line read in one piece. A longer line (a file without line
  // feeds, or a device that never ends) comes in pieces of this many bytes,
  // so the memory a read needs does not grow with the line.
  static constexpr std::size_t kMaxLineBytes = 1024 * 1024;

  // Another piece size (at least 1 byte) may be given; scripts and the log
  // use the default.
  explicit TextFile(std::size_t maxLineBytes = kMaxLineBytes);
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Opens the file through the file layer, under any name the file system
  // holds. Read needs an existing file; Write empties or creates it; Append
  // keeps it and writes at its end.
  bool Open(const std::u16string& path, TextFileMode mode);
  bool IsOpen() const;

  // The next line without its line end. False only when not a single byte
  // could be read before the end of the input (which also sets Failed()).
  // A line longer than the piece size is returned piece by piece: each piece
  // but the last has LineContinues() set. The text of a piece is left empty
  // (a cut may fall inside a double-byte character); its bytes are in
  // LineBytes(), and joined they are the line's bytes.
  bool ReadLine(std::u16string& line);
  // The bytes of the line (or piece) last read, without its line end.
  const std::string& LineBytes() const;
  // True when the last read stopped at the piece size inside a line: the
  // next read goes on with the same line.
  bool LineContinues() const;

  // The text and CR LF, then a flush. A character without a code page 932
  // form, or a failing write, sets Failed() and nothing more is written.
  void WriteLine(const std::u16string& text);
  // The bytes exactly as given and CR LF, then a flush.
  void WriteLineBytes(const std::string& bytes);
  // The bytes exactly as given, without a line end and without a flush:
  // for a line that is written piece by piece.
  void WriteBytes(const std::string& bytes);
  // The text without a line end and without a flush; LF inside becomes CR LF.
  void WriteText(const std::u16string& text);

  // Set when a write failed or when reading found no more input; never
  // cleared until the next Open.
  bool Failed() const;
  // True when reading stopped because the file could not be read, not
  // because its input ended. A copy that stops there is incomplete.
  bool ReadError() const;
  // Flushes and closes; errors here are not reported.
  void Close();

 private:
  bool FillBlock();
  void Write(const std::string& bytes, bool flush);

  std::FILE* file_ = nullptr;
  TextFileMode mode_ = TextFileMode::Read;
  bool failed_ = false;
  bool inputEnded_ = false;
  bool readError_ = false;
  bool lineContinues_ = false;
  std::string lineBytes_;
  std::size_t maxLineBytes_;
  // The read block: allocated on the first read and never cleared, so a
  // short script costs neither a 64 KiB fill nor its pages.
  std::unique_ptr<char[]> block_;
  std::size_t blockSize_ = 0;
  std::size_t blockPosition_ = 0;
};
