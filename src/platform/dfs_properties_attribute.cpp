#include "platform/dfs_properties_attribute.h"

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

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

} // namespace

EntryFlags DecodeEntryFlags(const std::vector<std::string>* values) {
    EntryFlags flags;
    if (!values) return flags;
    for (const std::string& value : *values) {
        size_t equals = value.find('=');
        if (equals == std::string::npos) continue;
        std::string_view name = Trimmed(std::string_view(value).substr(0, equals));
        std::string_view setting = Trimmed(std::string_view(value).substr(equals + 1));
        if (Same(name, "State")) {
            flags.offline = Same(setting, "Offline") || setting == "3";
            continue;
        }
        for (const FlagName& f : kFlags)
            if (Same(name, f.name) && Same(setting, "on")) flags.propertyFlags |= f.flag;
    }
    return flags;
}

std::vector<std::string> EncodeEntryFlags(const EntryFlags& flags) {
    std::vector<std::string> values{flags.offline ? "State=Offline" : "State=Okay"};
    for (const FlagName& f : kFlags)
        if (flags.propertyFlags & f.flag) values.push_back(std::string(f.name) + "=on");
    return values;
}

} // namespace kestrune
