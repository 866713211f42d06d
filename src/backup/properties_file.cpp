#include "backup/properties_file.h"

#include "base/ansi_string.h"
#include "base/ascii.h"
#include "base/security_descriptor.h"

#include <algorithm>
#include <map>

namespace kestrune {
namespace {

constexpr std::string_view kPriorityClasses[] = {"SiteCostNormal", "GlobalHigh", "SiteCostHigh",
                                                 "SiteCostLow", "GlobalLow"};

struct FlagName {
    uint32_t flag;
    std::string_view name;
    bool rootOnly;
};
constexpr FlagName kFlags[] = {
    {DFS_PROPERTY_FLAG_INSITE_REFERRALS, "EnableInsiteReferrals", false},
    {DFS_PROPERTY_FLAG_TARGET_FAILBACK, "EnableTargetFailback", false},
    {DFS_PROPERTY_FLAG_SITE_COSTING, "EnableSiteCosting", true},
    {DFS_PROPERTY_FLAG_ROOT_SCALABILITY, "EnableRootScalability", true},
    {DFS_PROPERTY_FLAG_ABDE, "EnableAccessBasedEnumeration", true},
};

// Appends text escaped for an attribute value in double quotes.
void AppendEscaped(std::string& out, std::string_view text) {
    size_t plain = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* entity = c == '&'   ? "&amp;"
                             : c == '<' ? "&lt;"
                             : c == '>' ? "&gt;"
                             : c == '"' ? "&quot;"
                                        : nullptr;
        if (!entity && static_cast<unsigned char>(c) >= 0x20) continue;
        out.append(text, plain, i - plain);
        if (entity)
            out += entity;
        else
            out += "&#" + std::to_string(static_cast<int>(c)) + ";";
        plain = i + 1;
    }
    out.append(text, plain);
}

void Attribute(std::string& out, std::string_view name, std::string_view value) {
    out += ' ';
    out += name;
    out += "=\"";
    AppendEscaped(out, value);
    out += '"';
}

void WriteEntry(std::string& out, const EntryProperties& e, bool isRoot) {
    out += isRoot ? "  <Namespace" : "  <Folder";
    Attribute(out, "Path", e.path);
    if (e.description) Attribute(out, "Description", *e.description);
    Attribute(out, "State", e.online ? "Online" : "Offline");
    Attribute(out, "TimeToLiveSec", std::to_string(e.timeToLiveSec));
    // A flag that is off, and a target's default priority, are left out: a reader takes a
    // missing value for the default.
    for (const FlagName& f : kFlags)
        if ((isRoot || !f.rootOnly) && (e.flags & f.flag)) Attribute(out, f.name, "true");
    if (!isRoot && !e.viewSddl.empty()) Attribute(out, "ViewPermissions", e.viewSddl);
    out += ">\n";
    for (const TargetProperties& t : e.targets) {
        out += isRoot ? "    <RootTarget" : "    <FolderTarget";
        Attribute(out, "TargetPath", t.targetPath);
        Attribute(out, "State", t.online ? "Online" : "Offline");
        if (t.priorityClass != 0)
            Attribute(out, "ReferralPriorityClass", ReferralPriorityClassName(t.priorityClass));
        if (t.priorityRank != 0)
            Attribute(out, "ReferralPriorityRank", std::to_string(t.priorityRank));
        out += "/>\n";
    }
    out += isRoot ? "  </Namespace>\n" : "  </Folder>\n";
}

// The links ordered by path without regard to case, each path folded once.
void SortByPath(std::vector<EntryProperties>& links) {
    std::vector<std::pair<std::string, size_t>> keys(links.size());
    for (size_t i = 0; i < links.size(); ++i) {
        keys[i] = {links[i].path, i};
        for (char& c : keys[i].first)
            c = LowerAscii(c);
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<EntryProperties> sorted;
    sorted.reserve(links.size());
    for (const auto& key : keys)
        sorted.push_back(std::move(links[key.second]));
    links = std::move(sorted);
}

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
        if (Expected<std::string> sd = SddlToSecurityDescriptor(v->second); !sd)
            return why = "ViewPermissions that cannot be read: " + sd.error().text, false;
        entry.viewSddl = v->second;
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
    if (auto c = a.find("ReferralPriorityClass"); c != a.end()) {
        bool known = false;
        for (uint32_t i = 0; i < std::size(kPriorityClasses); ++i)
            if (SameTextAscii(c->second, kPriorityClasses[i]))
                target.priorityClass = i, known = true;
        if (!known) return why = "an unknown ReferralPriorityClass", false;
    }
    if (auto r = a.find("ReferralPriorityRank");
        r != a.end() && !ParseNumber(r->second, 31, target.priorityRank))
        return why = "a ReferralPriorityRank that is not 0 to 31", false;
    return true;
}

} // namespace

