// The operating system's file services, behind one small interface.
//
// Everything above this header (input files, output files, outputs put in
// place) is written once; os_file_win32.cpp provides the calls on Windows,
// os_file_posix.cpp and os_output_posix.cpp (outputs put in place)
// elsewhere. Every function reports a failure as a RunError naming `path`.
// Paths are UTF-8 on every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace vagliante {

// The size of the blocks in which files are read and written above this
// interface: large enough to keep the system calls few.
inline constexpr std::size_t kIoBlock = std::size_t{1} << 20;  // 1 MiB

}  // namespace vagliante

namespace vagliante::os {

// An open file: a descriptor on POSIX, a HANDLE on Windows.
using NativeFile = std::intptr_t;
inline constexpr NativeFile kNoFile = -1;

// Opens `path` for reading raw bytes. A regular file always; a pipe, FIFO
// or device only when `streams` is set (it may then wait for a writer),
// otherwise it is refused without waiting. A folder is PathFileAccess.
NativeFile OpenRead(const std::string& path, bool streams);
// Whether an open file is a regular file (not a pipe or device).
bool IsRegularFile(NativeFile file);

// Creates a new file for writing, readable and writable by its owner only;
// kNoFile if it exists. Used for the temporary files of outputs.
NativeFile CreateNew(const std::string& path);

// Reads up to `size` bytes; returns 0 at the end of the file. On a
// `stream` (a pipe or device, which may keep a read waiting), the wait ends
// with RunStopped when a stop is requested.
std::size_t ReadSome(NativeFile file, void* buffer, std::size_t size, const std::string& path,
                     bool stream = false);

// Writes all `size` bytes; waits on a stream as ReadSome does (a pipe whose
// reader does not read holds the write no longer than that). A pipe whose
// reader has gone stops the run as SIGPIPE would: RunStopped.
void WriteAll(NativeFile file, const void* data, std::size_t size, const std::string& path,
              bool stream = false);

std::int64_t Length(NativeFile file, const std::string& path);
void Close(NativeFile file, const std::string& path);  // reports a failed close
void CloseQuietly(NativeFile file) noexcept;

// ---- One regular file read by several threads ----

// Reads up to `size` bytes from `offset` without using the file's position
// (which Windows moves); fewer only at the end of the file.
std::size_t ReadAt(NativeFile file, std::int64_t offset, void* buffer, std::size_t size,
                   const std::string& path);

// Whether MapRead maps files on this system, and where a view may start
// (a multiple of MapAlignment).
bool MapsFiles();
std::size_t MapAlignment();
// A read-only view of `size` bytes of `file` from `offset`, read in place
// with no copy; null where this file is not mapped (on Windows, or on a
// file system that does not map files), so that the caller reads it
// instead. Reads of a view go through RunGuarded.
const std::uint8_t* MapRead(NativeFile file, std::int64_t offset, std::size_t size,
                            const std::string& path);
void Unmap(const std::uint8_t* view, std::size_t size) noexcept;

// Runs scan(context) so that reading a view whose file another program has
// cut shorter ends the scan, not the process: it returns false then. The
// scan is abandoned where it stands, so wherever `scan` reads a view, no
// object with a destructor and no lock may be live between it and this call.
bool RunGuarded(void (*scan)(void*), void* context);

// ---- Outputs ----

// Where an output goes, decided before anything is written.
struct OutputPlace {
    // The file to create or replace: the destination with its symbolic
    // links followed. Empty when the output is written directly.
    std::string target;
    // A pipe, FIFO, device or open descriptor (such as standard output),
    // opened for writing in sequence; kNoFile for a file put in place.
    NativeFile direct = kNoFile;
};

// Refuses a folder, a socket and the like (PathFileAccess), a read-only
// file (PermissionDenied, for root too), a missing folder (PathNotFound) and
// a name too long for the system (BadFileName). On Windows a name that is a
// device (CON, AUX, COM1.TXT, "lpt2 .txt", ...) is BadFileName too, except
// NUL, the null device, written directly.
OutputPlace PlaceOutput(const std::string& destination);

// Standard input and output, as paths that OpenRead and PlaceOutput take.
std::string StandardInputPath();
std::string StandardOutputPath();

// `path` with its last part shortened (never inside a character) so that
// `more` bytes added to it keep it within the system's limit for a name.
std::string ShortenedToFit(const std::string& path, std::size_t more);

// Gives the temporary file what the file it will replace has: permission
// bits, owner and group where this process may set them, extended
// attributes and ACLs. With no file to replace, the permissions a new file
// gets (0666 less the umask). A bit the new owner or group would gain
// unasked (set-user-ID, set-group-ID, the group's rights) is dropped.
void TakeOver(NativeFile temporary, const std::string& target, bool replacing);

// Data on the disk: fdatasync, FlushFileBuffers.
void SyncData(NativeFile file, const std::string& path);
// Starts writing out a stretch of the file, and waits for one; both are
// hints that may do nothing.
void StartWriteback(NativeFile file, std::int64_t from, std::int64_t length) noexcept;
void WaitWriteback(NativeFile file, std::int64_t from, std::int64_t length) noexcept;
// The folder's entries on the disk, after a rename.
void SyncFolder(const std::string& folder);

// Whether the run has been asked to stop, for a step that waits.
using StopCheck = std::function<bool()>;

// Puts `temporary` in `target`'s place in one step. Replacing, it returns
// the path that then holds the old file (which Restore puts back, and
// Discard removes); creating, it fails if `target` has appeared meanwhile
// and returns an empty path. On Windows a step refused because another
// program holds the file is tried again for about two seconds, until
// `stopped`; then the error says the file is in use.
std::string Swap(const std::string& temporary, const std::string& target, bool replacing,
                 const StopCheck& stopped);
// Undoes Swap: the old file back at `target`, or `target` gone again (on
// Windows tried again as Swap is, whatever `stopped` says).
void Restore(const std::string& oldFile, const std::string& target,
             const std::string& temporary) noexcept;
// Removes an old file that Swap moved aside (on Windows tried again as Swap
// is). A large one is freed by a background thread, so that the run does
// not wait for its blocks.
void Discard(const std::string& oldFile, const StopCheck& stopped) noexcept;

// Held while outputs in `folder` are put in place, so that two runs on the
// same names cannot mix their files; every spelling of the folder takes the
// same lock. Waiting for another run's, a stop ends the wait (RunStopped).
// Releasing it with kNoFile is a no-op.
NativeFile LockFolder(const std::string& folder);
void UnlockFolder(NativeFile lock) noexcept;

// What the file or folder `path` (its links followed) is, whatever its
// spelling: its device and inode, on Windows its volume and file ID. Empty
// when it cannot be seen.
std::string FileIdentity(const std::string& path);

// Whether `path` (its links followed) names the open file `file`.
bool SameFile(NativeFile file, const std::string& path);
// Whether two paths (links followed) name one existing file, however they
// are spelt.
bool SameFile(const std::string& a, const std::string& b);
// Whether an output to `path` is written through this process's standard
// output: StandardOutputPath, another name of that descriptor, or the FIFO
// standard output is.
bool IsStandardOutput(const std::string& path);

void RemoveQuietly(const std::string& path) noexcept;
bool IsDirectory(const std::string& path);
bool Exists(const std::string& path);

// The folder part of a path ("." when it has none) and the separator.
std::string FolderOf(const std::string& path);
char Separator();
// Whether `c` separates folders in a path ("\\" and "/" on Windows).
bool IsSeparator(char c);

// A short random text for unique file names, of kRandomTagLength letters
// and digits.
inline constexpr std::size_t kRandomTagLength = 8;
std::string RandomTag();

}  // namespace vagliante::os
