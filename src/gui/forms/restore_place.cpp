#include "gui/forms/restore_place.h"

namespace kestrune {
namespace {

bool IsSeparator(char16_t c) {
    return c == u' ' || c == u'\t' || c == u',' || c == u';';
}

// The field's text in the code page of the backup lines; a character the code page lacks would
// come out as '?' and name another namespace or server, so it is refused.
Expected<AnsiString> InCodePage(const char* field, const WideString& text) {
    AnsiString ansi = WideToAnsi(text);
    if (AnsiToWide(ansi) != text)
        return Error{0, std::string(field) + ": \"" + WideToUtf8(text) +
                            "\" holds characters that backup files cannot hold"};
    return ansi;
}

Error InField(const char* field, const Error& error) {
    return Error{error.code, std::string(field) + ": " + AnsiToUtf8(error.text)};
}

} // namespace

std::vector<WideString> ServerPairsOf(const WideString& text) {
    std::vector<WideString> pairs;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && IsSeparator(text[at]))
            ++at;
        size_t end = at;
        while (end < text.size() && !IsSeparator(text[end]))
            ++end;
        if (end > at) pairs.push_back(text.substr(at, end - at));
        at = end;
    }
    return pairs;
}

Expected<RestoreDestination> DestinationOfFields(const WideString& restoreInto,
                                                 const WideString& serverNames) {
    constexpr const char* kInto = "Restore into";
    constexpr const char* kServers = "Server names";
    RestoreDestination destination;
    const size_t first = restoreInto.find_first_not_of(u" \t");
    if (first != WideString::npos) {
        const WideString path =
            restoreInto.substr(first, restoreInto.find_last_not_of(u" \t") + 1 - first);
        Expected<AnsiString> ansi = InCodePage(kInto, path);
        if (!ansi) return ansi.error();
        Expected<AnsiString> parsed = ParseNamespacePath(*ansi);
        if (!parsed) return InField(kInto, parsed.error());
        destination.asNamespace = std::move(*parsed);
    }
    std::vector<AnsiString> pairs;
    for (const WideString& pair : ServerPairsOf(serverNames)) {
        Expected<AnsiString> ansi = InCodePage(kServers, pair);
        if (!ansi) return ansi.error();
        pairs.push_back(std::move(*ansi));
    }
    Expected<std::vector<ServerRename>> renames = ParseServerRenames(pairs);
    if (!renames) return InField(kServers, renames.error());
    destination.servers = std::move(*renames);
    if (destination.Empty())
        return Error{0, "Restore into: give the namespace (\\\\DOMAIN\\NAMESPACE) or the server "
                        "names (OLD=NEW) to restore into another place"};
    return destination;
}

} // namespace kestrune
