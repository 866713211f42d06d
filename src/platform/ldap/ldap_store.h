// A directory store over a real LDAP server (Active Directory or Samba): the domain
// controller's own port for everything but global catalog searches, which go to its global
// catalog port. One connection per server and port, opened on first use and kept.
#pragma once

#include "platform/ldap/ldap_settings.h"
#include "platform/store/directory_store.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrune::ldap {

class Connection;

// What only this computer knows, as Active Directory would tell it: DNs of the logged-on user
// and of the computer account, the site's name. Each is empty when it was not found.
struct SessionFacts {
    std::string user;
    std::string computer;
    std::string site;
};

class LdapStore : public store::DirectoryStore {
  public:
    explicit LdapStore(Settings settings);
    ~LdapStore() override;

    // Connects to the domain controller, logs on and finds the session facts; notes receives
    // one line for each fact that was not found, saying why.
    store::Status Connect(std::vector<std::string>& notes);
    const SessionFacts& Facts() const { return facts_; }
    // Global catalog searches go to this server from now on.
    void UseGlobalCatalog(Endpoint where) { settings_.globalCatalog = std::move(where); }

    store::Status Search(const store::SearchRequest& request,
                         std::unique_ptr<store::SearchCursor>& cursor) override;
    store::Status Add(const store::Entry& entry) override;
    store::Status Modify(const std::string& dn,
                         const std::vector<store::Modification>& changes) override;
    store::Status Delete(const std::string& dn) override;
    store::Status Rename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                         const std::string& newSuperior) override;

  private:
    class Cursor;
    struct Slot {
        std::unique_ptr<Connection> connection;
        store::Status failure; // a failed connect or logon, answered again without retrying
    };

    store::Status Use(bool globalCatalog, Connection*& out);
    void EndPagedSearch(const store::SearchRequest& request, const std::string& cookie);
    // A status of a call on the connection; a lost connection is reopened on its next use.
    store::Status Checked(Connection& connection, store::Status status);
    // Follows ranged values ("member;range=0-1499") until the attribute is complete.
    store::Status CompleteRanges(Connection& connection, store::Entry& entry);
    bool InApplicationPartition(const std::string& dn);
    void AddSessionFacts(store::Entry& rootDse) const;
    // The rootDSE as asked for, from the copy read once per session; false when the request
    // is not a plain read of it.
    bool AnswerFromRootDse(const store::SearchRequest& request, std::vector<store::Entry>& page);

    Settings settings_;
    std::map<std::string, Slot> slots_;
    std::optional<std::vector<std::string>> applicationPartitions_; // normalized DNs
    SessionFacts facts_;
    std::optional<store::Entry> rootDse_; // every attribute, read once: it does not change
};

} // namespace kestrune::ldap
