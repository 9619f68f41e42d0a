#include "bms/bmson.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "util/file_system.h"
#include "util/path.h"
#include "util/unicode.h"
#include "util/whole_file.h"

namespace {

// A chart larger than this is refused rather than read into memory; real
// charts stay far below it.
constexpr std::uint64_t kMaxChartBytes = std::uint64_t{256} << 20;
// Deeper nesting than any chart has; it bounds the scanner's recursion.
constexpr std::size_t kMaxDepth = 256;

// The most steps from the root to a file-naming field (bga.bga_header[].name).
constexpr std::size_t kMaxFieldDepth = 4;

// A field that names a file: its path from the document's root, where "[]"
// stands for any element of an array.
struct FieldRule {
  const char16_t* parts[kMaxFieldDepth];
  std::size_t partCount;
  const char16_t* name;
  ReferenceKind kind;
};

const FieldRule kFieldRules[] = {
    {{u"sound_channels", u"[]", u"name"}, 3, u"sound_channels[].name", ReferenceKind::Sound},
    {{u"bga", u"bga_header", u"[]", u"name"}, 4, u"bga.bga_header[].name", ReferenceKind::BgaImage},
    {{u"info", u"back_image"}, 2, u"info.back_image", ReferenceKind::ExactImage},
    {{u"info", u"eyecatch_image"}, 2, u"info.eyecatch_image", ReferenceKind::ExactImage},
    {{u"info", u"banner_image"}, 2, u"info.banner_image", ReferenceKind::ExactImage},
    {{u"info", u"title_image"}, 2, u"info.title_image", ReferenceKind::ExactImage},
    {{u"info", u"preview_music"}, 2, u"info.preview_music", ReferenceKind::PreviewSound},
    {{u"key_channels", u"[]", u"name"}, 3, u"key_channels[].name", ReferenceKind::Sound},
    {{u"mine_channels", u"[]", u"name"}, 3, u"mine_channels[].name", ReferenceKind::Sound},
};

// One step of the path to a value: an object member or an array element.
struct PathSegment {
  bool isIndex = false;
  std::u16string key;
  std::size_t index = 0;
};

// A string value at a file-naming field, decoded, with the byte position in
// the document where each of its UTF-16 units was written.
struct FoundValue {
  const FieldRule* rule = nullptr;
  std::u16string path;
  std::u16string value;
  std::vector<std::size_t> unitOffsets;
  std::size_t end = 0;  // the position of the closing quotation mark
};

bool IsHexDigit(char c, unsigned& digit) {
  if (c >= '0' && c <= '9') {
    digit = static_cast<unsigned>(c - '0');
  } else if (c >= 'a' && c <= 'f') {
    digit = static_cast<unsigned>(c - 'a' + 10);
  } else if (c >= 'A' && c <= 'F') {
    digit = static_cast<unsigned>(c - 'A' + 10);
  } else {
    return false;
  }
  return true;
}

// A strict JSON scanner (RFC 8259 grammar) that copies nothing: it checks
// the document and collects the string values of the file-naming fields.
// Bytes inside strings that are not UTF-8 are let through, as JSON readers
// of charts commonly replace them, and decode to U+FFFD here; the structure
// itself leaves nothing to guess, so any error refuses the whole document.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  bool Scan(std::vector<FoundValue>& found) {
    found_ = &found;
    // A byte-order mark, as some editors write, comes before the document.
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    SkipWhitespace();
    if (!Value(0)) return false;
    SkipWhitespace();
    return pos_ == text_.size();
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return text_[pos_]; }

  void SkipWhitespace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++pos_;
  }

  bool Value(std::size_t depth) {
    if (AtEnd()) return false;
    switch (Peek()) {
      case '{':
        return Object(depth + 1);
      case '[':
        return Array(depth + 1);
      case '"':
        return StringValue();
      case 't':
        return Literal("true");
      case 'f':
        return Literal("false");
      case 'n':
        return Literal("null");
      default:
        return Number();
    }
  }

  bool Object(std::size_t depth) {
    if (depth > kMaxDepth) return false;
    ++pos_;
    SkipWhitespace();
    if (!AtEnd() && Peek() == '}') {
      ++pos_;
      return true;
    }
    while (true) {
      if (AtEnd() || Peek() != '"') return false;
      PathSegment segment;
      // Keys deeper than the deepest field (the notes' x, y, l, c) decide
      // nothing, so only the shallow ones are decoded.
      if (!String(path_.size() < kMaxFieldDepth ? &segment.key : nullptr, nullptr)) return false;
      SkipWhitespace();
      if (AtEnd() || Peek() != ':') return false;
      ++pos_;
      SkipWhitespace();
      path_.push_back(std::move(segment));
      if (!Value(depth)) return false;
      path_.pop_back();
      SkipWhitespace();
      if (AtEnd()) return false;
      if (Peek() == '}') {
        ++pos_;
        return true;
      }
      if (Peek() != ',') return false;
      ++pos_;
      SkipWhitespace();
    }
  }

  bool Array(std::size_t depth) {
    if (depth > kMaxDepth) return false;
    ++pos_;
    SkipWhitespace();
    if (!AtEnd() && Peek() == ']') {
      ++pos_;
      return true;
    }
    PathSegment segment;
    segment.isIndex = true;
    path_.push_back(segment);
    while (true) {
      if (!Value(depth)) return false;
      SkipWhitespace();
      if (AtEnd()) return false;
      if (Peek() == ']') {
        ++pos_;
        path_.pop_back();
        return true;
      }
      if (Peek() != ',') return false;
      ++pos_;
      SkipWhitespace();
      ++path_.back().index;
    }
  }

  bool StringValue() {
    const FieldRule* rule = MatchingRule();
    if (rule == nullptr) return String(nullptr, nullptr);
    FoundValue value;
    value.rule = rule;
    value.path = PathText();
    if (!String(&value.value, &value.unitOffsets)) return false;
    value.end = pos_ - 1;
    found_->push_back(std::move(value));
    return true;
  }

  const FieldRule* MatchingRule() const {
    for (const FieldRule& rule : kFieldRules) {
      if (rule.partCount != path_.size()) continue;
      bool matches = true;
      for (std::size_t i = 0; i < rule.partCount && matches; ++i) {
        const std::u16string_view part = rule.parts[i];
        matches = part == u"[]" ? path_[i].isIndex : !path_[i].isIndex && path_[i].key == part;
      }
      if (matches) return &rule;
    }
    return nullptr;
  }

  std::u16string PathText() const {
    std::u16string text;
    for (const PathSegment& segment : path_) {
      if (segment.isIndex) {
        const std::string digits = std::to_string(segment.index);
        text += u'[';
        text.append(digits.begin(), digits.end());
        text += u']';
      } else {
        if (!text.empty()) text += u'.';
        text += segment.key;
      }
    }
    return text;
  }

  // A string from its opening quotation mark, decoded into `out` (when
  // given) with the position each unit was written at (when given).
  bool String(std::u16string* out, std::vector<std::size_t>* offsets) {
    ++pos_;
    const auto emit = [&](char32_t point, std::size_t at) {
      if (out == nullptr) return;
      const std::size_t units = AppendUtf16(*out, point);
      if (offsets != nullptr) offsets->insert(offsets->end(), units, at);
    };
    while (!AtEnd()) {
      const std::size_t start = pos_;
      const auto c = static_cast<unsigned char>(Peek());
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c < 0x20) return false;
      if (c == '\\') {
        if (text_.size() - pos_ < 2) return false;
        const char escape = text_[pos_ + 1];
        pos_ += 2;
        switch (escape) {
          case '"':
          case '\\':
          case '/':
            emit(static_cast<char32_t>(escape), start);
            break;
          case 'b':
            emit(u'\b', start);
            break;
          case 'f':
            emit(u'\f', start);
            break;
          case 'n':
            emit(u'\n', start);
            break;
          case 'r':
            emit(u'\r', start);
            break;
          case 't':
            emit(u'\t', start);
            break;
          case 'u': {
            // Each \uXXXX is one UTF-16 unit, surrogate halves included.
            if (text_.size() - pos_ < 4) return false;
            unsigned unit = 0;
            for (std::size_t i = 0; i < 4; ++i) {
              unsigned digit = 0;
              if (!IsHexDigit(text_[pos_ + i], digit)) return false;
              unit = unit * 16 + digit;
            }
            pos_ += 4;
            emit(static_cast<char32_t>(unit), start);
            break;
          }
          default:
            return false;
        }
      } else if (c < 0x80) {
        emit(c, start);
        ++pos_;
      } else {
        char32_t point = 0;
        const std::size_t length = Utf8SequenceAt(text_, pos_, point);
        emit(length == 0 ? U'\uFFFD' : point, start);
        pos_ += length == 0 ? 1 : length;
      }
    }
    return false;
  }

  bool Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
  bool Number() {
    const auto digits = [&] {
      const std::size_t start = pos_;
      while (!AtEnd() && Peek() >= '0' && Peek() <= '9') ++pos_;
      return pos_ > start;
    };
    if (!AtEnd() && Peek() == '-') ++pos_;
    if (AtEnd()) return false;
    if (Peek() == '0') {
      ++pos_;
    } else if (!digits()) {
      return false;
    }
    if (!AtEnd() && Peek() == '.') {
      ++pos_;
      if (!digits()) return false;
    }
    if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
      ++pos_;
      if (!AtEnd() && (Peek() == '+' || Peek() == '-')) ++pos_;
      if (!digits()) return false;
    }
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::vector<PathSegment> path_;
  std::vector<FoundValue>* found_ = nullptr;
};

