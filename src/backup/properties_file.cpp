#include "backup/properties_file.h"

#include "backup/properties_file_names.h"
#include "backup/xml_tags.h"
#include "base/ansi_string.h"
#include "base/ascii.h"
#include "base/case_fold.h"
#include "base/file_io.h"
#include "base/hashed_key_index.h"
#include "base/security_descriptor.h"

#include <algorithm>
#include <map>

namespace kestrune {
namespace {

using namespace properties_names;

constexpr std::string_view kFolderTag = "<Folder ";
constexpr const char* kNoRoot = "no <DfsnProperties> element";

// How often a text occurs in bytes: room for the links is made once, as a hundred thousand of
// them grown into would hold up to half as many again unused.
size_t CountOf(std::string_view bytes, std::string_view text) {
    size_t count = 0;
    for (size_t at = bytes.find(text); at != std::string_view::npos;
         at = bytes.find(text, at + text.size()))
        ++count;
    return count;
}

bool ParseNumber(const std::string& text, uint32_t limit, uint32_t& value) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > limit) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

// A priority class as the cmdlets take it ("GlobalHigh") or as Get-DfsnFolderTarget prints it
// ("global-high"), case aside.
bool PriorityClassFromName(std::string_view name, uint32_t& priorityClass) {
    for (uint32_t i = 0; i < std::size(kPriorityClasses); ++i)
        if (SameTextAscii(name, kPriorityClasses[i]) ||
            SameTextAscii(name, kPrintedPriorityClasses[i])) {
            priorityClass = i;
            return true;
        }
    return false;
}

// Reads the attributes an entry or target has; what is missing keeps its default.
bool ReadState(const std::map<std::string, std::string>& a, bool& online, std::string& why) {
    auto it = a.find("State");
    if (it == a.end()) return true;
    if (SameTextAscii(it->second, "Online"))
        online = true;
    else if (SameTextAscii(it->second, "Offline"))
        online = false;
    else
        return why = "a State that is neither Online nor Offline", false;
    return true;
}

bool ReadEntry(const XmlTag& e, bool isRoot, EntryProperties& entry, std::string& why) {
    const auto& a = e.attributes;
    auto path = a.find("Path");
    if (path == a.end() || path->second.empty())
        return why = "a <" + e.name + "> without a Path", false;
    entry.path = path->second;
    if (auto d = a.find("Description"); d != a.end()) entry.description = d->second;
    if (!ReadState(a, entry.online, why)) return false;
    if (auto t = a.find("TimeToLiveSec");
        t != a.end() && !ParseNumber(t->second, 0xFFFFFFFFu, entry.timeToLiveSec))
        return why = "a TimeToLiveSec that is not a number", false;
    for (const FlagName& f : kFlags) {
        auto it = a.find(std::string(f.name));
        if (it == a.end() || (f.rootOnly && !isRoot)) continue;
        if (SameTextAscii(it->second, "true"))
            entry.flags |= f.flag;
        else if (!SameTextAscii(it->second, "false"))
            return why = std::string(f.name) + " that is neither true nor false", false;
    }
    if (auto v = a.find("ViewPermissions"); v != a.end() && !isRoot) {
        // Read with stand-in domain SIDs: a domain's group named by alias (DA) is resolved
        // against the namespace's domain where the permissions are compared or set.
        const DomainSids standIn{"S-1-5-21-0-0-0", "S-1-5-21-0-0-0"};
        if (Expected<std::string> sd = SddlToSecurityDescriptor(v->second, standIn); !sd)
            return why = "ViewPermissions that cannot be read: " + sd.error().text, false;
        entry.viewSddl = v->second;
    }
    if (auto m = a.find("ManagementPermissions"); m != a.end() && isRoot) {
        if (Expected<std::string> sd = SddlToSecurityDescriptor(m->second); !sd)
            return why = "ManagementPermissions that cannot be read: " + sd.error().text, false;
        entry.manageSddl = m->second;
    }
    return true;
}

bool ReadTarget(const XmlTag& e, TargetProperties& target, std::string& why) {
    const auto& a = e.attributes;
    auto path = a.find("TargetPath");
    if (path == a.end() || path->second.empty())
        return why = "a target without a TargetPath", false;
    target.targetPath = path->second;
    if (!ReadState(a, target.online, why)) return false;
    if (auto c = a.find("ReferralPriorityClass");
        c != a.end() && !PriorityClassFromName(c->second, target.priorityClass))
        return why = "an unknown ReferralPriorityClass", false;
    if (auto r = a.find("ReferralPriorityRank");
        r != a.end() && !ParseNumber(r->second, 31, target.priorityRank))
        return why = "a ReferralPriorityRank that is not 0 to 31", false;
    return true;
}

// "<Folder Path="\\d\N\L">: ", naming the element a reason is about.
std::string Named(const XmlTag& e, const std::string& pathAttribute) {
    auto path = e.attributes.find(pathAttribute);
    if (path == e.attributes.end()) return "<" + e.name + ">: ";
    return "<" + e.name + " " + pathAttribute + "=\"" + path->second + "\">: ";
}

} // namespace

void PropertiesFileParser::Add(std::string_view piece) {
    if (done_) return;
    pending_ += piece;
    if (pending_.size() < retryAt_) return;
    const size_t used = Parse(false);
    // A tag longer than a piece (or a comment never closed) is read again only once the text
    // has doubled, not for every piece: a file of one long tag is not read in quadratic time.
    retryAt_ = used == 0 ? 2 * pending_.size() : 0;
    pending_.erase(0, used);
    consumed_ += used;
}

