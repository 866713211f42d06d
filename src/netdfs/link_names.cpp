#include "netdfs/link_names.h"

namespace kestrune {

bool IsValidLinkName(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..") return false;
    for (char16_t c : name)
        if (c < 0x20 || std::u16string_view(u"\"*/:<>?|").find(c) != std::u16string_view::npos)
            return false;
    return true;
}

} // namespace kestrune
