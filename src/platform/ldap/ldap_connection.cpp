#include "platform/ldap/ldap_connection.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <ldap.h>
#include <memory>
#include <mutex>
#include <sasl/sasl.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>

namespace kestrune::ldap {
namespace {

using store::Entry;
using store::ResultCode;
using store::Status;

timeval ToTimeval(std::chrono::seconds s) {
    return {static_cast<time_t>(s.count()), 0};
}

int ScopeOf(const store::SearchRequest& request) {
    return request.scope == store::Scope::Base
               ? LDAP_SCOPE_BASE
               : (request.scope == store::Scope::OneLevel ? LDAP_SCOPE_ONELEVEL
                                                          : LDAP_SCOPE_SUBTREE);
}

// SASL asks for names and realms it already knows from the Kerberos ticket: take its defaults.
int AnswerSasl(LDAP*, unsigned, void*, void* prompts) {
    for (auto* p = static_cast<sasl_interact_t*>(prompts); p && p->id != SASL_CB_LIST_END; ++p) {
        p->result = p->defresult ? p->defresult : "";
        p->len = static_cast<unsigned>(std::strlen(static_cast<const char*>(p->result)));
    }
    return LDAP_SUCCESS;
}

struct MessageFree {
    void operator()(LDAPMessage* m) const { ldap_msgfree(m); }
};
using Message = std::unique_ptr<LDAPMessage, MessageFree>;

struct ControlsFree {
    void operator()(LDAPControl** c) const { ldap_controls_free(c); }
};

Entry ToEntry(LDAP* ld, LDAPMessage* message) {
    Entry entry;
    if (char* dn = ldap_get_dn(ld, message)) {
        entry.dn = dn;
        ldap_memfree(dn);
    }
    BerElement* ber = nullptr;
    for (char* name = ldap_first_attribute(ld, message, &ber); name;
         name = ldap_next_attribute(ld, message, ber)) {
        store::Attribute attribute{name, {}};
        if (berval** values = ldap_get_values_len(ld, message, name)) {
            for (berval** v = values; *v; ++v)
                attribute.values.emplace_back((*v)->bv_val, (*v)->bv_len);
            ldap_value_free_len(values);
        }
        entry.attributes.push_back(std::move(attribute));
        ldap_memfree(name);
    }
    if (ber) ber_free(ber, 0);
    return entry;
}

// LDAPMod arrays over the store's values, kept alive for one call.
class Mods {
  public:
    void Add(int op, const std::string& type, const std::vector<std::string>& values) {
        auto& vals = values_.emplace_back();
        auto& ptrs = pointers_.emplace_back();
        vals.reserve(values.size());
        for (const std::string& v : values)
            vals.push_back({static_cast<ber_len_t>(v.size()), const_cast<char*>(v.data())});
        for (berval& v : vals)
            ptrs.push_back(&v);
        ptrs.push_back(nullptr);
        mods_.push_back({op | LDAP_MOD_BVALUES, const_cast<char*>(type.c_str()), {}});
    }
    LDAPMod** Get() {
        list_.clear();
        for (size_t i = 0; i < mods_.size(); ++i) {
            mods_[i].mod_vals.modv_bvals = pointers_[i].data();
            list_.push_back(&mods_[i]);
        }
        list_.push_back(nullptr);
        return list_.data();
    }

  private:
    std::vector<LDAPMod> mods_;
    std::vector<std::vector<berval>> values_;
    std::vector<std::vector<berval*>> pointers_;
    std::vector<LDAPMod*> list_;
};

} // namespace

// Remembers the socket libldap connects, so that a watchdog can close it under a TLS
// handshake, which libldap waits for without any timeout.
struct Connection::SocketHook {
    ldap_conncb callback{};
    std::atomic<int> fd{-1};

