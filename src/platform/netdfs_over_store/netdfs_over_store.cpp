#include "platform/netdfs_over_store/netdfs_over_store.h"

#include "base/ansi_string.h"
#include "base/win_errors.h"
#include "netdfs/netdfs_buffer.h"
#include "platform/netdfs_over_store/dfs_properties_attribute.h"
#include "platform/netdfs_over_store/dfs_target_list.h"
#include "platform/netdfs_over_store/netapi_status.h"
#include "platform/netdfs_over_store/netdfs_store_legacy.h"
#include "platform/netdfs_over_store/netdfs_store_names.h"
#include "platform/store/dn.h"
#include "platform/store/filter.h"
#include "platform/store/guid.h"

namespace kestrune {

using namespace dfs_store;

namespace {

using store::Entry;
using store::ResultCode;
using store::Scope;
using store::SearchRequest;

// The cross-references of domains: those with a NetBIOS name, or flagged as a domain's (one an
// export implied has no NetBIOS name).
constexpr const char* kDomainCrossRefs =
    "(&(objectClass=crossRef)(|(nETBIOSName=*)(systemFlags:1.2.840.113556.1.4.803:=2)))";

bool IsLegacyNamespace(const Entry& e) {
    if (const auto* classes = e.Find("objectClass"))
        for (const std::string& c : *classes)
            if (store::FoldCase(c) == "ftdfs") return true;
    return false;
}

} // namespace

StoreNetDfs::StoreNetDfs(std::shared_ptr<store::DirectoryStore> directory)
    : directory_(std::move(directory)) {}

std::optional<std::string> StoreNetDfs::DomainDn(const std::u16string& name, DfsStatus& failure) {
    failure = ERROR_BAD_NETPATH;
    std::vector<Entry> root;
    store::Status status = store::SearchAll(
        *directory_, {"", Scope::Base, "(objectClass=*)", {"configurationNamingContext"}, 0}, root);
    if (!status.ok()) failure = NetDfsFailureOf(status);
    if (!status.ok() || root.empty()) return std::nullopt;
    std::string configuration = root.front().First("configurationNamingContext");
    std::vector<Entry> partitions;
    SearchRequest request{"CN=Partitions," + configuration,
                          Scope::OneLevel,
                          kDomainCrossRefs,
                          {"nCName", "dnsRoot", "nETBIOSName"},
                          0};
    status = store::SearchAll(*directory_, request, partitions);
    if (!status.ok()) {
        failure = NetDfsFailureOf(status);
        return std::nullopt;
    }
    std::string wanted = Fold(name);
    // A trailing dot names the same DNS domain.
    if (!wanted.empty() && wanted.back() == '.') wanted.pop_back();
    for (const Entry& p : partitions) {
        if (store::FoldCase(p.First("dnsRoot")) == wanted ||
            store::FoldCase(p.First("nETBIOSName")) == wanted)
            return p.First("nCName");
    }
    return std::nullopt;
}

std::string StoreNetDfs::NamespaceDn(const std::string& domainDn, const std::string& name) const {
    std::string rdn = "CN=" + store::EscapeDnValue(name);
    return store::JoinDn(rdn, store::JoinDn(rdn, "CN=Dfs-Configuration,CN=System," + domainDn));
}

DfsStatus StoreNetDfs::ReadNamespace(const std::string& dn, Entry& out) {
    std::vector<Entry> found;
    store::Status status = store::SearchAll(
        *directory_, {dn, Scope::Base, "(objectClass=msDFS-Namespacev2)", {}, 0}, found);
    if (status.code == ResultCode::NoSuchObject || (status.ok() && found.empty()))
        return ERROR_NOT_FOUND;
    if (!status.ok()) return NetDfsFailureOf(status);
    out = std::move(found.front());
    return NERR_Success;
}

DfsStatus StoreNetDfs::ReadEitherNamespace(const std::string& domainDn, const std::string& name,
                                           std::string& dn, Entry& out, bool& legacy) {
    legacy = false;
    dn = NamespaceDn(domainDn, name);
    DfsStatus status = ReadNamespace(dn, out);
    if (status != ERROR_NOT_FOUND) return status;
    std::vector<Entry> found;
    store::Status searched = store::SearchAll(*directory_,
                                              {LegacyNamespaceDn(domainDn, name), Scope::Base,
                                               "(objectClass=fTDfs)", LegacyAttributes(), 0},
                                              found);
    if (searched.code == ResultCode::NoSuchObject || (searched.ok() && found.empty()))
        return ERROR_NOT_FOUND;
    if (!searched.ok()) return NetDfsFailureOf(searched);
    legacy = true;
    dn = found.front().dn;
    out = std::move(found.front());
    return NERR_Success;
}

DfsStatus StoreNetDfs::ReadLinks(const std::string& namespaceDn, const std::string& filter,
                                 std::vector<Link>& out) {
    std::vector<Entry> found;
    // Paged, so a namespace of any size is read in full.
    store::Status status = store::SearchAll(
        *directory_, {namespaceDn, Scope::OneLevel, filter, LinkAttributes(), 1000}, found);
    if (!status.ok()) return NetDfsFailureOf(status);
    out.clear();
    out.reserve(found.size());
    for (Entry& e : found)
        out.push_back(LinkOf(std::move(e)));
    return NERR_Success;
}

DfsStatus StoreNetDfs::Enum(const char16_t* DfsName, uint32_t Level, uint32_t PrefMaxLen,
                            uint8_t** Buffer, uint32_t* EntriesRead, uint32_t* ResumeHandle) {
    FlushStaged(); // what is listed holds a link a batch made
    if (!Buffer || !EntriesRead) return ERROR_INVALID_PARAMETER;
    *Buffer = nullptr;
    *EntriesRead = 0;
    if (Level != 200 && Level != 3 && Level != 9) return ERROR_INVALID_LEVEL;
    std::optional<std::vector<std::u16string>> parts = ParseEnumName(DfsName);
    if (!parts || parts->front().empty()) return ERROR_BAD_NETPATH;
    DfsStatus failure = NERR_Success;
    std::optional<std::string> domainDn = DomainDn(parts->front(), failure);
    if (!domainDn) return failure;
    uint32_t resumeAt = ResumeHandle ? *ResumeHandle : 0;
    uint32_t next = resumeAt;
    DfsStatus status;
    if (Level == 200) {
        if (parts->size() != 1) return ERROR_INVALID_PARAMETER;
        status = EnumNamespaces(*domainDn, PrefMaxLen, Buffer, EntriesRead, &next);
    } else {
        if (parts->size() != 2 || parts->back().empty()) return ERROR_INVALID_PARAMETER;
        status = EnumLinks(parts->front(), *domainDn, parts->back(), Level, PrefMaxLen, Buffer,
                           EntriesRead, &next);
    }
    if (status == NERR_Success && ResumeHandle) *ResumeHandle = next;
    return status;
}

namespace {

// Whether the next record still fits the caller's preferred buffer length; the first record
// of a buffer always does, and MAX_PREFERRED_LENGTH takes everything.
class PageBudget {
  public:
    explicit PageBudget(uint32_t prefMaxLen) : limit_(prefMaxLen) {}
    template <typename Size> bool Fits(bool first, Size size) {
        if (limit_ == MAX_PREFERRED_LENGTH) return true;
        used_ += size();
        return first || used_ <= limit_;
    }

