#include "platform/adsi_over_store/forest.h"

#include "base/ansi_string.h"
#include "platform/adsi_over_store/errors.h"
#include "platform/store/dn.h"
#include "platform/store/standard_schema.h"

#include <algorithm>

namespace kestrune::adsi_store {

using store::Entry;
using store::Scope;

bool ForestFacts::Searched(const store::SearchRequest& request, std::vector<Entry>& found) {
    store::Status status = store::SearchAll(directory_, request, found);
    // A container the directory does not hold (no sites, no schema) holds nothing.
    if (status.ok() || status.code == store::ResultCode::NoSuchObject) return true;
    failure_ = std::move(status);
    found.clear();
    return false;
}

const Entry& ForestFacts::RootDse() {
    static const Entry kNone;
    if (!rootDse_) {
        std::vector<Entry> found;
        if (!Searched({"", Scope::Base, "(objectClass=*)", {}, 0}, found)) return kNone;
        rootDse_ = found.empty() ? Entry{} : std::move(found.front());
    }
    return *rootDse_;
}

const std::vector<Entry>& ForestFacts::CrossRefs() {
    static const std::vector<Entry> kNone;
    if (!crossRefs_) {
        std::vector<Entry> found;
        std::string config = RootDse().First("configurationNamingContext");
        if (!config.empty() && !Searched({"CN=Partitions," + config,
                                          Scope::OneLevel,
                                          "(objectClass=crossRef)",
                                          {"nCName", "dnsRoot", "nETBIOSName"},
                                          0},
                                         found))
            return kNone;
        crossRefs_ = std::move(found);
    }
    return *crossRefs_;
}

bool ForestFacts::KnowsServer(const std::u16string& server) {
    std::string name = store::FoldCase(WideToUtf8(server));
    while (!name.empty() && name.front() == '\\')
        name.erase(name.begin());
    if (name.empty()) return false;
    if (!serverNames_) {
        std::vector<std::string> names;
        auto add = [&](const std::string& n) {
            if (!n.empty()) names.push_back(store::FoldCase(n));
        };
        std::string host = RootDse().First("dnsHostName");
        add(host);
        add(host.substr(0, host.find('.')));
        for (const Entry& ref : CrossRefs()) {
            add(ref.First("dnsRoot"));
            add(ref.First("nETBIOSName"));
        }
        std::string config = RootDse().First("configurationNamingContext");
        std::vector<Entry> servers;
        if (!config.empty())
            Searched({"CN=Sites," + config,
                      Scope::Subtree,
                      "(objectClass=server)",
                      {"dNSHostName", "cn"},
                      0},
                     servers);
        for (const Entry& s : servers) {
            add(s.First("dNSHostName"));
            add(s.First("cn"));
        }
        if (!failure_.ok()) return std::find(names.begin(), names.end(), name) != names.end();
        serverNames_ = std::move(names);
    }
    for (const std::string& known : *serverNames_)
        if (known == name) return true;
    return false;
}

store::AttributeSyntax ForestFacts::SyntaxOf(std::string_view attribute) {
    if (!syntaxes_) {
        store::AttributeSyntaxes learnt;
        std::string schema = RootDse().First("schemaNamingContext");
        std::vector<Entry> attributes;
        if (!schema.empty())
            Searched({schema,
                      Scope::Subtree,
                      "(objectClass=attributeSchema)",
                      {"lDAPDisplayName", "attributeSyntax", "oMSyntax"},
                      0},
                     attributes);
        for (const Entry& a : attributes)
            learnt.Learn(a);
        if (!failure_.ok()) return learnt.Of(attribute);
        syntaxes_ = std::move(learnt);
    }
    return syntaxes_->Of(attribute);
}

const Entry* ForestFacts::Class(std::string_view name) {
    if (!classes_) {
        std::string schema = RootDse().First("schemaNamingContext");
        std::vector<Entry> found;
        if (!schema.empty() &&
            !Searched({schema, Scope::Subtree, "(objectClass=classSchema)", {}, 0}, found))
            return nullptr;
        classes_.emplace();
        // The schema's own classes win over the standard ones of the same name.
        for (Entry& e : store::StandardClassEntries(schema.empty() ? "CN=Schema" : schema))
            found.push_back(std::move(e));
        for (Entry& e : found)
            classes_->emplace(store::FoldCase(e.First("lDAPDisplayName")), std::move(e));
    }
    auto it = classes_->find(store::FoldCase(name));
    return it == classes_->end() ? nullptr : &it->second;
}

std::shared_ptr<ForestFacts> Forest::Facts() {
    uint64_t now = directory_->ChangeCount();
    if (!facts_ || now == 0 || now != factsOf_) {
        facts_ = std::make_shared<ForestFacts>(*directory_);
        factsOf_ = now;
    }
    return facts_;
}

bool Forest::ReadEntry(const std::string& dn, Entry& out, adsi::HRESULT& hr) {
    std::vector<Entry> found;
    store::Status status =
        store::SearchAll(*directory_, {dn, Scope::Base, "(objectClass=*)", {}, 0}, found);
    if (!status.ok() || found.empty()) {
        hr = status.ok() ? Fail(adsi::HR_NO_SUCH_OBJECT) : FailFromStore(status);
        return false;
    }
    out = std::move(found.front());
    return true;
}

} // namespace kestrune::adsi_store
