#pragma once

#include <cstddef>
#include <cstdio>
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
  TextFile();
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Opens the file under its code page 932 name. Read needs an existing
  // file; Write empties or creates it; Append keeps it and writes at its end.
  // Fails when a character of the path has no code page 932 form.
  bool Open(const std::u16string& path, TextFileMode mode);
  bool IsOpen() const;

  // The next line without its line end. False only when not a single byte
  // could be read before the end of the input (which also sets Failed()).
  bool ReadLine(std::u16string& line);
  // The bytes of the line last read, without its line end.
  const std::string& LineBytes() const;

  // The text and CR LF, then a flush. A character without a code page 932
  // form, or a failing write, sets Failed() and nothing more is written.
  void WriteLine(const std::u16string& text);
  // The bytes exactly as given and CR LF, then a flush.
  void WriteLineBytes(const std::string& bytes);
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
  bool FillBuffer();
  void WriteBytes(const std::string& bytes, bool flush);

  std::FILE* file_ = nullptr;
  TextFileMode mode_ = TextFileMode::Read;
  bool failed_ = false;
  bool inputEnded_ = false;
  bool readError_ = false;
  std::string lineBytes_;
  std::string buffer_;
  std::size_t bufferPosition_ = 0;
};
