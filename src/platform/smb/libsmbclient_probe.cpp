#include "platform/smb/share_probes.h"

#include "platform/smb/smb_handshake.h"
#include "platform/smb/smb_logon.h"
#include "platform/smb/smb_url.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <libsmbclient.h>
#include <mutex>
#include <type_traits>

namespace kestrune::smb {
namespace {

// The library keeps per-process state that several threads would corrupt (its talloc stack
// frames are one global unless built with thread support, which Debian's is not): one thread
// in it at a time, each with a context of its own. The handshake before it runs in parallel,
// so only servers that answer SMB wait for each other, and those answer quickly.
std::timed_mutex& LibraryLock() {
    static std::timed_mutex lock;
    return lock;
}

// The library, with the more than a hundred Samba libraries it needs, is loaded when shares are
// first checked: the programs' other work never pays for loading them (7 MB and 13 ms at every
// start). The types come from its header, so a changed signature does not compile.
struct Library {
    decltype(&smbc_new_context) newContext;
    decltype(&smbc_free_context) freeContext;
    decltype(&smbc_init_context) initContext;
    decltype(&smbc_setDebug) setDebug;
    decltype(&smbc_setLogCallback) setLogCallback;
    decltype(&smbc_setTimeout) setTimeout;
    decltype(&smbc_setOptionUserData) setOptionUserData;
    decltype(&smbc_getOptionUserData) getOptionUserData;
    decltype(&smbc_setFunctionAuthDataWithContext) setFunctionAuthDataWithContext;
    decltype(&smbc_setOptionUseKerberos) setOptionUseKerberos;
    decltype(&smbc_setOptionFallbackAfterKerberos) setOptionFallbackAfterKerberos;
    decltype(&smbc_setOptionUseCCache) setOptionUseCCache;
    decltype(&smbc_getFunctionOpendir) getFunctionOpendir;
    decltype(&smbc_getFunctionClosedir) getFunctionClosedir;
};

constexpr const char* kLibraryFile = "libsmbclient.so.0";

Expected<Library> LoadLibrary() {
    void* handle = ::dlopen(kLibraryFile, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return Error{0, std::string("libsmbclient could not be loaded (") + ::dlerror() +
                            "); install the package libsmbclient to check targets"};
    Library library{};
    std::string missing;
    auto find = [&](auto& function, const char* name) {
        function =
            reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(handle, name));
        if (!function && missing.empty()) missing = name;
    };
    find(library.newContext, "smbc_new_context");
    find(library.freeContext, "smbc_free_context");
    find(library.initContext, "smbc_init_context");
    find(library.setDebug, "smbc_setDebug");
    find(library.setLogCallback, "smbc_setLogCallback");
    find(library.setTimeout, "smbc_setTimeout");
    find(library.setOptionUserData, "smbc_setOptionUserData");
    find(library.getOptionUserData, "smbc_getOptionUserData");
    find(library.setFunctionAuthDataWithContext, "smbc_setFunctionAuthDataWithContext");
    find(library.setOptionUseKerberos, "smbc_setOptionUseKerberos");
    find(library.setOptionFallbackAfterKerberos, "smbc_setOptionFallbackAfterKerberos");
    find(library.setOptionUseCCache, "smbc_setOptionUseCCache");
    find(library.getFunctionOpendir, "smbc_getFunctionOpendir");
    find(library.getFunctionClosedir, "smbc_getFunctionClosedir");
    // Kept loaded for the rest of the run, as a linked library would be.
    if (!missing.empty())
        return Error{0, std::string(kLibraryFile) + " has no " + missing +
                            "; the installed libsmbclient is too old to check targets"};
    return library;
}

// Loaded once, by the first thread that asks.
const Expected<Library>& TheLibrary() {
    static const Expected<Library> library = LoadLibrary();
    return library;
}

void CopyInto(char* buffer, int size, const std::string& text) {
    if (size <= 0) return;
    const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

void GiveLogon(SMBCCTX* context, const char*, const char*, char* workgroup, int workgroupSize,
               char* user, int userSize, char* password, int passwordSize) {
    const auto* logon = static_cast<const SmbLogon*>(TheLibrary()->getOptionUserData(context));
    if (!logon->user.empty()) CopyInto(workgroup, workgroupSize, logon->workgroup);
    CopyInto(user, userSize, logon->user);
    CopyInto(password, passwordSize, logon->password);
}

void Quiet(void*, int, const char*) {}

ShareAnswer FromErrno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return AccessDeniedAnswer();
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return UnreachableAnswer(kShareNotFound);
    default:
        return ConnectionFailure(error);
    }
}

// A libsmbclient context for one server, freed with it.
class Context {
  public:
    Context(const Library& library, const SmbLogon& logon, std::chrono::milliseconds timeout)
        : library_(library) {
        context_ = library.newContext();
        if (!context_) return;
        library.setDebug(context_, 0);
        library.setLogCallback(context_, nullptr, Quiet);
        library.setTimeout(context_, static_cast<int>(std::max<long long>(timeout.count(), 1)));
        library.setOptionUserData(context_, const_cast<SmbLogon*>(&logon));
        library.setFunctionAuthDataWithContext(context_, GiveLogon);
        const bool ticket = logon.user.empty();
        library.setOptionUseKerberos(context_, ticket);
        library.setOptionFallbackAfterKerberos(context_, true);
        library.setOptionUseCCache(context_, ticket);
        if (!library.initContext(context_)) {
            library.freeContext(context_, 1);
            context_ = nullptr;
        }
    }
    ~Context() {
        if (context_) library_.freeContext(context_, 1);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    SMBCCTX* get() const { return context_; }

  private:
    const Library& library_;
    SMBCCTX* context_ = nullptr;
};

class LibSmbClientProbe : public ShareProbe {
  public:
    explicit LibSmbClientProbe(SmbLogon logon) : logon_(std::move(logon)) {}

