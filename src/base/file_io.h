// Files and descriptors. Every function answers an Expected: the system's code (errno; on
// Windows the system's own code, GetLastError's) and its text, which the whole-file functions
// put after the file's full name ("Cannot open file "<full path>". <reason>").
#pragma once

#include "base/expected.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>

namespace kestrune {

// A file that could not be read or written; the text names the file and the system's reason.
// Raised only where a caller's documented behaviour is to throw (the string list's file
// methods, the backup files' writers), through OrThrowFileError.
class EFileError : public std::runtime_error {
  public:
    EFileError(const std::string& message, int code) : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }

  private:
    int code_;
};

// The value, or EFileError with the error's text and code.
template <typename T> T OrThrowFileError(Expected<T> result) {
    if (!result) throw EFileError(result.error().text, static_cast<int>(result.error().code));
    return std::move(*result);
}
void OrThrowFileError(const Expected<void>& result);

// An open file descriptor that closes itself when it goes.
class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();

    bool IsOpen() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    // Closes now: a file whose last writes the system could not keep says so here.
    Expected<void> Close();
    // Gives the descriptor up without closing it.
    int Release();

  private:
    int fd_ = -1;
};

// What a caller tells apart in a failure, whichever system gave its code.
bool IsMissingFile(const Error& error);   // no such file, or no such folder on the way to it
bool IsNameTaken(const Error& error);     // something already has the name
bool IsHeldByAnother(const Error& error); // a lock another holds (the Try... calls)
bool IsWriteRefused(const Error& error);  // no permission to write, or a read-only volume
bool IsDiskFull(const Error& error);      // no room left on the volume

// The error of the C library's failed call (open, read, write, close): errno; on Windows the
// system's own code that the C library kept.
Error LastSystemError();
// The error of a code: errno's, or on Windows the system's own (GetLastError).
Error SystemError(uint32_t code);
// The error text of a whole-file function: what, the file's full name in quotes, then the reason.
Error FileError(const char* what, const std::filesystem::path& file, const Error& reason);

// The bytes of the file.
Expected<std::string> ReadWholeFile(const std::filesystem::path& file);
// The same for input a user names that must be a file of at most maxBytes: a folder, a device
// or a pipe (which never ends, or waits for a writer) is refused without waiting, and so is a
// larger file, before it is read ("Cannot read file "<full path>". It is larger than ...").
Expected<std::string> ReadRegularFile(const std::filesystem::path& file, uint64_t maxBytes);
// The same, giving the bytes a piece at a time instead of holding them all.
Expected<void> ReadRegularFileInPieces(const std::filesystem::path& file, uint64_t maxBytes,
                                       const std::function<void(std::string_view)>& piece);
// Creates or truncates the file and writes bytes ("Cannot create file "<full path>". ...").
Expected<void> WriteWholeFile(const std::filesystem::path& file, std::string_view bytes);

// Writes bytes to a new file beside the target and renames it over the target, so that a
// failed or interrupted write never leaves a truncated file and never destroys the old one.
// The error names the target ("Cannot create file "<full path>". <reason>").
Expected<void> ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes);
// The same for a file given in pieces, written one after the other: a file assembled from many
// parts is never held whole.
Expected<void> ReplaceFileContents(const std::filesystem::path& file,
                                   std::span<const std::string_view> pieces);
// The same for a file whose bytes write puts into the descriptor it is given: bytes kept
// elsewhere than in memory.
Expected<void>
ReplaceFileContents(const std::filesystem::path& file,
                    const std::function<Expected<void>(const FileDescriptor& fd)>& write);

// Removes the temporary files that ReplaceFileContents left in the folder when its process was
// killed mid-write. A temporary file that a running write still holds is left alone; what
// cannot be removed stays for the next time.
void RemoveStaleTemporaries(const std::filesystem::path& folder);

// Gives a file a second name on the same volume (a hard link). IsNameTaken when the name is
// taken; some file systems have no hard links (FAT, some network shares).
Expected<void> LinkFile(const std::filesystem::path& existing, const std::filesystem::path& name);

// Renames a file, in one step, unless the new name is taken (IsNameTaken).
Expected<void> MoveFileNoReplace(const std::filesystem::path& from,
                                 const std::filesystem::path& to);

// Creates the folder and every missing parent.
Expected<void> ForceDirectories(const std::filesystem::path& folder);

// The full name of a file as messages show it.
std::string FullFileName(const std::filesystem::path& file);

// Marks the temporary files of ReplaceFileContents (".<target name>.kestrune-XXXXXX"), so that
// stale ones can be told apart.
inline constexpr const char* kTemporaryMark = ".kestrune-";
bool IsTemporaryFileName(const std::string& name);

// Throws EFileError: what, the file's full name in quotes, then reason.
[[noreturn]] void ThrowFileError(const char* what, const std::filesystem::path& file,
                                 const std::string& reason, int error);

// The file by its full name, binary (bytes unchanged, no CR LF translation) and not inherited
// by child programs. flags are the O_ flags of open().
Expected<FileDescriptor> OpenFileDescriptor(const std::filesystem::path& file, int flags);
// A new, empty scratch file in the folder of file, open for reading and writing, that nobody
// else sees and that the system deletes when it is closed, even after a crash (POSIX: removed
// from the folder at once; Windows: deleted on close).
Expected<FileDescriptor> OpenScratchFile(const std::filesystem::path& besideFile);
// Writes every byte.
Expected<void> WriteAll(const FileDescriptor& fd, std::string_view bytes);
// Writes the pieces one after the other, small ones gathered into larger writes.
Expected<void> WriteAll(const FileDescriptor& fd, std::span<const std::string_view> pieces);
// Flushes the file's data to the disk.
Expected<void> SyncFileDescriptor(const FileDescriptor& fd);
// Sets the file's size to size bytes, 64-bit on every system: what lies beyond is cut off, a
// larger size adds zero bytes. The file position stays where it was.
Expected<void> TruncateFileDescriptor(const FileDescriptor& fd, uint64_t size);
// Reads up to size bytes at offset, leaving the file position alone where the system can (POSIX
// pread; Windows moves it): the count read, 0 at the end.
Expected<size_t> ReadFileAt(const FileDescriptor& fd, void* buffer, size_t size, uint64_t offset);

// A lock between processes on a whole file, waited for; it never blocks reads and writes of
// the file itself.
enum class FileLock { Shared, Exclusive, None };
Expected<void> LockFileDescriptor(const FileDescriptor& fd, FileLock lock);
// The same without waiting: IsHeldByAnother while another holds a lock that stands in the way.
Expected<void> TryLockFileDescriptor(const FileDescriptor& fd, FileLock lock);

// An exclusive lock between the programs of this computer on a folder, taken without waiting
// and without writing anything into the folder; it goes when the lock does or its process ends,
// however it ends. IsHeldByAnother while another holds it.
class FolderLock {
  public:
    FolderLock() = default;
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

    static Expected<FolderLock> TryTake(const std::filesystem::path& folder);

  private:
    explicit FolderLock(intptr_t handle) : handle_(handle) {}
    void Release();

    intptr_t handle_ = -1;
};

// What tells one file from another (the volume and the file's number on it), and its size.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    uint64_t size = 0;
};
// Of an open file, and of the file a name leads to now.
Expected<FileIdentity> IdentifyOpenFile(const FileDescriptor& fd);
Expected<FileIdentity> IdentifyNamedFile(const std::filesystem::path& file);

} // namespace kestrune
