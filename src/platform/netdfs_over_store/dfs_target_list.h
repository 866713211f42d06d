// The target list of a DFS root or link as the directory stores it (msDFS-TargetListv2):
// UTF-16LE XML with a byte-order mark.
#pragma once

#include "base/expected.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// One target as the list holds it. The priority class uses the values of
// DFS_TARGET_PRIORITY_CLASS (0 site-cost normal, 1 global high, 2 site-cost high, 3 site-cost
// low, 4 global low).
struct StoredTarget {
    std::u16string path; // \\server\share
    bool online = true;
    uint32_t priorityClass = 0;
    uint16_t priorityRank = 0;

    bool operator==(const StoredTarget&) const = default;
};

// The list's spelling of a priority class ("siteCostNormal", "globalHigh", ...), and back,
// without regard to case; false for a class the list cannot name.
std::u16string_view PriorityClassName(uint32_t priorityClass);
bool PriorityClassFromName(std::u16string_view name, uint32_t& priorityClass);

// "\\server\share" per target, in stored order, without the white space around it. Read as
// Windows may write it: UTF-16 (either byte order, byte-order mark or not) or UTF-8, an XML
// declaration naming any of them, attributes in any order, quoted either way or missing, the
// XML namespace declared or not, comments, character and entity references, CDATA. An empty
// target element is no target. Anything that is not such a list (cut short, a reference XML
// does not know, elements that do not match, text outside a target) is an error saying what
// is wrong and where; never a shorter list.
Expected<std::vector<std::u16string>> DecodeTargetList(std::string_view bytes);

// The same with each target's state and priority. Missing attributes take their defaults
// (online, siteCostNormal, rank 0); a value the schema does not allow is an error, never a
// default.
Expected<std::vector<StoredTarget>> DecodeTargetEntries(std::string_view bytes);

// A target list as Windows writes it: major version 2, the count and the length of the target
// strings in bytes, each target's state, its priority class when it is not the default and its
// rank when it is not 0.
std::string EncodeTargetEntries(const std::vector<StoredTarget>& targets);
// Each target online with normal priority.
std::string EncodeTargetList(const std::vector<std::u16string>& targets);

} // namespace kestrune
