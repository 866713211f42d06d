#include "platform/ldap/ldap_store.h"

#include "platform/ldap/ldap_connection.h"
#include "platform/ldap/session_facts.h"
#include "platform/store/dn.h"
#include "platform/store/filter.h"

#include <cstdlib>

namespace kestrune::ldap {

using store::Entry;
using store::ResultCode;
using store::Scope;
using store::SearchRequest;
using store::Status;

namespace {

// Windows answers at most 1000 entries per page (MaxPageSize); asking for more gets 1000.
constexpr int kMaxPage = 1000;

int WirePageSize(const SearchRequest& request) {
    if (request.scope == Scope::Base) return 0;
    if (request.pageSize == 0 || request.pageSize > size_t(kMaxPage)) return kMaxPage;
    return static_cast<int>(request.pageSize);
}

bool LostConnection(const Status& status) {
    return status.code == ResultCode::ServerDown || status.code == ResultCode::Timeout ||
           status.code == ResultCode::ConnectError;
}

// "member;range=0-1499" -> "member", "1499"; false for a plain attribute.
bool SplitRange(const std::string& type, std::string& base, std::string& end) {
    std::string folded = store::FoldCase(type);
    size_t at = folded.find(";range=");
    if (at == std::string::npos) return false;
    base = type.substr(0, at);
    size_t dash = type.find('-', at);
    end = dash == std::string::npos ? "*" : type.substr(dash + 1);
    return true;
}

} // namespace

// Pages are asked for one at a time as the caller takes them; nothing is read ahead.
class LdapStore::Cursor : public store::SearchCursor {
  public:
    Cursor(LdapStore& store, SearchRequest request) : store_(store), request_(std::move(request)) {}

    Status Fetch(std::vector<Entry>& page) {
        page.clear();
        if (!done_ && store_.AnswerFromRootDse(request_, page)) {
            done_ = true;
            return Status::Ok();
        }
        while (!done_) {
            Connection* connection = nullptr;
            Status status = store_.Use(request_.wholeForest, connection);
            if (!status.ok()) {
                done_ = true;
                return status;
            }
            status =
                store_.Checked(*connection, connection->SearchPage(request_, WirePageSize(request_),
                                                                   cookie_, page));
            if (!status.ok()) {
                done_ = true;
                page.clear();
                return status;
            }
            if (cookie_.empty()) done_ = true;
            status = Finish(*connection, page);
            if (!status.ok()) {
                done_ = true;
                return status;
            }
            // A page can come back empty (all of it filtered out, or the extra empty page
            // after a full one): only the end of the search may look like that to the caller.
            if (!page.empty()) return Status::Ok();
        }
        return Status::Ok();
    }

    Status NextPage(std::vector<Entry>& page) override {
        if (first_) {
            page = std::move(*first_);
            first_.reset();
            return Status::Ok();
        }
        return Fetch(page);
    }

    void Keep(std::vector<Entry> page) { first_ = std::move(page); }

  private:
    Status Finish(Connection& connection, std::vector<Entry>& page) {
        bool rootDse = request_.base.empty() && request_.scope == Scope::Base;
        std::vector<Entry> kept;
        kept.reserve(page.size());
        for (Entry& e : page) {
            if (request_.wholeForest && store_.InApplicationPartition(e.dn)) continue;
            Status status = store_.CompleteRanges(connection, e);
            if (!status.ok()) return status;
            if (rootDse) store_.AddSessionFacts(e);
            kept.push_back(std::move(e));
        }
        page = std::move(kept);
        return Status::Ok();
    }

