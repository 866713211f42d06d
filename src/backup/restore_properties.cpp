#include "backup/restore_properties.h"

#include "backup/backup_history.h"
#include "base/ascii.h"
#include "base/file_io.h"
#include "base/security_descriptor.h"
#include "base/sha256.h"
#include "base/win_errors.h"

namespace kestrune {
namespace {

// A new link's referral time, as Windows gives it.
constexpr uint32_t kNewLinkTimeToLive = 1800;

std::string Folded(std::string_view utf8) {
    std::string out(utf8);
    for (char& c : out)
        c = LowerAscii(c);
    return out;
}

} // namespace

RecordedProperties::RecordedProperties(NamespaceProperties properties)
    : properties_(std::move(properties)) {
    for (const EntryProperties& link : properties_.links)
        links_.emplace(Folded(link.path), &link);
}

const EntryProperties* RecordedProperties::Link(const AnsiString& entryPath) const {
    auto it = links_.find(Folded(WideToUtf8(AnsiToWide(entryPath))));
    return it == links_.end() ? nullptr : it->second;
}

LoadedProperties LoadMatchingProperties(const std::filesystem::path& backupFile) {
    LoadedProperties loaded;
    const std::filesystem::path file = PropertiesFileOf(backupFile);
    std::error_code error;
    if (!std::filesystem::exists(file, error)) return loaded;
    try {
        Expected<NamespaceProperties> properties = ParsePropertiesFile(ReadWholeFile(file));
        if (!properties) {
            loaded.warning = "the properties file cannot be read (" + properties.error().text +
                             "); links are restored with the platform's defaults";
        } else if (properties->backupFileSha256 != Sha256Hex(ReadWholeFile(backupFile))) {
            loaded.warning = "the properties file belongs to another version of the backup "
                             "file; links are restored with the platform's defaults";
        } else {
            loaded.recorded.emplace(std::move(*properties));
        }
    } catch (const EFileError& e) {
        loaded.warning =
            std::string(e.what()) + "; links are restored with the platform's defaults";
    }
    if (!loaded.warning.empty()) loaded.warning = WideToAnsi(Utf8ToWide(loaded.warning));
    return loaded;
}

bool ApplyRecordedProperties(TOXLDFS& dfs, const EntryProperties& link, const TargetParts& target,
                             bool withLink, std::string& failedProperty) {
    auto set = [&](const char* property, uint32_t level, const void* info, bool ofTarget) {
        if (dfs.SetInfo(level, info, ofTarget)) return true;
        failedProperty = property;
        return false;
    };
    if (withLink) {
        if (!link.online) {
            DFS_INFO_101 state{DFS_VOLUME_STATE_OFFLINE};
            if (!set("State", 101, &state, false)) return false;
        }
        if (link.timeToLiveSec != kNewLinkTimeToLive) {
            DFS_INFO_102 ttl{link.timeToLiveSec};
            if (!set("TimeToLiveSec", 102, &ttl, false)) return false;
        }
        if (link.flags != 0) {
            DFS_INFO_103 flags{link.flags, link.flags};
            if (!set("EnableInsiteReferrals/EnableTargetFailback", 103, &flags, false))
                return false;
        }
        if (!link.viewSddl.empty()) {
            Expected<std::string> sd = SddlToSecurityDescriptor(link.viewSddl);
            DFS_INFO_150 view{sd ? static_cast<uint32_t>(sd->size()) : 0,
                              sd ? reinterpret_cast<uint8_t*>(sd->data()) : nullptr};
            if (!sd || !set("ViewPermissions", 150, &view, false)) {
                failedProperty = "ViewPermissions";
                return false;
            }
        }
    }
    const std::string wanted =
        Folded(WideToUtf8(AnsiToWide("\\\\" + target.server + "\\" + target.share)));
    for (const TargetProperties& t : link.targets) {
        if (Folded(t.targetPath) != wanted) continue;
        if (!t.online) {
            DFS_INFO_101 state{DFS_STORAGE_STATE_OFFLINE};
            if (!set("State of the target", 101, &state, true)) return false;
        }
        if (t.priorityClass != 0 || t.priorityRank != 0) {
            DFS_INFO_104 priority{{static_cast<DFS_TARGET_PRIORITY_CLASS>(t.priorityClass),
                                   static_cast<uint16_t>(t.priorityRank), 0}};
            if (!set("ReferralPriorityClass", 104, &priority, true)) return false;
        }
        break;
    }
    return true;
}

} // namespace kestrune
