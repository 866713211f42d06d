// The state and flags of a DFS root or link as the directory stores them: the multi-valued
// msDFS-Propertiesv2, one "Name=value" per value, compared without regard to case.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrune {

struct EntryFlags {
    bool offline = false;
    uint32_t propertyFlags = 0; // DFS_PROPERTY_FLAG_*
};

// Reads what Windows writes ("State=Okay", "State=Offline", "State=Online",
// "InsiteReferral=on", ...) and what older writers wrote ("State=1"). Values it does not know
// are passed over, as Windows does.
EntryFlags DecodeEntryFlags(const std::vector<std::string>* values);

// The values Windows writes: the state first, then one value per flag that is on.
std::vector<std::string> EncodeEntryFlags(const EntryFlags& flags);

} // namespace kestrune