    LdapStore& store_;
    SearchRequest request_;
    std::string cookie_;
    bool done_ = false;
    std::optional<std::vector<Entry>> first_;
};

LdapStore::LdapStore(Settings settings) : settings_(std::move(settings)) {}

LdapStore::~LdapStore() = default;

Status LdapStore::Use(bool globalCatalog, Connection*& out) {
    const Endpoint& where = globalCatalog ? settings_.globalCatalog : settings_.domain;
    Slot& slot = slots_[where.Key()];
    if (!slot.failure.ok()) return slot.failure;
    if (!slot.connection) {
        auto connection = std::make_unique<Connection>(where, settings_);
        Status status = connection->Open();
        if (!status.ok()) {
            slot.failure = status;
            return status;
        }
        slot.connection = std::move(connection);
    }
    out = slot.connection.get();
    return Status::Ok();
}

void LdapStore::EndPagedSearch(const SearchRequest& request, const std::string& cookie) {
    const Endpoint& where = request.wholeForest ? settings_.globalCatalog : settings_.domain;
    auto slot = slots_.find(where.Key());
    if (slot != slots_.end() && slot->second.connection)
        slot->second.connection->EndPagedSearch(request, cookie);
}

Status LdapStore::Checked(Connection& connection, Status status) {
    if (LostConnection(status)) slots_.erase(connection.Where().Key());
    return status;
}

Status LdapStore::CompleteRanges(Connection& connection, Entry& entry) {
    for (store::Attribute& attribute : entry.attributes) {
        std::string base, end;
        if (!SplitRange(attribute.type, base, end)) continue;
        attribute.type = base;
        while (end != "*") {
            char* stop = nullptr;
            unsigned long last = std::strtoul(end.c_str(), &stop, 10);
            if (*stop) break;
            SearchRequest more{entry.dn,
                               Scope::Base,
                               "(objectClass=*)",
                               {base + ";range=" + std::to_string(last + 1) + "-*"},
                               0};
            std::string cookie;
            std::vector<Entry> found;
            Status status = Checked(connection, connection.SearchPage(more, 0, cookie, found));
            if (!status.ok()) return status;
            end = "*";
            if (found.empty()) break;
            for (store::Attribute& next : found.front().attributes) {
                std::string nextBase;
                if (!SplitRange(next.type, nextBase, end)) continue;
                attribute.values.insert(attribute.values.end(),
                                        std::make_move_iterator(next.values.begin()),
                                        std::make_move_iterator(next.values.end()));
                break;
            }
        }
    }
    return Status::Ok();
}

// Samba's global catalog also answers from the DNS application partitions, which a Windows
// global catalog does not hold: those are not the forest's domains.
bool LdapStore::InApplicationPartition(const std::string& dn) {
    if (!applicationPartitions_) {
        // Until both searches have answered, nothing is kept: the next entry asks again.
        std::vector<Entry> root, refs;
        if (!store::SearchAll(*this, {"", Scope::Base, "(objectClass=*)", {}, 0}, root).ok() ||
            root.empty())
            return false;
        std::string configuration = root.front().First("configurationNamingContext");
        std::string schema = store::NormalizeDn(root.front().First("schemaNamingContext"));
        if (!store::SearchAll(*this,
                              {"CN=Partitions," + configuration,
                               Scope::OneLevel,
                               "(objectClass=crossRef)",
                               {"nCName", "systemFlags"},
                               0},
                              refs)
                 .ok())
            return false;
        applicationPartitions_.emplace();
        for (const Entry& ref : refs) {
            std::string nc = store::NormalizeDn(ref.First("nCName"));
            long flags = std::strtol(ref.First("systemFlags").c_str(), nullptr, 10);
            // FLAG_CR_NTDS_DOMAIN marks a domain; configuration and schema are not searched
            // for domains either way.
            if (!(flags & 2) && nc != schema && nc != store::NormalizeDn(configuration))
                applicationPartitions_->push_back(nc);
        }
    }
    std::string key = store::NormalizeDn(dn);
    for (const std::string& nc : *applicationPartitions_)
        if (key == nc ||
            (key.size() > nc.size() && key.compare(key.size() - nc.size(), nc.size(), nc) == 0 &&
             key[key.size() - nc.size() - 1] == ','))
            return true;
    return false;
}

bool LdapStore::AnswerFromRootDse(const SearchRequest& request, std::vector<Entry>& page) {
    if (!request.base.empty() || request.scope != Scope::Base || request.wholeForest ||
        store::FoldCase(request.filter) != "(objectclass=*)")
        return false;
    if (!rootDse_) {
        // Every attribute of the rootDSE, read the first time it is asked for.
        SearchRequest all{"", Scope::Base, "(objectClass=*)", {}, 0};
        Connection* connection = nullptr;
        std::string cookie;
        std::vector<Entry> found;
        if (!Use(false, connection).ok() ||
            !Checked(*connection, connection->SearchPage(all, 0, cookie, found)).ok() ||
            found.size() != 1)
            return false;
        rootDse_ = std::move(found.front());
    }
    Entry everything = *rootDse_;
    AddSessionFacts(everything);
    Entry answer;
    bool all = request.attributes.empty();
    for (const std::string& a : request.attributes)
        all = all || a == "*";
    for (store::Attribute& attribute : everything.attributes) {
        bool wanted = all;
        for (const std::string& a : request.attributes)
            wanted = wanted || store::FoldCase(a) == store::FoldCase(attribute.type);
        if (wanted) answer.attributes.push_back(std::move(attribute));
    }
    page.push_back(std::move(answer));
    return true;
}

void LdapStore::AddSessionFacts(Entry& rootDse) const {
    rootDse.attributes.push_back({"kestruneLocalUserName", {facts_.user}});
    rootDse.attributes.push_back({"kestruneLocalComputerName", {facts_.computer}});
    rootDse.attributes.push_back({"kestruneLocalSiteName", {facts_.site}});
}

Status LdapStore::Connect(std::vector<std::string>& notes) {
    Connection* connection = nullptr;
    Status status = Use(false, connection);
    if (!status.ok()) return status;
    facts_ = FindSessionFacts(*this, connection->Identity(), notes);
    return Status::Ok();
}

Status LdapStore::Search(const SearchRequest& request,
                         std::unique_ptr<store::SearchCursor>& cursor) {
    cursor.reset();
    auto own = std::make_unique<Cursor>(*this, request);
    // The first page is asked for now, so that a wrong base or filter fails here.
    std::vector<Entry> first;
    Status status = own->Fetch(first);
    if (!status.ok()) return status;
    own->Keep(std::move(first));
    cursor = std::move(own);
    return Status::Ok();
}

Status LdapStore::Add(const Entry& entry) {
    Connection* connection = nullptr;
    Status status = Use(false, connection);
    return status.ok() ? Checked(*connection, connection->Add(entry)) : status;
}

Status LdapStore::Modify(const std::string& dn, const std::vector<store::Modification>& changes) {
    Connection* connection = nullptr;
    Status status = Use(false, connection);
    return status.ok() ? Checked(*connection, connection->Modify(dn, changes)) : status;
}

Status LdapStore::Delete(const std::string& dn) {
    Connection* connection = nullptr;
    Status status = Use(false, connection);
    return status.ok() ? Checked(*connection, connection->Delete(dn)) : status;
}

Status LdapStore::Rename(const std::string& dn, const std::string& newRdn, bool deleteOldRdn,
                         const std::string& newSuperior) {
    Connection* connection = nullptr;
    Status status = Use(false, connection);
    return status.ok()
               ? Checked(*connection, connection->Rename(dn, newRdn, deleteOldRdn, newSuperior))
               : status;
}

} // namespace kestrune::ldap
