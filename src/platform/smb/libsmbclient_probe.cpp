#include "platform/smb/share_probes.h"

#include "platform/smb/smb_handshake.h"
#include "platform/smb/smb_logon.h"
#include "platform/smb/smb_url.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <libsmbclient.h>
#include <mutex>

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

void CopyInto(char* buffer, int size, const std::string& text) {
    if (size <= 0) return;
    const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

void GiveLogon(SMBCCTX* context, const char*, const char*, char* workgroup, int workgroupSize,
               char* user, int userSize, char* password, int passwordSize) {
    const auto* logon = static_cast<const SmbLogon*>(smbc_getOptionUserData(context));
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
    case ETIMEDOUT:
        return UnreachableAnswer(kTimeout);
    case ECONNREFUSED:
        return UnreachableAnswer(kConnectionRefused);
    case EHOSTUNREACH:
    case ENETUNREACH:
        return UnreachableAnswer(kNetworkUnreachable, std::strerror(error));
    default:
        return UnreachableAnswer(kUnexpectedNetworkError, std::strerror(error));
    }
}

// A libsmbclient context for one server, freed with it.
class Context {
  public:
    Context(const SmbLogon& logon, std::chrono::milliseconds timeout) {
        context_ = smbc_new_context();
        if (!context_) return;
        smbc_setDebug(context_, 0);
        smbc_setLogCallback(context_, nullptr, Quiet);
        smbc_setTimeout(context_, static_cast<int>(std::max<long long>(timeout.count(), 1)));
        smbc_setOptionUserData(context_, const_cast<SmbLogon*>(&logon));
        smbc_setFunctionAuthDataWithContext(context_, GiveLogon);
        const bool ticket = logon.user.empty();
        smbc_setOptionUseKerberos(context_, ticket);
        smbc_setOptionFallbackAfterKerberos(context_, true);
        smbc_setOptionUseCCache(context_, ticket);
        if (!smbc_init_context(context_)) {
            smbc_free_context(context_, 1);
            context_ = nullptr;
        }
    }
    ~Context() {
        if (context_) smbc_free_context(context_, 1);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    SMBCCTX* get() const { return context_; }

  private:
    SMBCCTX* context_ = nullptr;
};

class LibSmbClientProbe : public ShareProbe {
  public:
    explicit LibSmbClientProbe(SmbLogon logon) : logon_(std::move(logon)) {}

    std::vector<ShareAnswer>
    ProbeServer(const AnsiString& server, const std::vector<AnsiString>& shares,
                std::chrono::steady_clock::time_point deadline) const override {
        if (std::optional<ShareAnswer> failed =
                Handshake(WideToUtf8(AnsiToWide(server)), kSmbPort, deadline))
            return {shares.size(), *failed};
        std::unique_lock<std::timed_mutex> library(LibraryLock(), deadline);
        if (!library.owns_lock())
            return {shares.size(),
                    UnreachableAnswer(kTimeout, "the server answered, but the servers asked "
                                                "before it took the time")};
        std::vector<ShareAnswer> answers;
        Context context(logon_, std::chrono::duration_cast<std::chrono::milliseconds>(
                                    deadline - std::chrono::steady_clock::now()));
        if (!context.get())
            return {shares.size(),
                    UnreachableAnswer(kUnexpectedNetworkError,
                                      "the SMB client library could not be started")};
        smbc_opendir_fn open = smbc_getFunctionOpendir(context.get());
        smbc_closedir_fn close = smbc_getFunctionClosedir(context.get());
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
    Expected<SmbLogon> logon = SmbLogonFromEnvironment();
    if (!logon) return logon.error();
    return MakeLibSmbClientProbe(*logon);
}

} // namespace kestrune::smb
