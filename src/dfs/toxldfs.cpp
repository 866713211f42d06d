#include "dfs/toxldfs.h"

#include "base/message_table.h"
#include "base/win_errors.h"

#include <array>
#include <exception>
#include <optional>

namespace kestrune {
namespace {

using NameBuffer = std::array<char16_t, TOXLDFS::kMaxText + 1>;

// The text as the platform receives it: through the ANSI code page into a zero-filled buffer.
// Nothing when it does not fit.
std::optional<NameBuffer> ToTextBuffer(const WideString& text) {
    if (text.size() > TOXLDFS::kMaxText) return std::nullopt;
    NameBuffer buffer{};
    std::copy(text.begin(), text.end(), buffer.begin());
    return buffer;
}

std::optional<NameBuffer> ToNameBuffer(const WideString& text) {
    return ToTextBuffer(AnsiToWide(WideToAnsi(text)));
}

WideString WideFromPlatform(const char16_t* text) {
    return text ? WideString(text) : WideString();
}

AnsiString FromPlatform(const char16_t* text) {
    return text ? WideToAnsi(std::u16string_view(text)) : AnsiString();
}

// Releases an enumeration buffer however the walk over it ends.
class BufferGuard {
  public:
    explicit BufferGuard(uint8_t* buffer) : buffer_(buffer) {}
    ~BufferGuard() { NetApiBufferFree(buffer_); }
    BufferGuard(const BufferGuard&) = delete;
    BufferGuard& operator=(const BufferGuard&) = delete;

