#include "platform/smb/netapi_share_probe.h"

#include "platform/smb/share_probes.h"

#include "base/windows_sdk.h" // last: the SDK's macros
#include <lm.h>

namespace kestrune::smb {
namespace {

unsigned long SystemNetShareGetInfo(wchar_t* server, wchar_t* share, unsigned long level,
                                    unsigned char** buffer) {
    return ::NetShareGetInfo(server, share, level, buffer);
}

unsigned long SystemNetApiBufferFree(void* buffer) {
    return ::NetApiBufferFree(buffer);
}

std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

class NetApiShareProbe : public ShareProbe {
  public:
    explicit NetApiShareProbe(const NetShareApi& api) : api_(api) {}

    std::vector<ShareAnswer> ProbeServer(const AnsiString& server,
                                         const std::vector<AnsiString>& shares,
                                         std::chrono::steady_clock::time_point) const override {
        std::wstring unc = L"\\\\" + Wide(AnsiToWide(server));
        std::vector<ShareAnswer> answers;
        for (const AnsiString& share : shares) {
            std::wstring name = Wide(AnsiToWide(share));
            unsigned char* buffer = nullptr;
            const unsigned long status = api_.NetShareGetInfo(unc.data(), name.data(), 1, &buffer);
            if (buffer) api_.NetApiBufferFree(buffer);
            if (status == NERR_Success)
                answers.push_back({});
            else if (status == ERROR_ACCESS_DENIED)
                answers.push_back(AccessDeniedAnswer());
            else
                answers.push_back(UnreachableAnswer(static_cast<uint32_t>(status)));
        }
        return answers;
    }

  private:
    const NetShareApi api_;
};

} // namespace

NetShareApi SystemNetShareApi() {
    return {SystemNetShareGetInfo, SystemNetApiBufferFree};
}

std::shared_ptr<const ShareProbe> MakeNetApiShareProbe(const NetShareApi& api) {
    return std::make_shared<NetApiShareProbe>(api);
}

Expected<std::shared_ptr<const ShareProbe>> MakeSystemShareProbe() {
    return MakeNetApiShareProbe();
}

} // namespace kestrune::smb