    std::vector<ShareAnswer>
    ProbeServer(const AnsiString& server, const std::vector<AnsiString>& shares,
                std::chrono::steady_clock::time_point deadline) const override {
        if (std::optional<ShareAnswer> failed = Handshake(AnsiToUtf8(server), kSmbPort, deadline))
            return {shares.size(), *failed};
        std::unique_lock<std::timed_mutex> turn(LibraryLock(), deadline);
        if (!turn.owns_lock())
            return {shares.size(),
                    UnreachableAnswer(kTimeout, "the server answered, but the servers asked "
                                                "before it took the time")};
        const Expected<Library>& library = TheLibrary();
        if (!library)
            return {shares.size(),
                    UnreachableAnswer(kUnexpectedNetworkError, library.error().text)};
        std::vector<ShareAnswer> answers;
        Context context(*library, logon_,
                        std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now()));
        if (!context.get())
            return {shares.size(),
                    UnreachableAnswer(kUnexpectedNetworkError,
                                      "the SMB client library could not be started")};
        smbc_opendir_fn open = library->getFunctionOpendir(context.get());
        smbc_closedir_fn close = library->getFunctionClosedir(context.get());
        for (const AnsiString& share : shares) {
            if (std::chrono::steady_clock::now() >= deadline) {
                answers.push_back(UnreachableAnswer(kTimeout));
                continue;
            }
            errno = 0;
            SMBCFILE* folder = open(context.get(), ShareUrl(server, share).c_str());
            if (folder) {
                close(context.get(), folder);
                answers.push_back({});
            } else
                answers.push_back(FromErrno(errno));
        }
        return answers;
    }

  private:
    const SmbLogon logon_;
};

} // namespace

std::shared_ptr<const ShareProbe> MakeLibSmbClientProbe(const SmbLogon& logon) {
    return std::make_shared<LibSmbClientProbe>(logon);
}

Expected<std::shared_ptr<const ShareProbe>> MakeSystemShareProbe() {
    if (!TheLibrary()) return TheLibrary().error();
    Expected<SmbLogon> logon = SmbLogonFromEnvironment();
    if (!logon) return logon.error();
    return MakeLibSmbClientProbe(*logon);
}

} // namespace kestrune::smb
