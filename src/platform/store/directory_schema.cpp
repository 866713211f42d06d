#include "platform/store/directory_schema.h"

#include "base/ascii.h"
#include "platform/store/dn.h"
#include "platform/store/standard_schema.h"

#include <algorithm>

namespace kestrune::store {

bool HasClass(const Entry& entry, std::string_view cls) {
    const auto* classes = entry.Find("objectClass");
    return classes && std::any_of(classes->begin(), classes->end(),
                                  [&](const std::string& c) { return SameTextAscii(c, cls); });
}

namespace {

const char* const kRootContexts[] = {"defaultNamingContext", "rootDomainNamingContext",
                                     "configurationNamingContext", "schemaNamingContext",
                                     "namingContexts"};

} // namespace

void DirectorySchema::Learn(const Entry& entry) {
    auto addHead = [&](const std::string& dn) {
        std::string key = NormalizeDn(dn);
        if (!key.empty()) ++contextHeads_[key];
    };
    if (entry.dn.empty()) {
        for (const char* attribute : kRootContexts)
            if (const auto* values = entry.Find(attribute))
                for (const std::string& v : *values)
                    addHead(v);
        schemaNc_ = entry.First("schemaNamingContext");
        if (schemaNc_.empty() && !entry.First("configurationNamingContext").empty())
            schemaNc_ = "CN=Schema," + entry.First("configurationNamingContext");
        if (schemaNc_.empty() && !entry.First("defaultNamingContext").empty())
            schemaNc_ = "CN=Schema,CN=Configuration," + entry.First("defaultNamingContext");
        return;
    }
    const auto* classes = entry.Find("objectClass");
    if (!classes) return;
    for (const std::string& c : *classes) {
        if (SameTextAscii(c, "attributeSchema")) {
            syntaxes_.Learn(entry);
        } else if (SameTextAscii(c, "classSchema")) {
            std::string name = FoldCase(entry.First("lDAPDisplayName"));
            if (!name.empty()) classes_[name] = entry;
        } else if (SameTextAscii(c, "crossRef")) {
            if (const auto* values = entry.Find("nCName"))
                for (const std::string& v : *values)
                    addHead(v);
        }
    }
}

void DirectorySchema::Forget(const Entry& entry) {
    auto dropHead = [&](const std::string& dn) {
        auto it = contextHeads_.find(NormalizeDn(dn));
        if (it != contextHeads_.end() && --it->second <= 0) contextHeads_.erase(it);
    };
    if (entry.dn.empty()) {
        for (const char* attribute : kRootContexts)
            if (const auto* values = entry.Find(attribute))
                for (const std::string& v : *values)
                    dropHead(v);
        return;
    }
    if (HasClass(entry, "classSchema")) classes_.erase(FoldCase(entry.First("lDAPDisplayName")));
    if (HasClass(entry, "crossRef"))
        if (const auto* values = entry.Find("nCName"))
            for (const std::string& v : *values)
                dropHead(v);
}

bool DirectorySchema::SameValue(std::string_view type, const std::string& a,
                                const std::string& b) const {
    AttributeSyntax syntax = SyntaxOf(type);
    if (IsBinary(syntax)) return a == b;
    std::string fa = FoldCase(a), fb = FoldCase(b);
    if (fa == fb) return true;
    if (syntax != AttributeSyntax::DistinguishedName) return false;
    std::string na = NormalizeDn(a);
    return !na.empty() && na == NormalizeDn(b);
}

void DirectorySchema::UseSchemaContext(const std::string& schemaNc) const {
    if (!standard_.empty() && standardFor_ == schemaNc) return;
    standard_.clear();
    standardFor_ = schemaNc;
    for (Entry& e : StandardClassEntries(schemaNc.empty() ? "CN=Schema" : schemaNc))
        standard_.emplace(FoldCase(e.First("lDAPDisplayName")), std::move(e));
}

const Entry* DirectorySchema::Class(std::string_view name) const {
    std::string key = FoldCase(name);
    if (auto it = classes_.find(key); it != classes_.end()) return &it->second;
    UseSchemaContext(schemaNc_);
    auto it = standard_.find(key);
    return it == standard_.end() ? nullptr : &it->second;
}

std::string DirectorySchema::DefaultCategory(std::string_view className) const {
    const Entry* cls = Class(className);
    return cls ? cls->First("defaultObjectCategory") : std::string();
}

std::string DirectorySchema::DefaultSecurityDescriptor(std::string_view className) const {
    const Entry* cls = Class(className);
    return cls ? cls->First("defaultSecurityDescriptor") : std::string();
}

std::vector<std::string> DirectorySchema::PossibleSuperiors(std::string_view className) const {
    std::vector<std::string> superiors;
    std::vector<std::string> seen;
    for (std::string cls(className); !cls.empty();) {
        std::string key = FoldCase(cls);
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) break;
        seen.push_back(key);
        const Entry* entry = Class(cls);
        if (!entry) break;
        for (const char* attribute : {"systemPossSuperiors", "possSuperiors"})
            if (const auto* values = entry->Find(attribute))
                for (const std::string& v : *values)
                    superiors.push_back(FoldCase(v));
        cls = entry->First("subClassOf");
    }
    return superiors;
}

} // namespace kestrune::store
