// The memory store over a directory export: the parents an export left out, and the rootDSE and
// cross-references a domain controller of the exported forest would have, implied from the
// entries.
#include "platform/memory_store/memory_store.h"

#include "base/ascii.h"
#include "base/file_io.h"
#include "base/paths.h"
#include "platform/store/dn.h"
#include "platform/store/guid.h"

#include <algorithm>
#include <cstdlib>

namespace kestrune::store {

namespace {

bool IsDomainComponent(std::string_view rdn) {
    return SameTextAscii(RdnType(rdn), "DC");
}

// What an implied entry is, by its place: the containers Active Directory itself creates, a
// domain head, an organizational unit, or a plain container.
std::vector<std::string> ImpliedClasses(const std::vector<std::string>& rdns, size_t at) {
    const std::string& rdn = rdns[at];
    if (IsDomainComponent(rdn)) return {"top", "domain", "domainDNS"};
    if (SameTextAscii(RdnType(rdn), "OU")) return {"top", "organizationalUnit"};
    std::string value = RdnValue(rdn);
    bool underDomain = at + 1 < rdns.size() && IsDomainComponent(rdns[at + 1]);
    if (underDomain && SameTextAscii(value, "Configuration")) return {"top", "configuration"};
    if (at + 1 < rdns.size() && SameTextAscii(RdnValue(rdns[at + 1]), "Configuration")) {
        if (SameTextAscii(value, "Partitions")) return {"top", "crossRefContainer"};
        if (SameTextAscii(value, "Schema")) return {"top", "dMD"};
    }
    if (SameTextAscii(value, "Dfs-Configuration")) return {"top", "dfsConfiguration"};
    return {"top", "container"};
}

std::string JoinRdns(const std::vector<std::string>& rdns, size_t from) {
    std::string dn;
    for (size_t i = from; i < rdns.size(); ++i)
        dn += (i == from ? "" : ",") + rdns[i];
    return dn;
}

// The DNS name of a domain head: its DC values joined with dots.
std::string DottedName(const std::string& dn) {
    std::vector<std::string> rdns;
    std::string name;
    if (!SplitDn(dn, rdns)) return name;
    for (const std::string& rdn : rdns)
        if (IsDomainComponent(rdn)) name += (name.empty() ? "" : ".") + RdnValue(rdn);
    return name;
}

bool HasClass(const StoredEntry& entry, const AttributeTypes& types, std::string_view wanted) {
    auto classes = entry.Find(types, "objectClass");
    return classes && std::any_of(classes->begin(), classes->end(),
                                  [&](std::string_view c) { return SameTextAscii(c, wanted); });
}

// The application partitions for DNS look like domains (domainDNS heads) but are none.
bool IsDnsPartition(std::string_view dn) {
    std::string value = RdnValue(FirstRdn(dn));
    return SameTextAscii(value, "DomainDnsZones") || SameTextAscii(value, "ForestDnsZones");
}

std::string FirstValue(const StoredEntry& entry, const AttributeTypes& types,
                       std::string_view type) {
    auto values = entry.Find(types, type);
    return values && values->begin() != values->end() ? std::string(*values->begin())
                                                      : std::string();
}

size_t RdnCount(std::string_view dn) {
    std::vector<std::string> rdns;
    return SplitDn(dn, rdns) ? rdns.size() : 0;
}

// The line of the record that adds dn to the file; 0 when none does as plain text.
size_t LineOfEntry(const std::filesystem::path& file, std::string_view dn) {
    Expected<std::string> read = ReadWholeFile(file);
    if (!read) return 0;
    const std::string& text = *read;
    const std::string wanted = NormalizeDn(dn);
    size_t line = 1;
    for (size_t at = 0; at < text.size(); ++line) {
        const size_t nl = text.find('\n', at);
        std::string_view physical(text.data() + at,
                                  (nl == std::string::npos ? text.size() : nl) - at);
        if (!physical.empty() && physical.back() == '\r') physical.remove_suffix(1);
        if (physical.size() > 3 && SameTextAscii(physical.substr(0, 3), "dn:") &&
            physical[3] != ':') {
            std::string_view value = physical.substr(3);
            value.remove_prefix(std::min(value.find_first_not_of(' '), value.size()));
            if (NormalizeDn(value) == wanted) return line;
        }
        if (nl == std::string::npos) break;
        at = nl + 1;
    }
    return 0;
}

} // namespace

Status MemoryStore::AddImplied(Entry&& entry) {
    NewEntry add;
    Status status = ValidateAdd(std::move(entry), NameGuid, add);
    if (!status.ok()) return status;
    std::string key = add.key;
    ApplyAdd(std::move(add));
    tree_.FindKey(key)->implied = true;
    return Status::Ok();
}

Status MemoryStore::ImplyParents(const std::string& dn) {
    // The records of one container name it alike, and the last one added had its parent.
    if (lastParent_ && dn.size() > lastParentDn_.size() + 1 && dn.ends_with(lastParentDn_) &&
        dn[dn.size() - lastParentDn_.size() - 1] == ',' &&
        FirstRdnEnd(std::string_view(dn).substr(0, dn.size() - lastParentDn_.size() - 1)) ==
            std::string_view::npos)
        return Status::Ok();
    std::vector<std::string> rdns;
    if (!SplitDn(dn, rdns) || rdns.size() < 2) return Status::Ok();
    // Parents are implied only up to where the name says a domain begins: the head of the
    // domain components it ends in. Above that, or in a name without them, nothing is known.
    size_t head = rdns.size();
    while (head > 0 && IsDomainComponent(rdns[head - 1]))
        --head;
    if (head == rdns.size() || head == 0) return Status::Ok();
    if (FindNode(JoinRdns(rdns, 1))) return Status::Ok(); // the usual case: the parent is there
    for (size_t at = head; at >= 1; --at) {
        std::string ancestor = JoinRdns(rdns, at);
        if (FindNode(ancestor)) continue;
        Status status = AddImplied({ancestor, {{"objectClass", ImpliedClasses(rdns, at)}}});
        if (!status.ok()) return status;
    }
    return Status::Ok();
}

Status MemoryStore::ImplyForest(const std::filesystem::path& file) {
    if (tree_.FindKey("")) return Status::Ok(); // the file has its own rootDSE
    // The domains: the cross-references that say so, else the domain heads.
    std::vector<const Node*> crossRefs;
    std::vector<std::string> domains;
    const Node* configuration = nullptr;
    tree_.ForEach([&](const Node& node) {
        if (HasClass(node.entry, types_, "crossRef")) crossRefs.push_back(&node);
        if (HasClass(node.entry, types_, "configuration")) configuration = &node;
    });
    for (const Node* ref : crossRefs) {
        std::string flags(FirstValue(ref->entry, types_, "systemFlags"));
        bool domain = !FirstValue(ref->entry, types_, "nETBIOSName").empty() ||
                      (!flags.empty() && (std::strtoll(flags.c_str(), nullptr, 10) & 2) != 0);
        std::string nc(FirstValue(ref->entry, types_, "nCName"));
        if (domain && !nc.empty()) domains.push_back(nc);
    }
    if (domains.empty()) {
        tree_.ForEach([&](const Node& node) {
            std::string_view dn = node.entry.Dn();
            if (HasClass(node.entry, types_, "domainDNS") && !IsDnsPartition(dn))
                domains.emplace_back(dn);
        });
    }
    if (domains.empty()) return Status::Ok(); // nothing says what forest this is
    // One order whatever order the entries are held in: the shortest names (the roots of the
    // domain trees) first.
    std::sort(domains.begin(), domains.end(), [](const std::string& a, const std::string& b) {
        size_t na = RdnCount(a), nb = RdnCount(b);
        return na != nb ? na < nb : NormalizeDn(a) < NormalizeDn(b);
    });
    domains.erase(std::unique(domains.begin(), domains.end(),
                              [](const std::string& a, const std::string& b) {
                                  return NormalizeDn(a) == NormalizeDn(b);
                              }),
                  domains.end());
    // The forest root holds the configuration partition; without it, the first tree's root.
    std::string root = domains.front();
    if (configuration) root = ParentDn(configuration->entry.Dn());
    std::string config =
        configuration ? std::string(configuration->entry.Dn()) : "CN=Configuration," + root;
    std::string schema = "CN=Schema," + config;
    std::vector<std::string> contexts = domains;
    contexts.push_back(config);
    contexts.push_back(schema);
    Status status = AddImplied({"",
                                {{"namingContexts", contexts},
                                 {"defaultNamingContext", {root}},
                                 {"rootDomainNamingContext", {root}},
                                 {"configurationNamingContext", {config}},
                                 {"schemaNamingContext", {schema}}}});
    if (!status.ok()) return status;
    // A domain controller knows every domain of its forest by a cross-reference; the NetBIOS
    // name is not in the domain's own objects, so one implied here has none.
    for (const std::string& domain : domains) {
        bool named = std::any_of(crossRefs.begin(), crossRefs.end(), [&](const Node* ref) {
            return NormalizeDn(FirstValue(ref->entry, types_, "nCName")) == NormalizeDn(domain);
        });
        if (named) continue;
        std::string dn = "CN=" + EscapeDnValue(DottedName(domain)) + ",CN=Partitions," + config;
        if (FindNode(dn)) {
            const size_t line = LineOfEntry(file, dn);
            return {ResultCode::EntryAlreadyExists,
                    AnsiFromPath(file) + ":" + (line ? std::to_string(line) + ":" : "") +
                        " the export holds no cross-reference for the domain " + domain +
                        ", and the one this program implies for it, " + dn +
                        ", would take the place of the export's own entry of that name (give "
                        "that entry nCName: " +
                        domain + ", or export CN=Partitions whole)"};
        }
        status = ImplyParents(dn);
        if (status.ok())
            status = AddImplied({dn,
                                 {{"objectClass", {"top", "crossRef"}},
                                  {"nCName", {domain}},
                                  {"dnsRoot", {DottedName(domain)}},
                                  {"systemFlags", {"3"}}}});
        if (!status.ok()) return status;
    }
    return Status::Ok();
}

} // namespace kestrune::store