// The rewrite of a scanned chart, handed to `write` piece by piece: the
// unchanged spans straight from the document, so the chart is never held
// twice. False when `write` fails.
template <typename Write>
bool WriteRewritten(std::string_view json, const std::vector<FoundValue>& found,
                    const ReferenceRenaming& renaming, Write write) {
  std::size_t copied = 0;
  for (const FoundValue& value : found) {
    std::size_t trimmed = 0;
    const Conversion* row = renaming.RenamedBy(value.value, value.rule->kind, trimmed);
    if (row == nullptr) continue;
    // Only the extension is replaced, from the position its dot was written
    // at to the first trailing blank (or the closing quotation mark);
    // escapes before it and the blanks after it stay as written.
    const std::size_t extensionUnits = FindExtension(value.value.substr(0, trimmed)).size();
    const std::size_t cut = value.unitOffsets[trimmed - extensionUnits];
    const std::size_t resume = trimmed == value.value.size() ? value.end : value.unitOffsets[trimmed];
    const std::string extension(row->outputExtension.begin(), row->outputExtension.end());
    if (!write(json.substr(copied, cut - copied)) || !write(extension)) return false;
    copied = resume;
  }
  return write(json.substr(copied));
}

}  // namespace

bool RewriteBmsonText(std::string_view json, const ReferenceRenaming& renaming, std::string& out) {
  std::vector<FoundValue> found;
  if (!Scanner(json).Scan(found)) return false;
  std::string rewritten;
  rewritten.reserve(json.size());
  WriteRewritten(json, found, renaming, [&rewritten](std::string_view piece) {
    rewritten += piece;
    return true;
  });
  out = std::move(rewritten);
  return true;
}

