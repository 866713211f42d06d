// The file operations whose POSIX and Windows forms differ: the Windows forms.
#include "base/file_io.h"

#include "base/paths.h"
#include "base/system_call.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <utility>

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

Error SystemError(uint32_t code) {
    return {code, Win32ErrorText(code)};
}

Error LastSystemError() {
    // The C library keeps the system's code in _doserrno; its own refusals (a bad descriptor)
    // have none.
    DWORD code = _doserrno;
    if (code == ERROR_SUCCESS)
        code = errno == EBADF ? ERROR_INVALID_HANDLE : ERROR_INVALID_FUNCTION;
    return SystemError(code);
}

bool IsMissingFile(const Error& error) {
    return error.code == ERROR_FILE_NOT_FOUND || error.code == ERROR_PATH_NOT_FOUND;
}

bool IsNameTaken(const Error& error) {
    return error.code == ERROR_FILE_EXISTS || error.code == ERROR_ALREADY_EXISTS;
}

bool IsHeldByAnother(const Error& error) {
    return error.code == ERROR_LOCK_VIOLATION || error.code == ERROR_IO_PENDING;
}

bool IsWriteRefused(const Error& error) {
    return error.code == ERROR_ACCESS_DENIED || error.code == ERROR_SHARING_VIOLATION ||
           error.code == ERROR_LOCK_VIOLATION || error.code == ERROR_WRITE_PROTECT;
}

bool IsDiskFull(const Error& error) {
    return error.code == ERROR_DISK_FULL || error.code == ERROR_HANDLE_DISK_FULL;
}

namespace {

HANDLE HandleOf(const FileDescriptor& fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd.Get()));
}

Expected<FileDescriptor> DescriptorOf(HANDLE handle, int flags) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (fd < 0) {
        const Error error = SystemError(ERROR_TOO_MANY_OPEN_FILES);
        CloseHandle(handle);
        return error;
    }
    return FileDescriptor(fd);
}

} // namespace

Expected<FileDescriptor> OpenFileDescriptor(const std::filesystem::path& file, int flags) {
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
    if (handle == INVALID_HANDLE_VALUE) return SystemError(GetLastError());
    return DescriptorOf(handle, flags & (_O_APPEND | _O_RDONLY | _O_WRONLY | _O_RDWR));
}

Expected<FileDescriptor> OpenScratchFile(const std::filesystem::path& besideFile) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE handle =
            CreateFileW(TemporaryName(besideFile).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) return DescriptorOf(handle, _O_RDWR);
        if (const DWORD code = GetLastError(); code != ERROR_FILE_EXISTS) return SystemError(code);
    }
    return SystemError(ERROR_FILE_EXISTS);
}

Expected<void> SyncFileDescriptor(const FileDescriptor& fd) {
    if (SystemCall([&] { return ::_commit(fd.Get()); }) != 0) return LastSystemError();
    return {};
}

Expected<void>
ReplaceFileContents(const std::filesystem::path& file,
                    const std::function<Expected<void>(const FileDescriptor& fd)>& write) {
    std::filesystem::path temporary;
    Expected<FileDescriptor> fd = SystemError(ERROR_FILE_EXISTS);
    for (int attempt = 0; !fd && IsNameTaken(fd.error()) && attempt < 100; ++attempt) {
        temporary = TemporaryName(file);
        fd = OpenFileDescriptor(temporary, _O_WRONLY | _O_CREAT | _O_EXCL);
    }
    if (!fd) return FileError("Cannot create file", file, fd.error());
    Expected<void> done = write(*fd);
    if (done) done = SyncFileDescriptor(*fd);
    if (Expected<void> closed = fd->Close(); done && !closed) done = closed;
    // Unlike rename(), this replaces an existing file, and returns only once it is on disk.
    if (done && !MoveFileExW(temporary.c_str(), file.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        done = SystemError(GetLastError());
    if (!done) {
        ::_wunlink(temporary.c_str());
        return FileError("Cannot create file", file, done.error());
    }
    return {};
}

Expected<void> LinkFile(const std::filesystem::path& existing, const std::filesystem::path& name) {
    if (!CreateHardLinkW(name.c_str(), existing.c_str(), nullptr))
        return SystemError(GetLastError());
    return {};
}

Expected<void> MoveFileNoReplace(const std::filesystem::path& from,
                                 const std::filesystem::path& to) {
    // Without MOVEFILE_REPLACE_EXISTING a taken name is refused.
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH))
        return SystemError(GetLastError());
    return {};
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

Expected<void> TruncateFileDescriptor(const FileDescriptor& fd, uint64_t size) {
    // The C library's ftruncate and _chsize take a 32-bit size: the handle is sized instead.
    if (size > static_cast<uint64_t>(INT64_MAX)) return SystemError(ERROR_FILE_TOO_LARGE);
    HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return SystemError(ERROR_INVALID_HANDLE);
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(handle, LARGE_INTEGER{}, &position, FILE_CURRENT))
        return SystemError(GetLastError());
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool done = SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
    const DWORD code = done ? ERROR_SUCCESS : GetLastError();
    SetFilePointerEx(handle, position, nullptr, FILE_BEGIN);
    if (!done) return SystemError(code);
    return {};
}

