#include "backup/properties_file.h"

#include "backup/properties_file_names.h"
#include "base/ansi_string.h"
#include "base/ascii.h"
#include "base/case_fold.h"
#include "base/security_descriptor.h"

#include <map>
#include <unordered_set>

namespace kestrune {
namespace {

using namespace properties_names;

// A small XML reader for what the writer writes and what a later writer may add: elements with
// attributes, nested, with text, comments and declarations passed over.
struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    bool empty = false; // <name/>
    bool end = false;   // </name>
};

class Reader {
  public:
    explicit Reader(std::string_view xml) : xml_(xml) {}

    // The next tag, text and markup skipped; false at the end or on an error.
    bool Next(Element& e) {
        for (;;) {
            size_t lt = xml_.find('<', at_);
            if (lt == std::string_view::npos) {
                at_ = xml_.size();
                return false;
            }
            at_ = lt;
            if (At("<?") || At("<!--")) {
                bool comment = At("<!--");
                size_t close = xml_.find(comment ? "-->" : "?>", at_);
                if (close == std::string_view::npos) return Fail("markup that is not closed");
                at_ = close + (comment ? 3 : 2);
                continue;
            }
            if (At("<!")) return Fail("a declaration this file never holds");
            return ReadTag(e);
        }
    }
    bool Failed() const { return !error_.empty(); }
    const std::string& ErrorText() const { return error_; }
    bool Fail(const std::string& what) {
        if (error_.empty()) error_ = what + " at byte " + std::to_string(at_ + 1);
        return false;
    }

  private:
    bool ReadTag(Element& e) {
        e = Element();
        ++at_;
        if (At("/")) {
            e.end = true;
            ++at_;
        }
        e.name = Name();
        if (e.name.empty()) return Fail("a \"<\" that begins no element");
        for (;;) {
            SkipSpace();
            if (at_ >= xml_.size()) return Fail("the file is cut short");
            if (At(">")) {
                ++at_;
                return true;
            }
            if (At("/>") && !e.end) {
                at_ += 2;
                e.empty = true;
                return true;
            }
            std::string name = Name();
            SkipSpace();
            if (name.empty() || !At("=")) return Fail("an attribute without a value");
            ++at_;
            SkipSpace();
            if (!At("\"") && !At("'")) return Fail("an attribute value without quotes");
            size_t close = xml_.find(xml_[at_], at_ + 1);
            if (close == std::string_view::npos) return Fail("the file is cut short");
            std::string value;
            if (!Unescape(xml_.substr(at_ + 1, close - at_ - 1), value)) return false;
            // XML forbids it, and which of the two counts would be a guess.
            if (e.attributes.count(name))
                return Fail("<" + e.name + ">: the attribute " + name + " given twice");
            e.attributes[name] = std::move(value);
            at_ = close + 1;
        }
    }

    bool Unescape(std::string_view raw, std::string& out) {
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '&') {
                if (raw[i] == '<') return Fail("a \"<\" inside an attribute value");
                if (raw[i] == '\0') return Fail("a NUL character");
                out += raw[i];
                continue;
            }
            size_t semicolon = raw.find(';', i);
            if (semicolon == std::string_view::npos || semicolon - i > 10)
                return Fail("an \"&\" that begins no reference");
            std::string_view ref = raw.substr(i + 1, semicolon - i - 1);
            static constexpr std::pair<std::string_view, char> kNamed[] = {
                {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            bool named = false;
            for (const auto& [n, c] : kNamed)
                if (ref == n) out += c, named = true;
            if (!named) {
                if (ref.size() < 2 || ref[0] != '#') return Fail("an unknown reference");
                bool hex = ref[1] == 'x';
                uint32_t code = 0;
                std::string_view digits = ref.substr(hex ? 2 : 1);
                if (digits.empty()) return Fail("an empty character reference");
                for (char d : digits) {
                    int v = d >= '0' && d <= '9' ? d - '0'
                            : hex && LowerAscii(d) >= 'a' && LowerAscii(d) <= 'f'
                                ? LowerAscii(d) - 'a' + 10
                                : -1;
                    if (v < 0 || code > 0x10FFFF) return Fail("a bad character reference");
                    code = code * (hex ? 16 : 10) + static_cast<uint32_t>(v);
                }
                if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                    return Fail("a bad character reference");
                std::u16string wide;
                if (code >= 0x10000) {
                    wide += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
                    wide += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
                } else {
                    wide += static_cast<char16_t>(code);
                }
                out += WideToUtf8(wide);
            }
            i = semicolon;
        }
        return true;
    }

    std::string Name() {
        size_t start = at_;
        while (at_ < xml_.size() &&
               std::string_view(" \t\r\n/>=<\"'").find(xml_[at_]) == std::string_view::npos)
            ++at_;
        return std::string(xml_.substr(start, at_ - start));
    }
    void SkipSpace() {
        while (at_ < xml_.size() &&
               std::string_view(" \t\r\n").find(xml_[at_]) != std::string_view::npos)
            ++at_;
    }
    bool At(std::string_view text) const { return xml_.substr(at_, text.size()) == text; }

    std::string_view xml_;
    size_t at_ = 0;
    std::string error_;
};

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

bool ReadEntry(const Element& e, bool isRoot, EntryProperties& entry, std::string& why) {
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

bool ReadTarget(const Element& e, TargetProperties& target, std::string& why) {
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
std::string Named(const Element& e, const std::string& pathAttribute) {
    auto path = e.attributes.find(pathAttribute);
    if (path == e.attributes.end()) return "<" + e.name + ">: ";
    return "<" + e.name + " " + pathAttribute + "=\"" + path->second + "\">: ";
}

} // namespace

Expected<NamespaceProperties> ParsePropertiesFile(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    Reader reader(bytes);
    Element e;
    NamespaceProperties p;
    auto fail = [&](const std::string& why) -> Expected<NamespaceProperties> {
        reader.Fail(why);
        return Error{0, reader.ErrorText()};
    };
    if (!reader.Next(e) || e.end || e.name != "DfsnProperties")
        return fail(reader.Failed() ? reader.ErrorText() : "no <DfsnProperties> element");
    uint32_t version = 0;
    if (!ParseNumber(e.attributes["FormatVersion"], 1000000, version) || version < 1)
        return fail("no FormatVersion");
    p.backupFileSha256 = e.attributes["BackupFileSha256"];
    if (e.empty) return fail("no <Namespace> element");
    bool haveRoot = false;
    // Paths as the DFS service matches them: two elements for one entry or one target would
    // leave the restore and the comparison each to pick its own.
    std::unordered_set<std::u16string> folders, targets;
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
            if (!isRoot && !folders.insert(FoldCase(Utf8ToWide(entry.path))).second)
                return fail(Named(e, "Path") + "a second <Folder> for that path");
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
    return fail(reader.Failed() ? reader.ErrorText() : "the file is cut short");
}

} // namespace kestrune
