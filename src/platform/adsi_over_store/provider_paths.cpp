#include "platform/adsi_over_store/provider_paths.h"

#include "adsi/adsi_path.h"
#include "base/ansi_string.h"
#include "platform/store/dn.h"

namespace kestrune::adsi_store {

// The first unescaped "/" ends the server; a "/" inside the DN must be escaped ("\/"), as
// ADSI requires, so "LDAP://CN=10.0.0.0/16,..." is refused.
bool ParsePath(const std::u16string& text, Path& path) {
    size_t colon = text.find(u"://");
    if (colon == std::u16string::npos) return false;
    path.provider = text.substr(0, colon);
    if (path.provider != u"LDAP" && path.provider != u"GC") return false;
    std::u16string_view rest = std::u16string_view(text).substr(colon + 3);
    size_t slash = adsi::FindUnescaped(rest, u'/');
    if (slash != std::u16string_view::npos) {
        path.server = std::u16string(rest.substr(0, slash));
        rest = rest.substr(slash + 1);
        // A server name holds no "=": the text before the "/" was a DN.
        if (path.server.empty() || path.server.find(u'=') != std::u16string::npos) return false;
        bool schemaClass =
            store::FoldCase(WideToUtf8(path.server)) == "schema" ||
            store::FoldCase(WideToUtf8(std::u16string(rest.substr(0, 7)))) == "schema/";
        if (!schemaClass && adsi::FindUnescaped(rest, u'/') != std::u16string_view::npos)
            return false;
    } else if (!rest.empty() && rest.find(u'=') == std::u16string_view::npos) {
        path.server = std::u16string(rest); // LDAP://server alone: its default naming context
        rest = {};
    }
    path.dn = WideToUtf8(adsi::UnescapePathDn(rest));
    return true;
}

std::u16string Prefix(const Path& path) {
    std::u16string p = path.provider + u"://";
    if (!path.server.empty()) p += path.server + u"/";
    return p;
}

std::u16string PathOf(const Path& path, const std::string& dn) {
    return Prefix(path) + adsi::EscapePathDn(Utf8ToWide(dn));
}

std::string SchemaClassName(const Path& path) {
    if (store::FoldCase(WideToUtf8(path.server)) == "schema" &&
        path.dn.find('=') == std::string::npos)
        return path.dn;
    if (store::FoldCase(path.dn.substr(0, 7)) == "schema/") return path.dn.substr(7);
    return std::string();
}

} // namespace kestrune::adsi_store
