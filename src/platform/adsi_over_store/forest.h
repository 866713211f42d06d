// The directory as ADSI sees it: the rootDSE, the cross-references (the naming contexts), the
// servers, the attribute syntaxes and the classes of the schema. They are read when first
// needed and kept until the store changes.
#pragma once

#include "adsi/adsi.h"
#include "platform/store/attribute_syntax.h"
#include "platform/store/directory_store.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrune::adsi_store {

// The facts of the directory at one moment. Read lazily; a new snapshot replaces this one
// when the directory changes, so references taken from it stay valid while it is held.
class ForestFacts {
  public:
    explicit ForestFacts(store::DirectoryStore& directory) : directory_(directory) {}

    const store::Entry& RootDse();
    // The crossRef objects of the partitions container (nCName, dnsRoot, nETBIOSName).
    const std::vector<store::Entry>& CrossRefs();
    // A server name in a path: a domain controller (DNS or short name, with or without "\\")
    // or a domain's DNS or NetBIOS name.
    bool KnowsServer(const std::u16string& server);
    store::AttributeSyntax SyntaxOf(std::string_view attribute);
    // The classSchema entry of a class (by lDAPDisplayName): the schema's, else the standard
    // one; null for an unknown class.
    const store::Entry* Class(std::string_view name);

    // The last search behind these facts that failed; ok while none did. A fact whose search
    // failed reads as empty (no rootDSE attribute, no class) and is asked for again next time:
    // check this before taking an empty answer for what the directory holds.
    const store::Status& Failure() const { return failure_; }

  private:
    bool Searched(const store::SearchRequest& request, std::vector<store::Entry>& found);

    store::DirectoryStore& directory_;
    store::Status failure_;
    std::optional<store::Entry> rootDse_;
    std::optional<std::vector<store::Entry>> crossRefs_;
    std::optional<std::vector<std::string>> serverNames_; // folded
    std::optional<store::AttributeSyntaxes> syntaxes_;
    std::optional<std::unordered_map<std::string, store::Entry>> classes_; // by folded name
};

class Forest {
  public:
    explicit Forest(std::shared_ptr<store::DirectoryStore> directory)
        : directory_(std::move(directory)) {}

    store::DirectoryStore& Directory() { return *directory_; }
    // The facts as the directory is now.
    std::shared_ptr<ForestFacts> Facts();
    // One entry by DN; false with the failure reported (hr) when it cannot be read.
    bool ReadEntry(const std::string& dn, store::Entry& out, adsi::HRESULT& hr);

    std::map<std::string, std::u16string> defaultContainers; // per user

  private:
    std::shared_ptr<store::DirectoryStore> directory_;
    std::shared_ptr<ForestFacts> facts_;
    uint64_t factsOf_ = 0; // the store's change count when facts_ was made
};

} // namespace kestrune::adsi_store
