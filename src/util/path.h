#pragma once

#include <cstddef>
#include <string>

// Path helpers. Paths are UTF-16 text; folders are separated by the platform
// separator (kPathSeparator). Script values may also use the backslash, which
// ends an extension candidate everywhere.

#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// The code page 932 byte form of a path, under which files are opened and
// folders are created.
using NarrowPath = std::string;

// The length of the path's root, the leading part that names no folder: the
// leading slashes on POSIX; on Windows a drive ("C:", "C:\"), a network share
// ("\\server\share\"), the long-path prefix with its drive ("\\?\C:\") or
// leading separators, either slash counting. 0 for a relative path, one that
// starts at the current folder.
std::size_t PathRootLength(const std::u16string& path);

// Folder and name joined by exactly one separator; "." and ".." components of
// the result are resolved; an empty folder yields the name alone.
std::u16string CombinePath(const std::u16string& folder, const std::u16string& name);

// The path with one trailing separator, unless it already has one or is empty.
std::u16string AddBackslash(const std::u16string& path);

// The path's extension from its last surviving dot, letter case preserved. A
// separator (the platform's or a backslash) or a space after a dot discards it.
std::u16string FindExtension(const std::u16string& path);

// True when the lower-cased extension equals `extension` exactly
// (callers pass it lower-case, dot included).
bool HasExtension(const std::u16string& path, const std::u16string& extension);

// The path with its extension replaced by `extension` (a dot is put in front
// when missing; an empty extension just removes it).
std::u16string ChangeExtension(const std::u16string& path, const std::u16string& extension);

// Whole-component prefix test on the texts as they stand, letters compared
// without regard to case: true when `path` is `prefix` or lies below it.
bool PathIsPrefix(const std::u16string& prefix, const std::u16string& path);

// The code page 932 form of the path, or empty when a character has none.
NarrowPath ToNarrowPath(const std::u16string& path);