std::string_view PropertyFlagName(uint32_t flag) {
    for (const FlagName& f : kFlags)
        if (f.flag == flag) return f.name;
    return {};
}

std::string_view ReferralPriorityClassName(uint32_t priorityClass) {
    return priorityClass < std::size(kPriorityClasses) ? kPriorityClasses[priorityClass]
                                                       : std::string_view("SiteCostNormal");
}

Expected<EntryProperties> EntryPropertiesOf(const DFS_INFO_9& record) {
    auto utf8 = [](const char16_t* text) {
        return text ? WideToUtf8(std::u16string_view(text)) : std::string();
    };
    EntryProperties e;
    e.path = utf8(record.EntryPath);
    if (record.Comment) e.description = utf8(record.Comment);
    e.online = (record.State & DFS_VOLUME_STATES) != DFS_VOLUME_STATE_OFFLINE;
    e.timeToLiveSec = record.Timeout;
    e.flags = record.PropertyFlags & DFS_KNOWN_PROPERTY_FLAGS;
    if (record.pSecurityDescriptor && record.SecurityDescriptorLength) {
        Expected<std::string> sddl = SecurityDescriptorToSddl(
            std::string_view(reinterpret_cast<const char*>(record.pSecurityDescriptor),
                             record.SecurityDescriptorLength));
        if (!sddl)
            return Error{sddl.error().code, "the view permissions of " + e.path +
                                                " cannot be written as SDDL: " + sddl.error().text};
        e.viewSddl = std::move(*sddl);
    }
    e.targets.reserve(record.NumberOfStorages);
    for (uint32_t i = 0; i < record.NumberOfStorages && record.Storage; ++i) {
        const DFS_STORAGE_INFO_1& s = record.Storage[i];
        TargetProperties& t = e.targets.emplace_back();
        t.targetPath = "\\\\" + utf8(s.ServerName) + "\\" + utf8(s.ShareName);
        t.online = s.State != DFS_STORAGE_STATE_OFFLINE;
        t.priorityClass = static_cast<uint32_t>(s.TargetPriority.TargetPriorityClass);
        t.priorityRank = s.TargetPriority.TargetPriorityRank;
    }
    return e;
}

std::string FormatPropertiesFile(NamespaceProperties properties) {
    SortByPath(properties.links);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DfsnProperties";
    Attribute(out, "FormatVersion", std::to_string(NamespaceProperties::kFormatVersion));
    Attribute(out, "BackupFileSha256", properties.backupFileSha256);
    out += ">\n";
    WriteEntry(out, properties.root, true);
    for (const EntryProperties& link : properties.links)
        WriteEntry(out, link, false);
    out += "</DfsnProperties>\n";
    return out;
}

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
            if (!ReadEntry(e, isRoot, entry, why)) return fail(why);
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
            if (!ReadTarget(e, target, why)) return fail(why);
            open->targets.push_back(std::move(target));
            if (!e.empty) ++unknownDepth; // its content, if any, is not ours
        } else if (!e.empty) {
            ++unknownDepth;
        }
    }
    return fail(reader.Failed() ? reader.ErrorText() : "the file is cut short");
}

} // namespace kestrune