    static int Added(LDAP*, Sockbuf* sb, LDAPURLDesc*, sockaddr*, ldap_conncb* self) {
        ber_socket_t fd = -1;
        if (ber_sockbuf_ctrl(sb, LBER_SB_OPT_GET_FD, &fd) == 1)
            static_cast<SocketHook*>(self->lc_arg)->fd = fd;
        return 0;
    }
    static void Removed(LDAP*, Sockbuf*, ldap_conncb* self) {
        static_cast<SocketHook*>(self->lc_arg)->fd = -1;
    }
};

Connection::Connection(Endpoint endpoint, const Settings& settings)
    : endpoint_(std::move(endpoint)), settings_(settings), hook_(std::make_unique<SocketHook>()) {
    hook_->callback = {SocketHook::Added, SocketHook::Removed, hook_.get()};
}

Connection::~Connection() {
    if (ld_) ldap_unbind_ext_s(ld_, nullptr, nullptr);
}

Status Connection::Failure(int rc, const std::string& what) const {
    Status status;
    status.code = static_cast<ResultCode>(rc);
    status.message = what + ": " + ldap_err2string(rc);
    char* diagnostic = nullptr;
    if (ld_ && ldap_get_option(ld_, LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic) == LDAP_OPT_SUCCESS &&
        diagnostic) {
        if (*diagnostic) status.message += std::string(" (") + diagnostic + ")";
        ldap_memfree(diagnostic);
    }
    return status;
}

Status Connection::Open() {
    // Connecting, TLS and the logon get the timeout together. libldap bounds the connect and
    // each request itself, not a TLS handshake: a watchdog shuts the socket down under it.
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false, fired = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (finished.wait_for(lock, settings_.timeout, [&] { return done; })) return;
        fired = true;
        if (int fd = hook_->fd; fd >= 0) ::shutdown(fd, SHUT_RDWR);
    });
    Status status = Connect();
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    finished.notify_one();
    watchdog.join();
    if (fired && !status.ok()) status = Failure(LDAP_TIMEOUT, "logon to " + endpoint_.Uri());
    return status;
}

