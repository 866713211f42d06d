#include "backup/properties_file.h"

#include "backup/properties_file_names.h"
#include "backup/xml_tags.h"
#include "base/ansi_string.h"
#include "base/ascii.h"
#include "base/case_fold.h"
#include "base/hashed_key_index.h"
#include "base/security_descriptor.h"

#include <map>
#include <unordered_set>

namespace kestrune {
namespace {

using namespace properties_names;

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

Expected<NamespaceProperties> ParsePropertiesFile(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    XmlTagReader reader(bytes, XmlTagReader::BareAmpersand::Refused);
    XmlTag e;
    NamespaceProperties p;
    auto fail = [&](const std::string& why) -> Expected<NamespaceProperties> {
        reader.Fail(why);
        return Error{0, reader.Error()};
    };
    if (!reader.Next(e) || e.end || e.name != "DfsnProperties")
        return fail(reader.Failed() ? reader.Error() : "no <DfsnProperties> element");
    uint32_t version = 0;
    if (!ParseNumber(e.attributes["FormatVersion"], 1000000, version) || version < 1)
        return fail("no FormatVersion");
    p.backupFileSha256 = e.attributes["BackupFileSha256"];
    if (e.empty) return fail("no <Namespace> element");
    bool haveRoot = false;
    // Paths as the DFS service matches them: two elements for one entry or one target would
    // leave the restore and the comparison each to pick its own. The links are found by the
    // hash of their folded path, not by a second copy of it.
    HashedKeyIndex folders;
    std::unordered_set<std::u16string> targets;
    p.links.reserve(CountOf(bytes, "<Folder "));
    EntryProperties* open = nullptr; // the <Namespace> or <Folder> whose targets come next
    int unknownDepth = 0;            // inside elements a later writer may add
    std::string why;
    while (reader.Next(e)) {
        if (unknownDepth > 0) {
            if (e.end)
                --unknownDepth;
            else if (!e.empty)
                ++unknownDepth;
            continue;
        }
        if (e.end) {
            if (e.name == "DfsnProperties") {
                if (!haveRoot) return fail("no <Namespace> element");
                return p;
            }
            open = nullptr;
            continue;
        }
        if (!open && (e.name == "Namespace" || e.name == "Folder")) {
            bool isRoot = e.name == "Namespace";
            if (isRoot && haveRoot) return fail("a second <Namespace>");
            EntryProperties entry;
            if (!ReadEntry(e, isRoot, entry, why)) return fail(Named(e, "Path") + why);
            if (!isRoot) {
                const std::u16string folded = FoldCase(Utf8ToWide(entry.path));
                if (folders.Find(folded, [&](size_t at) {
                        return FoldCase(Utf8ToWide(p.links[at].path)) == folded;
                    }) != HashedKeyIndex::npos)
                    return fail(Named(e, "Path") + "a second <Folder> for that path");
                folders.Add(folded, p.links.size());
            }
            targets.clear();
            if (isRoot) {
                p.root = std::move(entry);
                haveRoot = true;
                open = e.empty ? nullptr : &p.root;
            } else {
                p.links.push_back(std::move(entry));
                open = e.empty ? nullptr : &p.links.back();
            }
        } else if (open && (e.name == "RootTarget" || e.name == "FolderTarget")) {
            TargetProperties target;
            if (!ReadTarget(e, target, why)) return fail(Named(e, "TargetPath") + why);
            if (!targets.insert(FoldCase(Utf8ToWide(target.targetPath))).second)
                return fail(Named(e, "TargetPath") + "a second <" + e.name + "> for that target");
            open->targets.push_back(std::move(target));
            if (!e.empty) ++unknownDepth; // its content, if any, is not ours
        } else if (!e.empty) {
            ++unknownDepth;
        }
    }
    return fail(reader.Failed() ? reader.Error() : "the file is cut short");
}

} // namespace kestrune