Expected<size_t> ReadFileAt(const FileDescriptor& fd, void* buffer, size_t size, uint64_t offset) {
    // The C library has no pread; a descriptor is used by one thread at a time.
    if (SystemCall([&] { return _lseeki64(fd.Get(), static_cast<long long>(offset), SEEK_SET); }) <
        0)
        return LastSystemError();
    const int n = SystemCall([&] { return _read(fd.Get(), buffer, static_cast<unsigned>(size)); });
    if (n < 0) return LastSystemError();
    return static_cast<size_t>(n);
}

namespace {

// flock() as Windows has it: a lock on a byte range far beyond any data, so that it only ever
// meets other locks and never blocks the reads and appends of the file itself.
OVERLAPPED FarBeyondTheData() {
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFFF;
    return at;
}

} // namespace

Expected<void> LockFileDescriptor(const FileDescriptor& fd, FileLock lock) {
    OVERLAPPED at = FarBeyondTheData();
    const bool done =
        lock == FileLock::None
            ? UnlockFileEx(HandleOf(fd), 0, 1, 0, &at)
            : LockFileEx(HandleOf(fd), lock == FileLock::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0,
                         1, 0, &at);
    if (!done) return SystemError(GetLastError());
    return {};
}

Expected<void> TryLockFileDescriptor(const FileDescriptor& fd, FileLock lock) {
    OVERLAPPED at = FarBeyondTheData();
    const DWORD flags =
        LOCKFILE_FAIL_IMMEDIATELY | (lock == FileLock::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (!LockFileEx(HandleOf(fd), flags, 0, 1, 0, &at)) return SystemError(GetLastError());
    return {};
}

// A folder's handle cannot be locked: a mutex named after the folder's identity (its volume
// and number, whatever name reached it) stands in, for the whole computer where the system
// allows it, else for the session. A mutex whose owner died is taken over.
Expected<FolderLock> FolderLock::TryTake(const std::filesystem::path& folder) {
    HANDLE handle =
        CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return SystemError(GetLastError());
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info);
    const DWORD infoError = GetLastError();
    CloseHandle(handle);
    if (!known) return SystemError(infoError);
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
    if (!mutex) return SystemError(GetLastError());
    const DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
        return FolderLock(reinterpret_cast<intptr_t>(mutex));
    CloseHandle(mutex);
    return SystemError(ERROR_LOCK_VIOLATION);
}

void FolderLock::Release() {
    if (handle_ == -1) return;
    HANDLE mutex = reinterpret_cast<HANDLE>(std::exchange(handle_, -1));
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

namespace {

// The C library's stat gives no file number on Windows, and a device number only for a name.
Expected<FileIdentity> IdentityOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return SystemError(GetLastError());
    FileIdentity identity;
    identity.volume = info.dwVolumeSerialNumber;
    identity.index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    identity.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return identity;
}

} // namespace

Expected<FileIdentity> IdentifyOpenFile(const FileDescriptor& fd) {
    return IdentityOfHandle(HandleOf(fd));
}

Expected<FileIdentity> IdentifyNamedFile(const std::filesystem::path& file) {
    HANDLE handle = CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return SystemError(GetLastError());
    Expected<FileIdentity> identity = IdentityOfHandle(handle);
    CloseHandle(handle);
    return identity;
}

} // namespace kestrune
