#include "util/path.h"

#include <vector>

#include "util/case_map.h"
#include "util/cp932.h"

namespace {

bool IsSeparator(char16_t c) { return c == kPathSeparator; }

// True when some component may be "." or "..". Most paths have none, and a
// deep path is then returned as it is instead of being split into its many
// components. A dot after a colon counts too, for a drive-relative "C:.".
bool MayHaveDotComponent(const std::u16string& path) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] != u'.' || (i > 0 && !IsSeparator(path[i - 1]) && path[i - 1] != u':')) continue;
    std::size_t end = i + 1;
    if (end < path.size() && path[end] == u'.') ++end;
    if (end == path.size() || IsSeparator(path[end])) return true;
  }
  return false;
}

// Drops "." components and lets ".." remove the component before it, the way
// the shell's path combination canonicalises its result. Separators and the
// root are kept as they are.
std::u16string ResolveDots(const std::u16string& path) {
  if (!MayHaveDotComponent(path)) return path;
  const std::size_t rootLength = PathRootLength(path);
  std::vector<std::u16string> parts;
  std::size_t start = rootLength;
  bool changed = false;
  while (start <= path.size()) {
    std::size_t end = path.find(kPathSeparator, start);
    if (end == std::u16string::npos) end = path.size();
    std::u16string part = path.substr(start, end - start);
    if (part == u".") {
      changed = true;
    } else if (part == u"..") {
      changed = true;
      // A relative path keeps the ".." that climbs above its start; at the
      // root there is nothing above.
      if (!parts.empty() && parts.back() != u"..") {
        parts.pop_back();
      } else if (rootLength == 0) {
        parts.push_back(part);
      }
    } else {
      parts.push_back(std::move(part));
    }
    start = end + 1;
  }
  if (!changed) return path;
  std::u16string out = path.substr(0, rootLength);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += kPathSeparator;
    out += parts[i];
  }
  return out;
}

// Position of the extension's dot, or npos. A dot is a candidate until a
// separator or a space follows it. The backslash always ends a candidate,
// because script values name files with it whatever the platform.
std::size_t ExtensionPosition(const std::u16string& path) {
  std::size_t dot = std::u16string::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char16_t c = path[i];
    if (c == u'.') {
      dot = i;
    } else if (c == u'\\' || c == kPathSeparator || c == u' ') {
      dot = std::u16string::npos;
    }
  }
  return dot;
}

}  // namespace

std::size_t PathRootLength(const std::u16string& path) {
#ifdef _WIN32
  // The system reads either slash as a separator here, whatever the rest of
  // the path uses.
  const auto isSlash = [](char16_t c) { return c == u'\\' || c == u'/'; };
  std::size_t i = 0;
  if (path.rfind(u"\\\\?\\", 0) == 0) i = 4;
  if (path.size() >= i + 2 && path[i + 1] == u':') {
    i += 2;
  } else if (i == 0 && path.size() >= 2 && isSlash(path[0]) && isSlash(path[1])) {
    // A network share: the server and share names are no folders either.
    i = 2;
    for (int component = 0; component < 2; ++component) {
      while (i < path.size() && !isSlash(path[i])) ++i;
      if (component == 0 && i < path.size()) ++i;
    }
  }
  while (i < path.size() && isSlash(path[i])) ++i;
  return i;
#else
  std::size_t i = 0;
  while (i < path.size() && path[i] == u'/') ++i;
  return i;
#endif
}

std::u16string CombinePath(const std::u16string& folder, const std::u16string& name) {
  if (folder.empty()) return ResolveDots(name);
  if (!name.empty() && IsSeparator(name[0])) return ResolveDots(name);
  std::u16string joined = folder;
  if (!IsSeparator(joined.back())) joined += kPathSeparator;
  joined += name;
  return ResolveDots(joined);
}

std::u16string AddBackslash(const std::u16string& path) {
  if (path.empty() || IsSeparator(path.back())) return path;
  return path + kPathSeparator;
}

std::u16string FindExtension(const std::u16string& path) {
  const std::size_t dot = ExtensionPosition(path);
  return dot == std::u16string::npos ? std::u16string() : path.substr(dot);
}

bool HasExtension(const std::u16string& path, const std::u16string& extension) {
  return ToLower(FindExtension(path)) == extension;
}

std::u16string ChangeExtension(const std::u16string& path, const std::u16string& extension) {
  const std::size_t dot = ExtensionPosition(path);
  std::u16string out(path, 0, dot == std::u16string::npos ? path.size() : dot);
  if (!extension.empty()) {
    if (extension[0] != u'.') out += u'.';
    out.append(extension);
  }
  return out;
}

bool PathIsPrefix(const std::u16string& prefix, const std::u16string& path) {
  if (prefix.empty() || path.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (ToLowerUnit(prefix[i]) != ToLowerUnit(path[i])) return false;
  }
  return path.size() == prefix.size() || path[prefix.size()] == kPathSeparator ||
         prefix.back() == kPathSeparator;
}

NarrowPath ToNarrowPath(const std::u16string& path) {
  NarrowPath narrow;
  if (!Utf16ToCp932(path, narrow, /*allowEscapes=*/false)) return NarrowPath();
  return narrow;
}
