#include "backup/dfsutil_export.h"

#include "backup/backup_file.h"
#include "backup/backup_record.h"
#include "backup/restore_destination.h"
#include "backup/restore_properties.h"
#include "backup/xml_tags.h"
#include "base/ascii.h"
#include "base/case_fold.h"
#include "netdfs/netdfs.h"

#include <charconv>
#include <map>
#include <optional>

namespace kestrune {
namespace {

// The export's text as UTF-8: Windows' tools write UTF-16 with a byte-order mark, or 8-bit
// text, UTF-8 or (without a declaration that says so) the code page.
std::string AsUtf8(std::string_view bytes) {
    auto utf16 = [&](size_t from, bool bigEndian) {
        std::u16string wide;
        for (size_t i = from; i + 1 < bytes.size(); i += 2) {
            const auto hi = static_cast<unsigned char>(bytes[i + (bigEndian ? 0 : 1)]);
            const auto lo = static_cast<unsigned char>(bytes[i + (bigEndian ? 1 : 0)]);
            wide += static_cast<char16_t>(hi << 8 | lo);
        }
        return WideToUtf8(wide);
    };
    if (bytes.starts_with("\xFF\xFE")) return utf16(2, false);
    if (bytes.starts_with("\xFE\xFF")) return utf16(2, true);
    if (bytes.size() >= 2 && bytes[0] == '<' && bytes[1] == '\0') return utf16(0, false);
    if (bytes.size() >= 2 && bytes[0] == '\0' && bytes[1] == '<') return utf16(0, true);
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    std::string text(bytes);
    if (WideToUtf8(Utf8ToWide(text)) == text) return text;
    return AnsiToUtf8(text);
}

// "<Link Name="Data">" for messages.
std::string Describe(const XmlTag& tag) {
    const std::string* name = tag.AttributeIgnoringCase("Name");
    return "<" + tag.name + (name ? " Name=\"" + *name + "\">" : ">");
}

class ExportParser {
  public:
    explicit ExportParser(std::string_view xml) : reader_(xml, XmlTagReader::BareAmpersand::Text) {}

    Expected<DfsutilExport> Parse() {
        XmlTag root;
        if (!reader_.Next(root) || !SameTextAscii(root.name, "Root") || root.end)
            return Failure("no <Root> element");
        const std::string* name = root.AttributeIgnoringCase("Name");
        if (!name || name->empty()) return Failure("<Root>: no Name at byte " + At(root));
        rootPath_ = *name;
        while (!rootPath_.empty() && rootPath_.back() == '\\')
            rootPath_.pop_back();
        // Its lines name the namespace by it: anything else would be restored somewhere else.
        if (Expected<AnsiString> path = ParseNamespacePath(Utf8ToAnsi(rootPath_)); !path)
            return Failure("<Root Name=\"" + rootPath_ + "\">: " + AnsiToUtf8(path.error().text));
        if (!Entry(root, rootPath_, 300, true)) return Failure(error_);
        if (root.empty) return Failure("<Root>: a namespace without a root target");
        XmlTag tag;
        while (reader_.Next(tag)) {
            if (tag.end && SameTextAscii(tag.name, "Root")) return Finish();
            if (SameTextAscii(tag.name, "Target") && !tag.end) {
                if (!Target(tag, result_.properties.root, Describe(root))) return Failure(error_);
            } else if (SameTextAscii(tag.name, "Link") && !tag.end) {
                if (!Link(tag)) return Failure(error_);
            } else {
                return Failure(Describe(root) + ": an element <" + std::string(tag.end ? "/" : "") +
                               tag.name + "> that an export does not hold at byte " + At(tag));
            }
        }
        return Failure(reader_.Error().empty() ? "<Root>: the file ends before </Root>"
                                               : reader_.Error());
    }

  private:
    static std::string At(const XmlTag& tag) { return std::to_string(tag.at + 1); }
    Error Failure(const std::string& text) const {
        return Error{13, "The file is no dfsutil export that can be read: " + text + "."};
    }
    bool Fail(const std::string& text) {
        error_ = text;
        return false;
    }

