// The target list of a DFS root or link as the directory stores it (msDFS-TargetListv2):
// UTF-16LE XML with a byte-order mark.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrune {

// "\\server\share" per target, in stored order. Read tolerantly: attributes in any order or
// missing, the XML namespace declared or not, with or without byte-order mark. Nothing when
// the value is not a target list.
std::optional<std::vector<std::u16string>> DecodeTargetList(std::string_view bytes);

// A target list holding the targets, each online with normal priority.
std::string EncodeTargetList(const std::vector<std::u16string>& targets);

} // namespace kestrune