bool ListBmsonReferences(std::string_view json, std::vector<ChartReference>& references) {
  std::vector<FoundValue> found;
  if (!Scanner(json).Scan(found)) return false;
  for (FoundValue& value : found) {
    ChartReference reference;
    reference.jsonPath = std::move(value.path);
    reference.command = value.rule->name;
    reference.value = std::move(value.value);
    reference.kind = value.rule->kind;
    references.push_back(std::move(reference));
  }
  return true;
}

bool ListBmsonFileReferences(const std::u16string& path, std::vector<ChartReference>& references) {
  std::string bytes;
  return ReadWholeFile(path, kMaxChartBytes, bytes) && ListBmsonReferences(bytes, references);
}

bool BmsonRewriter::Rewrite(const std::u16string& source, const std::u16string& destination) const {
  if (!renaming.Any()) return CopyFileOverwrite(source, destination);
  std::string bytes;
  std::vector<FoundValue> found;
  if (!ReadWholeFile(source, kMaxChartBytes, bytes) || !Scanner(bytes).Scan(found)) return false;
  std::FILE* file = OpenFile(destination, "wb");
  if (file == nullptr) return false;
  bool ok = WriteRewritten(bytes, found, renaming, [file](std::string_view piece) {
    return std::fwrite(piece.data(), 1, piece.size(), file) == piece.size();
  });
  ok = std::fflush(file) == 0 && ok;
  return std::fclose(file) == 0 && ok;
}