  private:
    uint32_t limit_;
    size_t used_ = 0;
};

} // namespace

DfsStatus StoreNetDfs::EnumNamespaces(const std::string& domainDn, uint32_t prefMaxLen,
                                      uint8_t** buffer, uint32_t* read, uint32_t* resume) {
    // Both modes in one search, so they come in the order the directory gives either.
    std::string configuration = "CN=Dfs-Configuration,CN=System," + domainDn;
    std::vector<Entry> found;
    store::Status status =
        store::SearchAll(*directory_,
                         {configuration,
                          Scope::Subtree,
                          "(|(objectClass=msDFS-Namespacev2)(objectClass=fTDfs))",
                          {"objectClass"},
                          0},
                         found);
    if (status.code == ResultCode::NoSuchObject)
        found.clear();
    else if (!status.ok())
        return NetDfsFailureOf(status);
    std::vector<std::u16string> names;
    for (const Entry& e : found) {
        // Only an fTDfs object directly in the container is a namespace.
        if (IsLegacyNamespace(e) &&
            store::NormalizeDn(store::ParentDn(e.dn)) != store::NormalizeDn(configuration))
            continue;
        names.push_back(Utf8ToWide(store::RdnValue(store::FirstRdn(e.dn))));
    }
    if (*resume >= names.size()) return ERROR_NO_MORE_ITEMS;
    PageBudget budget(prefMaxLen);
    std::vector<std::u16string> page;
    for (size_t i = *resume;
         i < names.size() && budget.Fits(page.empty(), [&] { return PackedSize200(names[i]); });
         ++i)
        page.push_back(std::move(names[i]));
    *buffer = PackDfsInfo200(page);
    *read = static_cast<uint32_t>(page.size());
    *resume += static_cast<uint32_t>(page.size());
    return NERR_Success;
}

std::vector<std::string> StoreNetDfs::EntryAttributes(uint32_t level) {
    std::vector<std::string> attributes{"msDFS-LinkPathv2", "msDFS-Commentv2",
                                        "msDFS-TargetListv2"};
    if (level == 9)
        attributes.insert(attributes.end(),
                          {"msDFS-Propertiesv2", "msDFS-Ttlv2", "msDFS-LinkSecurityDescriptorv2"});
    return attributes;
}

DfsStatus StoreNetDfs::StartWalk(const std::string& key, const std::u16string& domain,
                                 const std::string& domainDn, const std::u16string& name,
                                 uint32_t level, uint32_t skip) {
    walk_.reset();
    std::string namespaceDn;
    Entry ns;
    bool legacy = false;
    DfsStatus status = ReadEitherNamespace(domainDn, WideToUtf8(name), namespaceDn, ns, legacy);
    if (status != NERR_Success) return status;
    Walk walk;
    walk.key = key;
    walk.level = level;
    walk.rootPath = u"\\\\" + domain + u"\\" + Utf8ToWide(store::RdnValue(store::FirstRdn(ns.dn)));
    if (legacy) {
        status = LegacyRecords(walk.rootPath, ns, level, walk.legacy);
        if (status != NERR_Success) return status;
        walk.exhausted = true;
    } else {
        // Entry 0 is the root itself.
        DfsEntryRecord root;
        status = EntryRecord(walk.rootPath, ns, true, level, root);
        if (status != NERR_Success) return status;
        walk.pending = std::move(root);
        // Paged as the directory allows at most, so a namespace of any size is read in full.
        store::Status searched =
            directory_->Search({namespaceDn, Scope::OneLevel, "(objectClass=msDFS-Linkv2)",
                                EntryAttributes(level), 1000},
                               walk.cursor);
        if (!searched.ok()) return NetDfsFailureOf(searched);
    }
    // A handle from another walk (or none kept): step over what was handed out before.
    for (; walk.position < skip; ++walk.position) {
        if (!Peek(walk, status)) return status == NERR_Success ? ERROR_NO_MORE_ITEMS : status;
        walk.pending.reset();
    }
    walk_ = std::move(walk);
    return NERR_Success;
}

bool StoreNetDfs::Peek(Walk& walk, DfsStatus& status) {
    status = NERR_Success;
    if (walk.pending) return true;
    if (walk.legacyNext < walk.legacy.size()) {
        walk.pending = std::move(walk.legacy[walk.legacyNext++]);
        return true;
    }
    while (walk.next >= walk.page.size()) {
        if (walk.exhausted) return false;
        store::Status paged = walk.cursor->NextPage(walk.page);
        walk.next = 0;
        if (!paged.ok()) {
            status = NetDfsFailureOf(paged);
            return false;
        }
        if (walk.page.empty()) walk.exhausted = true;
    }
    DfsEntryRecord record;
    status = EntryRecord(walk.rootPath, walk.page[walk.next], false, walk.level, record);
    if (status != NERR_Success) return false;
    walk.pending = std::move(record);
    ++walk.next; // the entry's memory takes the next page
    return true;
}

DfsStatus StoreNetDfs::EnumLinks(const std::u16string& domain, const std::string& domainDn,
                                 const std::u16string& name, uint32_t level, uint32_t prefMaxLen,
                                 uint8_t** buffer, uint32_t* read, uint32_t* resume) {
    std::string key = Fold(domain + u"\\" + name);
    if (*resume == 0 || !walk_ || walk_->key != key || walk_->level != level ||
        walk_->position != *resume) {
        DfsStatus started = StartWalk(key, domain, domainDn, name, level, *resume);
        if (started != NERR_Success) return started;
    }
    Walk& walk = *walk_;
    PageBudget budget(prefMaxLen);
    std::vector<DfsEntryRecord> page;
    DfsStatus status = NERR_Success;
    while (Peek(walk, status)) {
        if (!budget.Fits(page.empty(), [&] {
                return level == 9 ? PackedSize9(*walk.pending) : PackedSize3(*walk.pending);
            }))
            break;
        page.push_back(std::move(*walk.pending));
        walk.pending.reset();
    }
    if (status != NERR_Success) {
        walk_.reset();
        return status;
    }
    if (page.empty()) {
        walk_.reset();
        return ERROR_NO_MORE_ITEMS;
    }
    walk.position += static_cast<uint32_t>(page.size());
    *buffer = level == 9 ? PackDfsInfo9(page) : PackDfsInfo3(page);
    *read = static_cast<uint32_t>(page.size());
    *resume = walk.position;
    return NERR_Success;
}

} // namespace kestrune