Status Connection::Connect() {
    std::string uri = endpoint_.Uri();
    int rc = ldap_initialize(&ld_, uri.c_str());
    if (rc != LDAP_SUCCESS) return Failure(rc, uri);
    int version = LDAP_VERSION3;
    timeval timeout = ToTimeval(settings_.timeout);
    ldap_set_option(ld_, LDAP_OPT_PROTOCOL_VERSION, &version);
    // Referrals lead to other servers with other credentials: the caller sees them as such.
    ldap_set_option(ld_, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    ldap_set_option(ld_, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(ld_, LDAP_OPT_TIMEOUT, &timeout);
    // Kerberos names the service after the host as written, not after what DNS makes of it.
    ldap_set_option(ld_, LDAP_OPT_X_SASL_NOCANON, LDAP_OPT_ON);
    ldap_set_option(ld_, LDAP_OPT_CONNECT_CB, &hook_->callback);
    if (settings_.startTls) {
        rc = ldap_start_tls_s(ld_, nullptr, nullptr);
        if (rc != LDAP_SUCCESS) return Failure(rc, "StartTLS with " + uri);
    }
    return Bind();
}

Status Connection::Bind() {
    std::string uri = endpoint_.Uri();
    int rc;
    if (settings_.bindUser.empty()) {
        rc = ldap_sasl_interactive_bind_s(ld_, nullptr, "GSSAPI", nullptr, nullptr, LDAP_SASL_QUIET,
                                          AnswerSasl, nullptr);
        if (rc != LDAP_SUCCESS) return Failure(rc, "Kerberos logon to " + uri);
    } else {
        berval password{static_cast<ber_len_t>(settings_.password.size()),
                        const_cast<char*>(settings_.password.data())};
        rc = ldap_sasl_bind_s(ld_, settings_.bindUser.c_str(), LDAP_SASL_SIMPLE, &password, nullptr,
                              nullptr, nullptr);
        if (rc != LDAP_SUCCESS) return Failure(rc, "logon to " + uri + " as " + settings_.bindUser);
    }
    return Status::Ok();
}

std::string Connection::Identity() const {
    if (!settings_.bindUser.empty()) return settings_.bindUser;
    char* name = nullptr;
    std::string identity;
    if (ld_ && ldap_get_option(ld_, LDAP_OPT_X_SASL_USERNAME, &name) == LDAP_OPT_SUCCESS && name) {
        identity = name;
        ldap_memfree(name);
    }
    return identity;
}

namespace {

// Which parts of a security descriptor a request reads or writes (the SD flags control,
// LDAP_SERVER_SD_FLAGS_OID): without it Active Directory takes the SACL too, which only a
// privileged account may read or write, and answers nothing rather than the rest.
class SdFlagsControl {
  public:
    explicit SdFlagsControl(char flags) : value_{0x30, 0x03, 0x02, 0x01, flags} {
        control_.ldctl_oid = const_cast<char*>("1.2.840.113556.1.4.801");
        control_.ldctl_value = {sizeof value_, value_};
        control_.ldctl_iscritical = 1;
    }
    LDAPControl* Get() { return &control_; }

  private:
    char value_[5];
    LDAPControl control_{};
};

constexpr char kOwnerGroupDacl = 0x7;
constexpr char kDaclOnly = 0x4;

bool IsSecurityDescriptor(const std::string& type) {
    return strcasecmp(type.c_str(), "nTSecurityDescriptor") == 0;
}

} // namespace

Status Connection::SearchPage(const store::SearchRequest& request, int pageSize,
                              std::string& cookie, std::vector<Entry>& out) {
    out.clear();
    std::vector<char*> attributes;
    for (const std::string& a : request.attributes)
        attributes.push_back(const_cast<char*>(a.c_str()));
    attributes.push_back(nullptr);
    LDAPControl* paging = nullptr;
    if (pageSize > 0) {
        berval value{static_cast<ber_len_t>(cookie.size()), cookie.data()};
        int rc = ldap_create_page_control(ld_, pageSize, &value, 1, &paging);
        if (rc != LDAP_SUCCESS) return Failure(rc, "paged search");
    }
    SdFlagsControl sdFlags(kOwnerGroupDacl);
    LDAPControl* controls[3] = {nullptr, nullptr, nullptr};
    size_t used = 0;
    if (paging) controls[used++] = paging;
    if (std::any_of(request.attributes.begin(), request.attributes.end(), IsSecurityDescriptor))
        controls[used++] = sdFlags.Get();
    int scope = ScopeOf(request);
    timeval timeout = ToTimeval(settings_.timeout);
    int id = 0;
    int rc = ldap_search_ext(ld_, request.base.c_str(), scope, request.filter.c_str(),
                             request.attributes.empty() ? nullptr : attributes.data(), 0,
                             used ? controls : nullptr, nullptr, &timeout, 0, &id);
    if (paging) ldap_control_free(paging);
    if (rc != LDAP_SUCCESS) return Failure(rc, "search of " + request.base);

    // The page's entries arrive one message at a time: convert each as it comes, so a page
    // is held once.
    auto deadline = std::chrono::steady_clock::now() + settings_.timeout;
    cookie.clear();
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        timeval wait{static_cast<time_t>(std::max<int64_t>(0, left.count()) / 1000000),
                     static_cast<suseconds_t>(std::max<int64_t>(0, left.count()) % 1000000)};
        LDAPMessage* raw = nullptr;
        int type = ldap_result(ld_, id, LDAP_MSG_ONE, &wait, &raw);
        Message message(raw);
        if (type == 0) {
            ldap_abandon_ext(ld_, id, nullptr, nullptr);
            return Failure(LDAP_TIMEOUT, "search of " + request.base);
        }
        if (type < 0) {
            int error = LDAP_OTHER;
            ldap_get_option(ld_, LDAP_OPT_RESULT_CODE, &error);
            return Failure(error, "search of " + request.base);
        }
        if (type == LDAP_RES_SEARCH_ENTRY) {
            out.push_back(ToEntry(ld_, message.get()));
            continue;
        }
        if (type != LDAP_RES_SEARCH_RESULT) continue; // references: never chased
        int result = LDAP_OTHER;
        LDAPControl** returned = nullptr;
        rc =
            ldap_parse_result(ld_, message.get(), &result, nullptr, nullptr, nullptr, &returned, 0);
        std::unique_ptr<LDAPControl*, ControlsFree> keep(returned);
        if (rc != LDAP_SUCCESS) return Failure(rc, "search of " + request.base);
        if (result != LDAP_SUCCESS) {
            out.clear();
            ldap_set_option(ld_, LDAP_OPT_RESULT_CODE, &result);
            return Failure(result, "search of " + request.base);
        }
        if (pageSize > 0) {
            LDAPControl* response = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned, nullptr);
            berval next{0, nullptr};
            ber_int_t estimate = 0;
            if (response &&
                ldap_parse_pageresponse_control(ld_, response, &estimate, &next) == LDAP_SUCCESS) {
                cookie.assign(next.bv_val ? next.bv_val : "", next.bv_len);
                ber_memfree(next.bv_val);
            }
        }
        return Status::Ok();
    }
}

