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
// "InsiteReferral=on", ...) and what older writers wrote ("State=1"). Values that are not a
// state or one of these flags (Interlink=on, ...) say nothing here.
EntryFlags DecodeEntryFlags(const std::vector<std::string>* values);

// The values Windows writes for a new entry: the state first, then one value per flag that is
// on.
std::vector<std::string> EncodeEntryFlags(const EntryFlags& flags);

// The stored values rewritten to say `flags`: a value this program sets (the state, the flags
// of EntryFlags) changes only where its meaning changes, a flag turned on is added at the end,
// and every other value (Interlink=on of a link to another namespace, values of later
// versions) is kept as it is written.
std::vector<std::string> ReencodeEntryFlags(const EntryFlags& flags,
                                            const std::vector<std::string>* stored);

} // namespace kestrune