    // A number attribute, decimal or 0x hexadecimal; fallback when it is not there.
    bool Number(const XmlTag& tag, std::string_view name, long long fallback, long long& value) {
        value = fallback;
        const std::string* text = tag.AttributeIgnoringCase(name);
        if (!text) return true;
        std::string_view digits = *text;
        const bool hex = digits.starts_with("0x") || digits.starts_with("0X");
        if (hex) digits.remove_prefix(2);
        auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
        if (error == std::errc() && end == digits.data() + digits.size() && !digits.empty())
            return true;
        return Fail(Describe(tag) + ": " + std::string(name) + " is no number (\"" + *text +
                    "\") at byte " + At(tag));
    }

    bool Entry(const XmlTag& tag, const std::string& path, long long ttl, bool isRoot) {
        EntryProperties& entry =
            isRoot ? result_.properties.root : result_.properties.links.emplace_back();
        entry.path = path;
        if (const std::string* comment = tag.AttributeIgnoringCase("Comment"))
            entry.description = *comment;
        long long state = 0, timeout = 0, attributes = 0;
        if (!Number(tag, "State", DFS_VOLUME_STATE_OK, state) ||
            !Number(tag, "Timeout", ttl, timeout) || !Number(tag, "Attributes", 0, attributes))
            return false;
        if (timeout < 0 || timeout > 0xFFFFFFFFLL)
            return Fail(Describe(tag) + ": Timeout out of range at byte " + At(tag));
        entry.online = (state & 0xF) != DFS_VOLUME_STATE_OFFLINE;
        entry.timeToLiveSec = static_cast<uint32_t>(timeout);
        // Attributes keeps more than the property flags; only those are the namespace's.
        const uint32_t known = isRoot ? DFS_KNOWN_PROPERTY_FLAGS
                                      : DFS_KNOWN_PROPERTY_FLAGS & ~DFS_ROOT_ONLY_PROPERTY_FLAGS;
        entry.flags = static_cast<uint32_t>(attributes) & known;
        return true;
    }

    bool Target(const XmlTag& tag, EntryProperties& entry, const std::string& within) {
        const std::string* server = tag.AttributeIgnoringCase("Server");
        const std::string* folder = tag.AttributeIgnoringCase("Folder");
        if (!server || server->empty() || !folder || folder->empty())
            return Fail(within + ": a <Target> without " +
                        (!server || server->empty() ? "Server" : "Folder") + " at byte " + At(tag));
        // \\server\folder: a server's name holds no separator, and the folder begins after one.
        if (server->find_first_of("\\/") != std::string::npos || folder->front() == '\\' ||
            folder->front() == '/')
            return Fail(within + ": <Target Server=\"" + *server + "\" Folder=\"" + *folder +
                        "\">: a path separator where none belongs at byte " + At(tag));
        TargetProperties target;
        target.targetPath = "\\\\" + *server + "\\" + *folder;
        long long state = 0, rank = 0;
        if (!Number(tag, "State", DFS_STORAGE_STATE_ONLINE, state)) return false;
        target.online = (state & DFS_STORAGE_STATE_ONLINE) || !(state & DFS_STORAGE_STATE_OFFLINE);
        const std::string* priority = tag.AttributeIgnoringCase("PriorityClass");
        if (!priority) priority = tag.AttributeIgnoringCase("ReferralPriorityClass");
        if (priority && !PriorityClass(*priority, target.priorityClass))
            return Fail(within + ": <Target Server=\"" + *server +
                        "\">: an unknown priority class \"" + *priority + "\" at byte " + At(tag));
        const char* rankName =
            tag.AttributeIgnoringCase("PriorityRank") ? "PriorityRank" : "ReferralPriorityRank";
        if (!Number(tag, rankName, 0, rank)) return false;
        target.priorityRank = static_cast<uint32_t>(rank);
        entry.targets.push_back(std::move(target));
        if (!AddLine(entry, *server + "\\" + *folder, within, tag)) return false;
        // A target's own end tag, when it is written as <Target ...></Target>.
        if (!tag.empty) {
            XmlTag end;
            if (!reader_.Next(end) || !end.end || !SameTextAscii(end.name, "Target"))
                return Fail(within + ": a <Target> that is not closed at byte " + At(tag));
        }
        return true;
    }