Expected<NamespaceProperties> PropertiesFileParser::Finish() {
    if (!done_) Parse(true);
    pending_ = {};
    if (!error_.empty()) return Error{0, error_};
    return std::move(p_);
}

size_t PropertiesFileParser::Parse(bool last) {
    std::string_view text = pending_;
    // A byte order mark cut short is no tag either: it waits for its last byte like one.
    const size_t bom = consumed_ == 0 && text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    XmlTagReader reader(text.substr(bom), XmlTagReader::BareAmpersand::Refused, consumed_ + bom);
    XmlTag e;
    size_t used = 0;
    while (!done_) {
        if (!reader.Next(e)) {
            // A tag the piece cuts short may continue in the next; at the end it cannot.
            if (!last) return bom + used;
            if (!reader.Failed()) reader.Fail(started_ ? "the file is cut short" : kNoRoot);
            return Stop(reader);
        }
        used = reader.Position();
        if (!Take(e, reader)) return Stop(reader);
    }
    return pending_.size();
}

size_t PropertiesFileParser::Stop(const XmlTagReader& reader) {
    done_ = true;
    error_ = reader.Error();
    return pending_.size();
}

bool PropertiesFileParser::Take(const XmlTag& e, XmlTagReader& reader) {
    if (!started_) {
        if (e.end || e.name != "DfsnProperties") return reader.Fail(kNoRoot);
        uint32_t version = 0;
        auto attribute = [&](const char* name) {
            auto it = e.attributes.find(name);
            return it == e.attributes.end() ? std::string() : it->second;
        };
        if (!ParseNumber(attribute("FormatVersion"), 1000000, version) || version < 1)
            return reader.Fail("no FormatVersion");
        p_.backupFileSha256 = attribute("BackupFileSha256");
        if (e.empty) return reader.Fail("no <Namespace> element");
        started_ = true;
        return true;
    }
    if (unknownDepth_ > 0) {
        if (e.end)
            --unknownDepth_;
        else if (!e.empty)
            ++unknownDepth_;
        return true;
    }
    if (e.end) {
        if (e.name == "DfsnProperties") {
            if (!haveRoot_) return reader.Fail("no <Namespace> element");
            done_ = true;
            return true;
        }
        open_ = nullptr;
        return true;
    }
    std::string why;
    if (!open_ && (e.name == "Namespace" || e.name == "Folder")) {
        const bool isRoot = e.name == "Namespace";
        if (isRoot && haveRoot_) return reader.Fail("a second <Namespace>");
        EntryProperties entry;
        if (!ReadEntry(e, isRoot, entry, why)) return reader.Fail(Named(e, "Path") + why);
        if (!isRoot) {
            // Paths as the DFS service matches them: two elements for one entry would leave the
            // restore and the comparison each to pick its own. The links are found by the hash
            // of their folded path, not by a second copy of it.
            const std::u16string folded = FoldCase(Utf8ToWide(entry.path));
            if (folders_.Find(folded, [&](size_t at) {
                    return FoldCase(Utf8ToWide(p_.links[at].path)) == folded;
                }) != HashedKeyIndex::npos)
                return reader.Fail(Named(e, "Path") + "a second <Folder> for that path");
            folders_.Add(folded, p_.links.size());
        }
        targets_.clear();
        if (isRoot) {
            p_.root = std::move(entry);
            haveRoot_ = true;
            open_ = e.empty ? nullptr : &p_.root;
        } else {
            p_.links.push_back(std::move(entry));
            open_ = e.empty ? nullptr : &p_.links.back();
        }
    } else if (open_ && (e.name == "RootTarget" || e.name == "FolderTarget")) {
        TargetProperties target;
        if (!ReadTarget(e, target, why)) return reader.Fail(Named(e, "TargetPath") + why);
        if (!targets_.insert(FoldCase(Utf8ToWide(target.targetPath))).second)
            return reader.Fail(Named(e, "TargetPath") + "a second <" + e.name +
                               "> for that target");
        open_->targets.push_back(std::move(target));
        if (!e.empty) ++unknownDepth_; // its content, if any, is not ours
    } else if (!e.empty) {
        ++unknownDepth_;
    }
    return true;
}

Expected<NamespaceProperties> ParsePropertiesFile(std::string_view bytes) {
    PropertiesFileParser parser;
    parser.ReserveLinks(CountOf(bytes, kFolderTag));
    parser.Add(bytes);
    return parser.Finish();
}

Expected<NamespaceProperties> ReadPropertiesFile(const std::filesystem::path& file) {
    // The links are counted first, a piece at a time as well, so that their room is made once.
    size_t folders = 0;
    std::string window; // a piece after the end of the one before, where a tag may begin
    Expected<void> counted =
        ReadRegularFileInPieces(file, kMaxPropertiesFileBytes, [&](std::string_view piece) {
            window += piece;
            folders += CountOf(window, kFolderTag);
            window.erase(0, window.size() - std::min(window.size(), kFolderTag.size() - 1));
        });
    if (!counted) return counted.error();
    PropertiesFileParser parser;
    parser.ReserveLinks(folders);
    Expected<void> read = ReadRegularFileInPieces(
        file, kMaxPropertiesFileBytes, [&](std::string_view piece) { parser.Add(piece); });
    if (!read) return read.error();
    Expected<NamespaceProperties> parsed = parser.Finish();
    if (!parsed)
        return Error{0, "the properties file cannot be read (" + parsed.error().text + ")"};
    return parsed;
}

} // namespace kestrune
