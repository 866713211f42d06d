// The file operations whose POSIX and Windows forms differ: the Windows forms.
#include "base/file_io.h"

#include "base/paths.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "base/windows_sdk.h"

namespace kestrune {
namespace {

std::string Win32ErrorText(DWORD code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string wide(reinterpret_cast<const char16_t*>(text ? text : L""), length);
    LocalFree(text);
    while (!wide.empty() && (wide.back() == u'\n' || wide.back() == u'\r' || wide.back() == u' '))
        wide.pop_back();
    if (wide.empty()) return "Error " + std::to_string(code);
    return WideToAnsi(wide);
}

int ErrnoOf(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_INVALID_NAME:
        return EINVAL;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    default:
        return EIO;
    }
}

// A name beside the target that no other writer in this or another process uses at once:
// ".<target name>.kestrune-" and six hexadecimal digits.
std::filesystem::path TemporaryName(const std::filesystem::path& file) {
    static std::atomic<unsigned> counter{0};
    unsigned tag =
        (GetCurrentProcessId() * 2654435761u + counter++ * 40503u + GetTickCount()) & 0xFFFFFFu;
    wchar_t digits[8];
    swprintf(digits, 8, L"%06x", tag);
    return file.parent_path() /
           (L"." + file.filename().wstring() +
            std::wstring(kTemporaryMark, kTemporaryMark + std::strlen(kTemporaryMark)) + digits);
}

} // namespace

int OpenFileDescriptor(const std::filesystem::path& file, int flags) {
    // A file opened as it is may be renamed or deleted by others meanwhile, as on POSIX (the C
    // library's _wopen forbids that), so a domain file in use can be replaced and the replacement
    // is seen. A file being created is held until it is closed: a write in progress is told from
    // a stale one by its being undeletable.
    DWORD access = (flags & _O_RDWR)     ? GENERIC_READ | GENERIC_WRITE
                   : (flags & _O_WRONLY) ? GENERIC_WRITE
                                         : GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if ((flags & _O_CREAT) && (flags & _O_EXCL))
        disposition = CREATE_NEW;
    else if ((flags & _O_CREAT) && (flags & _O_TRUNC))
        disposition = CREATE_ALWAYS;
    else if (flags & _O_CREAT)
        disposition = OPEN_ALWAYS;
    else if (flags & _O_TRUNC)
        disposition = TRUNCATE_EXISTING;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | ((flags & _O_CREAT) ? 0 : FILE_SHARE_DELETE);
    HANDLE handle = CreateFileW(file.c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(GetLastError());
        return -1;
    }
    int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle),
                               flags & (_O_APPEND | _O_RDONLY | _O_WRONLY | _O_RDWR));
    if (fd < 0) CloseHandle(handle);
    return fd;
}

int OpenScratchFile(const std::filesystem::path& besideFile) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE handle =
            CreateFileW(TemporaryName(besideFile).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            DWORD code = GetLastError();
            if (code == ERROR_FILE_EXISTS) continue;
            errno = ErrnoOf(code);
            return -1;
        }
        int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR);
        if (fd < 0) CloseHandle(handle);
        return fd;
    }
    errno = EEXIST;
    return -1;
}

bool SyncFileDescriptor(int fd) {
    return ::_commit(fd) == 0;
}

void ReplaceFileContents(const std::filesystem::path& file,
                         std::span<const std::string_view> pieces) {
    ReplaceFileContents(file, [pieces](int fd) { return WriteAll(fd, pieces); });
}

void ReplaceFileContents(const std::filesystem::path& file,
                         const std::function<bool(int fd)>& write) {
    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = TemporaryName(file);
        fd = OpenFileDescriptor(temporary, _O_WRONLY | _O_CREAT | _O_EXCL);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) ThrowFileError("Cannot create file", file, SystemErrorText(errno), errno);
    int error = 0;
    if (!write(fd) || !SyncFileDescriptor(fd)) error = errno;
    if (::_close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
        ::_wunlink(temporary.c_str());
        ThrowFileError("Cannot create file", file, SystemErrorText(error), error);
    }
    // Unlike rename(), this replaces an existing file, and returns only once it is on disk.
    if (!MoveFileExW(temporary.c_str(), file.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD code = GetLastError();
        ::_wunlink(temporary.c_str());
        ThrowFileError("Cannot create file", file, Win32ErrorText(code), ErrnoOf(code));
    }
}

bool LinkFile(const std::filesystem::path& existing, const std::filesystem::path& name) {
    if (CreateHardLinkW(name.c_str(), existing.c_str(), nullptr)) return true;
    errno = ErrnoOf(GetLastError());
    return false;
}