    // The priority class by number or by the names the cmdlets and Get-DfsnFolderTarget use.
    static bool PriorityClass(const std::string& text, uint32_t& value) {
        int number = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error == std::errc() && end == text.data() + text.size() && number >= -1 &&
            number <= DfsGlobalLowPriorityClass) {
            value = number < 0 ? 0 : static_cast<uint32_t>(number);
            return true;
        }
        std::string plain;
        for (char c : text)
            if (c != '-') plain += c;
        for (uint32_t c = 0; c <= DfsGlobalLowPriorityClass; ++c)
            if (SameTextAscii(plain, ReferralPriorityClassName(c))) {
                value = c;
                return true;
            }
        return false;
    }

    bool Link(const XmlTag& tag) {
        const std::string* name = tag.AttributeIgnoringCase("Name");
        if (!name || name->empty())
            return Fail("<Root Name=\"" + rootPath_ + "\">: a <Link> without Name at byte " +
                        At(tag));
        std::string relative = *name;
        for (char& c : relative)
            if (c == '/') c = '\\';
        while (!relative.empty() && relative.front() == '\\')
            relative.erase(0, 1);
        if (!Entry(tag, rootPath_ + "\\" + relative, 1800, false)) return false;
        const size_t index = result_.properties.links.size() - 1;
        if (!tag.empty) {
            XmlTag child;
            while (reader_.Next(child)) {
                if (child.end && SameTextAscii(child.name, "Link")) break;
                if (!SameTextAscii(child.name, "Target") || child.end)
                    return Fail(Describe(tag) + ": an element <" +
                                std::string(child.end ? "/" : "") + child.name +
                                "> that an export does not hold at byte " + At(child));
                if (!Target(child, result_.properties.links[index], Describe(tag))) return false;
            }
            if (!reader_.Error().empty()) return Fail(reader_.Error());
        }
        if (result_.properties.links[index].targets.empty())
            return Fail(Describe(tag) + ": a link without a <Target> at byte " + At(tag));
        return true;
    }

    // The target's backup line; refused, naming the element, when it could not be one (a
    // double quote or a NUL in a path), which a restore could not take back.
    bool AddLine(const EntryProperties& entry, const std::string& share, const std::string& within,
                 const XmlTag& tag) {
        const AnsiString comment = Utf8ToAnsi(entry.description.value_or(""));
        AnsiString line = FormatBackupLine(Utf8ToAnsi(entry.path), Utf8ToAnsi(share), comment,
                                           static_cast<int32_t>(entry.targets.size()) - 1);
        Expected<BackupLineParts> parts = ParseBackupLine(line);
        if (!parts)
            return Fail(within + ": a <Target> that makes no backup line (" +
                        AnsiToUtf8(parts.error().text) + ") at byte " + At(tag));
        // A double quote in a name ends the line's field early: the line would name another
        // entry.
        if (parts->entryPath != Utf8ToAnsi(entry.path))
            return Fail(within + ": a name that no backup line can hold (a double quote) at byte " +
                        At(tag));
        result_.lines.push_back(std::move(line));
        return true;
    }

    Expected<DfsutilExport> Finish() {
        if (result_.properties.root.targets.empty())
            return Failure("<Root Name=\"" + rootPath_ + "\">: a namespace without a root target");
        return std::move(result_);
    }

    XmlTagReader reader_;
    std::string rootPath_;
    std::string error_;
    DfsutilExport result_;
};

} // namespace

bool IsDfsutilExport(std::string_view bytes) {
    const std::string text = AsUtf8(bytes.substr(0, 4096));
    // XML begins with markup; a backup line that holds "<Root" somewhere is no export.
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || text[start] != '<') return false;
    XmlTagReader reader(text, XmlTagReader::BareAmpersand::Text);
    XmlTag first;
    return reader.Next(first) && !first.end && SameTextAscii(first.name, "Root");
}

Expected<DfsutilExport> ParseDfsutilExport(std::string_view bytes) {
    const std::string text = AsUtf8(bytes);
    return ExportParser(text).Parse();
}

} // namespace kestrune
