// The target list of a DFS root or link as the directory stores it (msDFS-TargetListv2):
// UTF-16LE XML with a byte-order mark.
#pragma once

#include "base/expected.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// "\\server\share" per target, in stored order, without the white space around it. Read as
// Windows may write it: UTF-16 (either byte order, byte-order mark or not) or UTF-8, an XML
// declaration naming any of them, attributes in any order, quoted either way or missing, the
// XML namespace declared or not, comments, character and entity references, CDATA. An empty
// target element is no target. Anything that is not such a list (cut short, a reference XML
// does not know, elements that do not match, text outside a target) is an error saying what
// is wrong and where; never a shorter list.
Expected<std::vector<std::u16string>> DecodeTargetList(std::string_view bytes);

// A target list holding the targets, each online with normal priority.
std::string EncodeTargetList(const std::vector<std::u16string>& targets);

} // namespace kestrune
