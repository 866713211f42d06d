// Whole-file reads and writes that report failures with the file's full name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>

namespace kestrune {

// A file that could not be read or written; the text names the file and the system's reason.
class EFileError : public std::runtime_error {
  public:
    EFileError(const std::string& message, int code) : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }

  private:
    int code_;
};

// Throws EFileError ("Cannot open file "<full path>". <reason>").
std::string ReadWholeFile(const std::filesystem::path& file);
// The same for input a user names that must be a file of at most maxBytes: a folder, a device
// or a pipe (which never ends, or waits for a writer) is refused without waiting, and so is a
// larger file, before it is read ("Cannot read file "<full path>". It is larger than ...").
std::string ReadRegularFile(const std::filesystem::path& file, uint64_t maxBytes);
// Creates or truncates the file and writes bytes. Throws EFileError
// ("Cannot create file "<full path>". <reason>").
void WriteWholeFile(const std::filesystem::path& file, std::string_view bytes);

// Writes bytes to a new file beside the target and renames it over the target, so that a
// failed or interrupted write never leaves a truncated file and never destroys the old one.
// Throws EFileError naming the target ("Cannot create file "<full path>". <reason>").
void ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes);
// The same for a file given in pieces, written one after the other: a file assembled from many
// parts is never held whole.
void ReplaceFileContents(const std::filesystem::path& file,
                         std::span<const std::string_view> pieces);
// The same for a file whose bytes write puts into the descriptor it is given, returning false
// with errno set when it cannot: bytes kept elsewhere than in memory.
void ReplaceFileContents(const std::filesystem::path& file,
                         const std::function<bool(int fd)>& write);

// Removes the temporary files that ReplaceFileContents left in the folder when its process was
// killed mid-write. A temporary file that a running write still holds is left alone.
void RemoveStaleTemporaries(const std::filesystem::path& folder);

// Gives a file a second name on the same volume (a hard link). False with errno set: EEXIST
// when the name is taken; some file systems have no hard links (FAT, some network shares).
bool LinkFile(const std::filesystem::path& existing, const std::filesystem::path& name);

// Renames a file, in one step, unless the new name is taken. False with errno set: EEXIST when
// it is taken.
bool MoveFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// Creates the folder and every missing parent. False when it could not (errno tells why).
bool ForceDirectories(const std::filesystem::path& folder);

// The full name of a file as messages show it.
std::string FullFileName(const std::filesystem::path& file);

// The system's description of an errno value.
std::string SystemErrorText(int error);

// Marks the temporary files of ReplaceFileContents (".<target name>.kestrune-XXXXXX"), so that
// stale ones can be told apart.
inline constexpr const char* kTemporaryMark = ".kestrune-";
bool IsTemporaryFileName(const std::string& name);

// Throws EFileError: what, the file's full name in quotes, then reason.
[[noreturn]] void ThrowFileError(const char* what, const std::filesystem::path& file,
                                 const std::string& reason, int error);

// A file descriptor for the file by its full name, binary (bytes unchanged, no CR LF
// translation) and not inherited by child programs; -1 with errno set on failure. flags are
// the O_ flags of open().
int OpenFileDescriptor(const std::filesystem::path& file, int flags);
// A new, empty scratch file in the folder of file, open for reading and writing, that nobody
// else sees and that the system deletes when it is closed, even after a crash (POSIX: removed
// from the folder at once; Windows: deleted on close); -1 with errno set on failure.
int OpenScratchFile(const std::filesystem::path& besideFile);
// Writes every byte; false with errno set on failure.
bool WriteAll(int fd, std::string_view bytes);
// Writes the pieces one after the other, small ones gathered into larger writes.
bool WriteAll(int fd, std::span<const std::string_view> pieces);
// Flushes the file's data to the disk; false with errno set on failure.
bool SyncFileDescriptor(int fd);
// Sets the file's size to size bytes, 64-bit on every system: what lies beyond is cut off, a
// larger size adds zero bytes. The file position stays where it was. False with errno set on
// failure.
bool TruncateFileDescriptor(int fd, uint64_t size);
// Reads up to size bytes at offset, leaving the file position alone where the system can (POSIX
// pread; Windows moves it). The count read, 0 at the end, -1 with errno set on failure.
long long ReadFileAt(int fd, void* buffer, size_t size, uint64_t offset);

// A lock between processes on a whole file, waited for; it never blocks reads and writes of
// the file itself. False with errno set on failure.
enum class FileLock { Shared, Exclusive, None };
bool LockFileDescriptor(int fd, FileLock lock);
// The same without waiting: false with errno EWOULDBLOCK while another holds a lock that
// stands in the way.
bool TryLockFileDescriptor(int fd, FileLock lock);

// An exclusive lock between the programs of this computer on a folder, taken without waiting
// and without writing anything into the folder; it goes when the handle is released or its
// process ends, however it ends. A handle to give to UnlockFolder, or -1 with errno set:
// EWOULDBLOCK while another holds it.
intptr_t TryLockFolder(const std::filesystem::path& folder);
void UnlockFolder(intptr_t handle);

// What tells one file from another (the volume and the file's number on it), and its size.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    uint64_t size = 0;
};
// Of an open file, and of the file a name leads to now; false with errno set on failure.
bool IdentifyOpenFile(int fd, FileIdentity& identity);
bool IdentifyNamedFile(const std::filesystem::path& file, FileIdentity& identity);

} // namespace kestrune