bool MoveFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    // Without MOVEFILE_REPLACE_EXISTING a taken name is refused.
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
    errno = ErrnoOf(GetLastError());
    return false;
}

// A temporary file that a running write holds open cannot be deleted on Windows, so the
// delete itself tells a stale file from a live one.
void RemoveStaleTemporaries(const std::filesystem::path& folder) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (!IsTemporaryFileName(AnsiFromPath(entry.path().filename()))) continue;
        if (entry.is_regular_file(error)) DeleteFileW(entry.path().c_str());
    }
}

bool TruncateFileDescriptor(int fd, uint64_t size) {
    // The C library's ftruncate and _chsize take a 32-bit size: the handle is sized instead.
    if (size > static_cast<uint64_t>(INT64_MAX)) {
        errno = EFBIG;
        return false;
    }
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(handle, LARGE_INTEGER{}, &position, FILE_CURRENT)) {
        errno = ErrnoOf(GetLastError());
        return false;
    }
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    bool done = SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
    DWORD code = done ? 0 : GetLastError();
    SetFilePointerEx(handle, position, nullptr, FILE_BEGIN);
    if (!done) errno = ErrnoOf(code);
    return done;
}

long long ReadFileAt(int fd, void* buffer, size_t size, uint64_t offset) {
    // The C library has no pread; a descriptor is used by one thread at a time.
    if (_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0) return -1;
    return _read(fd, buffer, static_cast<unsigned>(size));
}

bool LockFileDescriptor(int fd, FileLock lock) {
    // flock() as Windows has it: a lock on a byte range far beyond any data, so that it only
    // ever meets other locks and never blocks the reads and appends of the file itself.
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFFF;
    bool done = lock == FileLock::None
                    ? UnlockFileEx(handle, 0, 1, 0, &at)
                    : LockFileEx(handle, lock == FileLock::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0,
                                 0, 1, 0, &at);
    if (!done) errno = ErrnoOf(GetLastError());
    return done;
}

bool TryLockFileDescriptor(int fd, FileLock lock) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFFF;
    const DWORD flags =
        LOCKFILE_FAIL_IMMEDIATELY | (lock == FileLock::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (LockFileEx(handle, flags, 0, 1, 0, &at)) return true;
    const DWORD error = GetLastError();
    errno =
        error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? EWOULDBLOCK : ErrnoOf(error);
    return false;
}

// A folder's handle cannot be locked: a mutex named after the folder's identity (its volume
// and number, whatever name reached it) stands in, for the whole computer where the system
// allows it, else for the session. A mutex whose owner died is taken over.
intptr_t TryLockFolder(const std::filesystem::path& folder) {
    HANDLE handle =
        CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(GetLastError());
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info);
    const DWORD infoError = GetLastError();
    CloseHandle(handle);
    if (!known) {
        errno = ErrnoOf(infoError);
        return -1;
    }
    auto named = [&](const wchar_t* scope) {
        wchar_t name[96];
        std::swprintf(name, std::size(name), L"%ls\\kestrune-folder-%08lx-%08lx%08lx", scope,
                      static_cast<unsigned long>(info.dwVolumeSerialNumber),
                      static_cast<unsigned long>(info.nFileIndexHigh),
                      static_cast<unsigned long>(info.nFileIndexLow));
        return CreateMutexW(nullptr, FALSE, name);
    };
    HANDLE mutex = named(L"Global");
    if (!mutex && GetLastError() == ERROR_ACCESS_DENIED) mutex = named(L"Local");
    if (!mutex) {
        errno = ErrnoOf(GetLastError());
        return -1;
    }
    const DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
        return reinterpret_cast<intptr_t>(mutex);
    CloseHandle(mutex);
    errno = EWOULDBLOCK;
    return -1;
}

void UnlockFolder(intptr_t handle) {
    if (handle == -1) return;
    HANDLE mutex = reinterpret_cast<HANDLE>(handle);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

// The C library's stat gives no file number on Windows, and a device number only for a name.
static bool IdentityOfHandle(HANDLE handle, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) {
        errno = ErrnoOf(GetLastError());
        return false;
    }
    identity.volume = info.dwVolumeSerialNumber;
    identity.index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    identity.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return true;
}

bool IdentifyOpenFile(int fd, FileIdentity& identity) {
    return IdentityOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), identity);
}

bool IdentifyNamedFile(const std::filesystem::path& file, FileIdentity& identity) {
    HANDLE handle = CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(GetLastError());
        return false;
    }
    bool known = IdentityOfHandle(handle, identity);
    CloseHandle(handle);
    return known;
}

} // namespace kestrune