void Connection::EndPagedSearch(const store::SearchRequest& request, const std::string& cookie) {
    // A page size of 0 with the cookie abandons the search (RFC 2696).
    std::string last = cookie;
    berval value{static_cast<ber_len_t>(last.size()), last.data()};
    LDAPControl* paging = nullptr;
    if (ldap_create_page_control(ld_, 0, &value, 0, &paging) != LDAP_SUCCESS) return;
    LDAPControl* controls[] = {paging, nullptr};
    timeval timeout = ToTimeval(settings_.timeout);
    int id = 0;
    // The same request as before, as the paging control asks.
    std::vector<char*> attributes;
    for (const std::string& a : request.attributes)
        attributes.push_back(const_cast<char*>(a.c_str()));
    attributes.push_back(nullptr);
    int rc = ldap_search_ext(ld_, request.base.c_str(), ScopeOf(request), request.filter.c_str(),
                             request.attributes.empty() ? nullptr : attributes.data(), 0, controls,
                             nullptr, &timeout, 0, &id);
    ldap_control_free(paging);
    if (rc != LDAP_SUCCESS) return;
    LDAPMessage* raw = nullptr;
    if (ldap_result(ld_, id, LDAP_MSG_ALL, &timeout, &raw) == 0)
        ldap_abandon_ext(ld_, id, nullptr, nullptr);
    ldap_msgfree(raw);
}

Status Connection::Add(const Entry& entry) {
    Mods mods;
    for (const store::Attribute& a : entry.attributes)
        mods.Add(LDAP_MOD_ADD, a.type, a.values);
    int rc = ldap_add_ext_s(ld_, entry.dn.c_str(), mods.Get(), nullptr, nullptr);
    return rc == LDAP_SUCCESS ? Status::Ok() : Failure(rc, "adding " + entry.dn);
}

Status Connection::Modify(const std::string& dn, const std::vector<store::Modification>& changes) {
    Mods mods;
    for (const store::Modification& m : changes)
        mods.Add(
            m.op == store::Modification::Op::Add
                ? LDAP_MOD_ADD
                : (m.op == store::Modification::Op::Delete ? LDAP_MOD_DELETE : LDAP_MOD_REPLACE),
            m.type, m.values);
    // A descriptor written is its DACL alone: the rest stays as the directory keeps it.
    SdFlagsControl sdFlags(kDaclOnly);
    LDAPControl* controls[] = {sdFlags.Get(), nullptr};
    const bool descriptor = std::any_of(changes.begin(), changes.end(),
                                        [](const auto& m) { return IsSecurityDescriptor(m.type); });
    int rc =
        ldap_modify_ext_s(ld_, dn.c_str(), mods.Get(), descriptor ? controls : nullptr, nullptr);
    return rc == LDAP_SUCCESS ? Status::Ok() : Failure(rc, "changing " + dn);
}

Status Connection::Delete(const std::string& dn) {
    int rc = ldap_delete_ext_s(ld_, dn.c_str(), nullptr, nullptr);
    return rc == LDAP_SUCCESS ? Status::Ok() : Failure(rc, "deleting " + dn);
}

Status Connection::Rename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                          const std::string& newSuperior) {
    int rc = ldap_rename_s(ld_, dn.c_str(), newRdn.c_str(),
                           newSuperior.empty() ? nullptr : newSuperior.c_str(),
                           deleteOldRdn ? 1 : 0, nullptr, nullptr);
    return rc == LDAP_SUCCESS ? Status::Ok() : Failure(rc, "renaming " + dn);
}

} // namespace kestrune::ldap
