// The directory store: the LDAP-shaped operations the platform layers are written against.
// The memory store (loaded from LDIF) implements it; a store over a real LDAP server can too.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrune::store {

// LDAP result codes (RFC 4511) and the client library's own (negative) codes, with the values
// OpenLDAP gives them.
enum class ResultCode {
    Success = 0,
    OperationsError = 1,
    ProtocolError = 2,
    TimeLimitExceeded = 3,
    SizeLimitExceeded = 4,
    AuthMethodNotSupported = 7,
    StrongAuthRequired = 8,
    Referral = 10,
    AdminLimitExceeded = 11,
    ConfidentialityRequired = 13,
    NoSuchAttribute = 16,
    UndefinedAttributeType = 17,
    ConstraintViolation = 19,
    AttributeOrValueExists = 20,
    InvalidAttributeSyntax = 21,
    NoSuchObject = 32,
    InvalidDnSyntax = 34,
    InappropriateAuthentication = 48,
    InvalidCredentials = 49,
    InsufficientAccessRights = 50,
    Busy = 51,
    Unavailable = 52,
    UnwillingToPerform = 53,
    NamingViolation = 64,
    ObjectClassViolation = 65,
    NotAllowedOnNonLeaf = 66,
    EntryAlreadyExists = 68,
    Other = 80,
    ServerDown = -1,  // the connection could not be made or was lost
    LocalError = -2,  // the client failed (TLS, SASL, memory)
    Timeout = -5,     // no answer in time
    AuthUnknown = -6, // the authentication method failed on the client
    FilterError = -7,
    ConnectError = -11, // TLS or another part of connecting failed
};

struct [[nodiscard]] Status {
    ResultCode code = ResultCode::Success;
    std::string message;
    uint32_t systemError = 0; // the system's code of a failed write (base/file_io.h), if any

    bool ok() const { return code == ResultCode::Success; }
    static Status Ok() { return {}; }
};

// Values are bytes: UTF-8 for strings, raw for octet strings.
struct Attribute {
    std::string type;
    std::vector<std::string> values;
};

struct Entry {
    std::string dn;
    std::vector<Attribute> attributes;

    // Values of the attribute (type compared without regard to case), or null.
    const std::vector<std::string>* Find(std::string_view type) const;
    // First value of the attribute, or empty.
    std::string First(std::string_view type) const;
};

enum class Scope { Base, OneLevel, Subtree };

struct SearchRequest {
    std::string base; // "" is the rootDSE
    Scope scope = Scope::Subtree;
    std::string filter = "(objectClass=*)"; // RFC 4515
    std::vector<std::string> attributes;    // empty: all
    size_t pageSize = 0;      // 0: one page, cut at the server's size limit (SizeLimitExceeded)
    bool wholeForest = false; // across naming contexts, as the global catalog searches
};

// The pages of one search, in order. An empty page ends it.
class SearchCursor {
  public:
    virtual ~SearchCursor() = default;
    virtual Status NextPage(std::vector<Entry>& page) = 0;
};

struct Modification {
    enum class Op { Add, Delete, Replace };
    Op op = Op::Replace;
    std::string type;
    std::vector<std::string> values; // Delete with no values removes the attribute
};

class DirectoryStore {
  public:
    virtual ~DirectoryStore() = default;
    virtual Status Search(const SearchRequest& request, std::unique_ptr<SearchCursor>& cursor) = 0;
    virtual Status Add(const Entry& entry) = 0;
    virtual Status Modify(const std::string& dn, const std::vector<Modification>& changes) = 0;
    virtual Status Delete(const std::string& dn) = 0;
    // newSuperior empty: the entry stays under its parent.
    virtual Status Rename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                          const std::string& newSuperior) = 0;
    // A number that changes whenever the content changes, so that facts read from the store
    // can be kept until then; 0 from a store that cannot tell (facts are read every time).
    virtual uint64_t ChangeCount() const { return 0; }
    // Runs work so that no other program changes the directory meanwhile: what work reads is
    // still so when it makes its changes (read, decide, write). A directory server orders
    // each request itself, so by default work simply runs.
    virtual Status Exclusively(const std::function<Status()>& work) { return work(); }
    // Runs work as Exclusively does, with the changes it makes kept (on the disk) together at
    // its end: a change made inside counts as done only when this succeeds. A directory server
    // keeps each change as it answers, so by default work simply runs.
    virtual Status InOneGroup(const std::function<Status()>& work) { return work(); }
};

// Every entry of a search, all pages together (paged: no size limit cuts it).
Status SearchAll(DirectoryStore& store, const SearchRequest& request, std::vector<Entry>& out);

} // namespace kestrune::store
