#pragma once

// What file_system.cpp asks of the platform files beyond the public
// operations: random bytes, exclusive creation and the per-run lock files.
// Private to the util library.

#include <cstddef>
#include <cstdint>
#include <string>

namespace file_system_detail {

// Fills the buffer from the system's random source. False when it has none.
bool FillRandom(void* data, std::size_t size);

enum class CreateOutcome { Created, Exists, Failed };

// Creates an empty file under a name nothing holds yet (O_EXCL /
// CREATE_NEW); a link is never followed.
CreateOutcome CreateNewFile(const std::u16string& path);

// A held lock file: a descriptor or a handle, or kNoLock.
using LockHandle = std::intptr_t;
inline constexpr LockHandle kNoLock = -1;

// Creates the lock file and holds it exclusively for as long as the handle
// stays open. kNoLock when that fails.
LockHandle AcquireRunLock(const std::u16string& path);

// True when no live run holds the lock file: it is gone, or this call could
// take it. `handle` then holds it (or kNoLock when it was gone) until
// ReleaseRunLock. False while its run lives.
bool ClaimStaleRunLock(const std::u16string& path, LockHandle& handle);

// Removes the lock file and lets the lock go.
void ReleaseRunLock(const std::u16string& path, LockHandle handle);

// The file layer's own bookkeeping of this run's temporaries: called before
// a file of a temporary's name is created, and after one is renamed or
// removed. Names of other runs or other shapes are ignored.
void NoteTemporaryCreated(const std::u16string& path);
void NoteTemporaryGone(const std::u16string& path);

}  // namespace file_system_detail
