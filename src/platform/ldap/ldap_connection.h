// One connection to one LDAP server port, logged on as the settings say: the operations the
// store needs, each bounded by the timeout, failures as store statuses.
#pragma once

#include "platform/ldap/ldap_settings.h"
#include "platform/store/directory_store.h"

#include <memory>
#include <string>
#include <vector>

typedef struct ldap LDAP;

namespace kestrune::ldap {

class Connection {
  public:
    Connection(Endpoint endpoint, const Settings& settings);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects, starts TLS when asked and logs on.
    store::Status Open();
    const Endpoint& Where() const { return endpoint_; }
    // Who the server took us for: the Kerberos principal or the bind user.
    std::string Identity() const;

    // One page of a search. cookie is the paging cookie: empty for the first page, empty
    // again after the last. pageSize 0 sends no paging control (base searches).
    store::Status SearchPage(const store::SearchRequest& request, int pageSize, std::string& cookie,
                             std::vector<store::Entry>& out);
    // Tells the server a paged search ends early, so that it can let go of its state.
    void EndPagedSearch(const store::SearchRequest& request, const std::string& cookie);
    store::Status Add(const store::Entry& entry);
    store::Status Modify(const std::string& dn, const std::vector<store::Modification>& changes);
    store::Status Delete(const std::string& dn);
    store::Status Rename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                         const std::string& newSuperior);

  private:
    store::Status Failure(int rc, const std::string& what) const;
    store::Status Connect();
    store::Status Bind();

    struct SocketHook;

    Endpoint endpoint_;
    const Settings& settings_;
    std::unique_ptr<SocketHook> hook_; // outlives ld_, which calls it
    LDAP* ld_ = nullptr;
};

} // namespace kestrune::ldap
