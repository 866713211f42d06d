// The names the properties file gives priority classes and flags, as the DFSN cmdlets name
// them; shared by its reader and its writer.
#pragma once

#include "netdfs/netdfs_buffer.h"

#include <cstdint>
#include <string_view>

namespace kestrune::properties_names {

// Indexed by DFS_TARGET_PRIORITY_CLASS.
inline constexpr std::string_view kPriorityClasses[] = {"SiteCostNormal", "GlobalHigh",
                                                        "SiteCostHigh", "SiteCostLow", "GlobalLow"};
// The same as Get-DfsnFolderTarget prints them; the reader takes both.
inline constexpr std::string_view kPrintedPriorityClasses[] = {
    "site-cost-normal", "global-high", "site-cost-high", "site-cost-low", "global-low"};

struct FlagName {
    uint32_t flag;
    std::string_view name;
    bool rootOnly;
};
inline constexpr FlagName kFlags[] = {
    {DFS_PROPERTY_FLAG_INSITE_REFERRALS, "EnableInsiteReferrals", false},
    {DFS_PROPERTY_FLAG_TARGET_FAILBACK, "EnableTargetFailback", false},
    {DFS_PROPERTY_FLAG_SITE_COSTING, "EnableSiteCosting", true},
    {DFS_PROPERTY_FLAG_ROOT_SCALABILITY, "EnableRootScalability", true},
    {DFS_PROPERTY_FLAG_ABDE, "EnableAccessBasedEnumeration", true},
};

} // namespace kestrune::properties_names
