#include "platform/netdfs_over_store/dfs_properties_attribute.h"

#include "base/ascii.h"
#include "netdfs/netdfs.h"

#include <string_view>

namespace kestrune {
namespace {

struct FlagName {
    uint32_t flag;
    std::string_view name;
};

constexpr FlagName kFlags[] = {
    {DFS_PROPERTY_FLAG_INSITE_REFERRALS, "InsiteReferral"},
    {DFS_PROPERTY_FLAG_ROOT_SCALABILITY, "RootScalability"},
    {DFS_PROPERTY_FLAG_SITE_COSTING, "ReferralSiteCosting"},
    {DFS_PROPERTY_FLAG_TARGET_FAILBACK, "TargetFailback"},
    {DFS_PROPERTY_FLAG_ABDE, "ABDE"},
};

bool Same(std::string_view a, std::string_view b) {
    return SameTextAscii(a, b);
}

// A value split at its "=", without the blanks around either part.
struct NameAndSetting {
    std::string_view name;
    std::string_view setting;
};

bool Split(std::string_view value, NameAndSetting& out) {
    size_t equals = value.find('=');
    if (equals == std::string_view::npos) return false;
    out = {Trim(value.substr(0, equals), " "), Trim(value.substr(equals + 1), " ")};
    return true;
}

bool SaysOffline(std::string_view setting) {
    return Same(setting, "Offline") || setting == "3";
}

const FlagName* FlagNamed(std::string_view name) {
    for (const FlagName& f : kFlags)
        if (Same(name, f.name)) return &f;
    return nullptr;
}

std::string StateValue(bool offline) {
    return offline ? "State=Offline" : "State=Okay";
}

} // namespace

EntryFlags DecodeEntryFlags(const std::vector<std::string>* values) {
    EntryFlags flags;
    if (!values) return flags;
    for (const std::string& value : *values) {
        NameAndSetting part;
        if (!Split(value, part)) continue;
        if (Same(part.name, "State")) {
            flags.offline = SaysOffline(part.setting);
        } else if (const FlagName* f = FlagNamed(part.name); f && Same(part.setting, "on")) {
            flags.propertyFlags |= f->flag;
        }
    }
    return flags;
}

std::vector<std::string> EncodeEntryFlags(const EntryFlags& flags) {
    std::vector<std::string> values{StateValue(flags.offline)};
    for (const FlagName& f : kFlags)
        if (flags.propertyFlags & f.flag) values.push_back(std::string(f.name) + "=on");
    return values;
}

std::vector<std::string> ReencodeEntryFlags(const EntryFlags& flags,
                                            const std::vector<std::string>* stored) {
    if (!stored) return EncodeEntryFlags(flags);
    std::vector<std::string> values;
    bool stateWritten = false;
    uint32_t flagsWritten = 0;
    for (const std::string& value : *stored) {
        NameAndSetting part;
        if (!Split(value, part)) {
            values.push_back(value);
        } else if (Same(part.name, "State")) {
            // One state; "State=Online" and "State=Okay" both say online and stay as written.
            if (stateWritten) continue;
            values.push_back(
                SaysOffline(part.setting) == flags.offline ? value : StateValue(flags.offline));
            stateWritten = true;
        } else if (const FlagName* f = FlagNamed(part.name)) {
            // A value that says what the flag is stays as written; an "on" for a flag turned
            // off goes (Windows writes nothing for off), an "off" for one turned on says "on".
            const bool on = (flags.propertyFlags & f->flag) != 0;
            const bool saysOn = Same(part.setting, "on");
            if (!on) {
                if (!saysOn) values.push_back(value);
            } else if (!(flagsWritten & f->flag)) {
                values.push_back(saysOn ? value : std::string(f->name) + "=on");
                flagsWritten |= f->flag;
            }
        } else {
            values.push_back(value);
        }
    }
    if (!stateWritten) values.insert(values.begin(), StateValue(flags.offline));
    for (const FlagName& f : kFlags)
        if ((flags.propertyFlags & f.flag) && !(flagsWritten & f.flag))
            values.push_back(std::string(f.name) + "=on");
    return values;
}

} // namespace kestrune