  private:
    uint8_t* buffer_;
};

// Whether a walk or an addition went as it should: ERROR_NO_MORE_ITEMS is how a walk ends.
bool Succeeded(NET_API_STATUS status) {
    return status == NERR_Success || status == ERROR_NO_MORE_ITEMS;
}

} // namespace

bool TOXLDFS::Enumerate(uint32_t level, uint32_t prefMaxLen, const RecordWalk& walk) {
    if (OnDFSEnumStart) OnDFSEnumStart(this);
    bool result = false;
    DfsStatus status = ERROR_INVALID_PARAMETER;
    if (std::optional<NameBuffer> name = ToNameBuffer(FDFSEntry)) {
        bool abort = false;
        uint32_t resume = 0;
        uint32_t count = 0;
        uint8_t* buffer = nullptr;
        try {
            status = netdfs::Enum(name->data(), level, prefMaxLen, &buffer, &count, &resume);
            result = status.ok();
            while (status == NERR_Success) {
                {
                    BufferGuard guard(buffer);
                    walk(buffer, count, abort);
                }
                if (abort) break;
                status = netdfs::Enum(name->data(), level, prefMaxLen, &buffer, &count, &resume);
            }
        } catch (...) {
            // A failing handler ends the walk quietly; the status of the last call stands.
            ++FSwallowedExceptions;
        }
    }
    FLastError = status.code;
    FLastErrorDetail = Succeeded(status.code) ? std::string() : std::move(status.detail);
    if (OnDFSEnumStop) OnDFSEnumStop(this);
    return result;
}

void TOXLDFS::ReportRoots(const uint8_t* buffer, uint32_t count, bool& abort) {
    const auto* records = reinterpret_cast<const DFS_INFO_200*>(buffer);
    // Every record of the buffer is reported; Abort is looked at between buffers.
    for (uint32_t i = 0; i < count; ++i) {
        if (ONDFSEnumWide) ONDFSEnumWide(this, WideFromPlatform(records[i].FtDfsName));
        if (ONDFSEnum) ONDFSEnum(this, FromPlatform(records[i].FtDfsName), abort);
    }
}

template <typename Storage>
void TOXLDFS::ReportStorages(const char16_t* path, const char16_t* comment, const Storage* storages,
                             uint32_t count, bool& abort) {
    for (uint32_t s = 0; s < count; ++s) {
        // Each report stands alone: a failure in one does not stop the next.
        try {
            const Storage& storage = storages[s];
            if (ONDFSEnum2Wide)
                ONDFSEnum2Wide(this, WideFromPlatform(path),
                               WideFromPlatform(storage.ServerName) + u"\\" +
                                   WideFromPlatform(storage.ShareName),
                               WideFromPlatform(comment));
            if (!ONDFSEnum2) continue;
            AnsiString share =
                FromPlatform(storage.ServerName) + "\\" + FromPlatform(storage.ShareName);
            ONDFSEnum2(this, FromPlatform(path), share, FromPlatform(comment),
                       static_cast<int32_t>(s), abort);
        } catch (...) {
            ++FSwallowedExceptions;
        }
    }
}

void TOXLDFS::ReportLinks(const uint8_t* buffer, uint32_t count, bool& abort) {
    const auto* records = reinterpret_cast<const DFS_INFO_3*>(buffer);
    for (uint32_t i = 0; i < count; ++i)
        ReportStorages(records[i].EntryPath, records[i].Comment, records[i].Storage,
                       records[i].NumberOfStorages, abort);
}

void TOXLDFS::ReportLinksWithProperties(const uint8_t* buffer, uint32_t count, bool& abort) {
    const auto* records = reinterpret_cast<const DFS_INFO_9*>(buffer);
    for (uint32_t i = 0; i < count; ++i) {
        try {
            if (ONDFSEntryProperties) ONDFSEntryProperties(this, records[i]);
        } catch (...) {
            ++FSwallowedExceptions;
        }
        ReportStorages(records[i].EntryPath, records[i].Comment, records[i].Storage,
                       records[i].NumberOfStorages, abort);
    }
}

bool TOXLDFS::EnumRoots() {
    return Enumerate(200, MAX_PREFERRED_LENGTH,
                     [this](const uint8_t* buffer, uint32_t count, bool& abort) {
                         ReportRoots(buffer, count, abort);
                     });
}

bool TOXLDFS::EnumLinks() {
    return Enumerate(3, MAX_PREFERRED_LENGTH,
                     [this](const uint8_t* buffer, uint32_t count, bool& abort) {
                         ReportLinks(buffer, count, abort);
                     });
}

bool TOXLDFS::EnumLinksWithProperties() {
    return Enumerate(9, kPropertiesPageBytes,
                     [this](const uint8_t* buffer, uint32_t count, bool& abort) {
                         ReportLinksWithProperties(buffer, count, abort);
                     });
}

bool TOXLDFS::GetEntryProperties() {
    std::optional<NameBuffer> entry = ToNameBuffer(FDFSEntry);
    if (!entry) return RefuseText();
    uint8_t* buffer = nullptr;
    const bool read =
        CallPlatform([&] { return netdfs::GetInfo(entry->data(), nullptr, nullptr, 9, &buffer); });
    if (read && buffer && ONDFSEntryProperties) {
        try {
            ONDFSEntryProperties(this, *reinterpret_cast<const DFS_INFO_9*>(buffer));
        } catch (...) {
            ++FSwallowedExceptions;
        }
    }
    NetApiBufferFree(buffer);
    return read;
}

bool TOXLDFS::SetInfo(uint32_t Level, const void* Info, bool ofTarget) {
    std::optional<NameBuffer> entry = ToNameBuffer(FDFSEntry);
    std::optional<NameBuffer> server = ToNameBuffer(FServername);
    std::optional<NameBuffer> share = ToNameBuffer(FShareName);
    if (!entry || !server || !share) return RefuseText();
    return CallPlatform([&] {
        return netdfs::SetInfo(entry->data(), ofTarget ? server->data() : nullptr,
                               ofTarget ? share->data() : nullptr, Level,
                               static_cast<const uint8_t*>(Info));
    });
}

bool TOXLDFS::AddLink() {
    std::optional<NameBuffer> entry = ToNameBuffer(FDFSEntry);
    std::optional<NameBuffer> server = ToNameBuffer(FServername);
    // A comment names nothing: it reaches the platform whole, characters the code page lacks
    // included (a restore gives it from the properties file in full).
    std::optional<NameBuffer> comment = ToTextBuffer(FComment);
    std::optional<NameBuffer> share = ToNameBuffer(FShareName);
    if (!entry || !server || !comment || !share) return RefuseText();
    return CallPlatform([&] {
        return netdfs::Add(entry->data(), server->data(), share->data(), comment->data(), FFlags);
    });
}

void TOXLDFS::BeginChanges() {
    NetDfsBeginChanges();
}

bool TOXLDFS::EndChanges() {
    return CallPlatform([] { return netdfs::EndChanges(); });
}

bool TOXLDFS::ChangeGroup(const std::function<void()>& work) {
    return CallPlatform([&] { return netdfs::ChangeGroup(work); });
}

bool TOXLDFS::ChangeLink(const std::function<void()>& work) {
    return CallPlatform([&] { return netdfs::ChangeLink(work); });
}

bool TOXLDFS::AddRootTarget(uint32_t MajorVersion) {
    std::optional<NameBuffer> entry = ToNameBuffer(FDFSEntry);
    std::optional<NameBuffer> comment = ToTextBuffer(FComment); // whole, as AddLink's
    // Servername may carry its backslashes ("\\srv") or not.
    WideString server = FServername;
    while (!server.empty() && server.front() == u'\\')
        server.erase(0, 1);
    std::optional<NameBuffer> target = ToNameBuffer(u"\\\\" + server + u"\\" + FShareName);
    if (!entry || !comment || !target) return RefuseText();
    return CallPlatform([&] {
        return netdfs::AddRootTarget(entry->data(), target->data(), MajorVersion,
                                     FComment.empty() ? nullptr : comment->data(), 0);
    });
}

bool TOXLDFS::GetSecurity(std::string& SecurityDescriptor) {
    SecurityDescriptor.clear();
    std::optional<NameBuffer> entry = ToNameBuffer(FDFSEntry);
    if (!entry) return RefuseText();
    return CallPlatform([&] {
        uint8_t* buffer = nullptr;
        uint32_t size = 0;
        DfsStatus status =
            netdfs::GetSecurity(entry->data(), DACL_SECURITY_INFORMATION, &buffer, &size);
        if (status == NERR_Success && buffer)
            SecurityDescriptor.assign(reinterpret_cast<const char*>(buffer), size);
        NetApiBufferFree(buffer);
        return status;
    });
}

bool TOXLDFS::SetSecurity(const std::string& SecurityDescriptor) {
    std::optional<NameBuffer> entry = ToNameBuffer(FDFSEntry);
    if (!entry) return RefuseText();
    return CallPlatform([&] {
        return netdfs::SetSecurity(entry->data(), DACL_SECURITY_INFORMATION,
                                   reinterpret_cast<const uint8_t*>(SecurityDescriptor.data()),
                                   static_cast<uint32_t>(SecurityDescriptor.size()));
    });
}

bool TOXLDFS::GetNamespaceMode(DFS_INFO_50& mode) {
    std::optional<NameBuffer> entry = ToNameBuffer(FDFSEntry);
    if (!entry) return RefuseText();
    return CallPlatform([&] {
        uint8_t* buffer = nullptr;
        DfsStatus status = netdfs::GetInfo(entry->data(), nullptr, nullptr, 50, &buffer);
        if (status == NERR_Success && buffer) mode = *reinterpret_cast<const DFS_INFO_50*>(buffer);
        NetApiBufferFree(buffer);
        return status;
    });
}

bool TOXLDFS::RefuseText() {
    FLastError = ERROR_INVALID_PARAMETER;
    FLastErrorDetail.clear();
    return false;
}

AnsiString DfsFailureText(uint32_t status, const std::string& detail) {
    AnsiString text = StatusText(status);
    if (!detail.empty()) text += " (" + Utf8ToAnsi(detail) + ")";
    return text;
}

AnsiString TOXLDFS::LastErrorText() const {
    return DfsFailureText(FLastError, FLastErrorDetail);
}

bool TOXLDFS::CallPlatform(const std::function<DfsStatus()>& call) {
    DfsStatus status = ERROR_INTERNAL_ERROR;
    try {
        status = call();
    } catch (const std::exception& e) {
        FLastErrors = e.what();
    } catch (...) {
        FLastErrors = "Unknown exception";
    }
    FLastError = status.code;
    FLastErrorDetail = Succeeded(status.code) ? std::string() : std::move(status.detail);
    return status.ok();
}

} // namespace kestrune
