#include "platform/netdfs_over_store.h"

#include "base/ansi_string.h"
#include "base/win_errors.h"
#include "netdfs/netdfs_buffer.h"
#include "platform/dfs_properties_attribute.h"
#include "platform/dfs_target_list.h"
#include "platform/directory_errors.h"
#include "platform/netdfs_store_legacy.h"
#include "platform/netdfs_store_names.h"
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

// What a failed directory call means to a DFS caller.
NET_API_STATUS FromStore(const store::Status& status) {
    return NetApiStatusOf(status);
}

} // namespace

StoreNetDfs::StoreNetDfs(std::shared_ptr<store::DirectoryStore> directory)
    : directory_(std::move(directory)) {}

std::optional<std::string> StoreNetDfs::DomainDn(const std::u16string& name,
                                                 NET_API_STATUS& failure) {
    failure = ERROR_BAD_NETPATH;
    std::vector<Entry> root;
    store::Status status = store::SearchAll(
        *directory_, {"", Scope::Base, "(objectClass=*)", {"configurationNamingContext"}, 0}, root);
    if (!status.ok()) failure = FromStore(status);
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
        failure = FromStore(status);
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

NET_API_STATUS StoreNetDfs::ReadNamespace(const std::string& dn, Entry& out) {
    std::vector<Entry> found;
    store::Status status = store::SearchAll(
        *directory_, {dn, Scope::Base, "(objectClass=msDFS-Namespacev2)", {}, 0}, found);
    if (status.code == ResultCode::NoSuchObject || (status.ok() && found.empty()))
        return ERROR_NOT_FOUND;
    if (!status.ok()) return FromStore(status);
    out = std::move(found.front());
    return NERR_Success;
}

NET_API_STATUS StoreNetDfs::ReadEitherNamespace(const std::string& domainDn,
                                                const std::string& name, std::string& dn,
                                                Entry& out, bool& legacy) {
    legacy = false;
    dn = NamespaceDn(domainDn, name);
    NET_API_STATUS status = ReadNamespace(dn, out);
    if (status != ERROR_NOT_FOUND) return status;
    std::vector<Entry> found;
    store::Status searched = store::SearchAll(*directory_,
                                              {LegacyNamespaceDn(domainDn, name), Scope::Base,
                                               "(objectClass=fTDfs)", LegacyAttributes(), 0},
                                              found);
    if (searched.code == ResultCode::NoSuchObject || (searched.ok() && found.empty()))
        return ERROR_NOT_FOUND;
    if (!searched.ok()) return FromStore(searched);
    legacy = true;
    dn = found.front().dn;
    out = std::move(found.front());
    return NERR_Success;
}

NET_API_STATUS StoreNetDfs::ReadLinks(const std::string& namespaceDn, const std::string& filter,
                                      std::vector<Link>& out) {
    std::vector<Entry> found;
    store::Status status =
        store::SearchAll(*directory_,
                         {namespaceDn,
                          Scope::OneLevel,
                          filter,
                          {"msDFS-LinkPathv2", "msDFS-Commentv2", "msDFS-TargetListv2"},
                          0},
                         found);
    if (!status.ok()) return FromStore(status);
    out.clear();
    out.reserve(found.size());
    for (Entry& e : found) {
        Link link;
        link.path = e.First("msDFS-LinkPathv2");
        if (const auto* comment = e.Find("msDFS-Commentv2"); comment && !comment->empty())
            link.comment = comment->front();
        if (Expected<std::vector<StoredTarget>> targets = TargetsOf(e))
            link.targets = std::move(*targets);
        else
            link.unreadable = targets.error().text;
        link.dn = std::move(e.dn);
        out.push_back(std::move(link));
    }
    return NERR_Success;
}

NET_API_STATUS StoreNetDfs::Enum(const char16_t* DfsName, uint32_t Level, uint32_t PrefMaxLen,
                                 uint8_t** Buffer, uint32_t* EntriesRead, uint32_t* ResumeHandle) {
    if (!Buffer || !EntriesRead) return ERROR_INVALID_PARAMETER;
    *Buffer = nullptr;
    *EntriesRead = 0;
    if (Level != 200 && Level != 3 && Level != 9) return ERROR_INVALID_LEVEL;
    std::optional<std::vector<std::u16string>> parts = ParseEnumName(DfsName);
    if (!parts || parts->front().empty()) return ERROR_BAD_NETPATH;
    NET_API_STATUS failure = NERR_Success;
    std::optional<std::string> domainDn = DomainDn(parts->front(), failure);
    if (!domainDn) return failure;
    uint32_t resumeAt = ResumeHandle ? *ResumeHandle : 0;
    uint32_t next = resumeAt;
    NET_API_STATUS status;
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

NET_API_STATUS StoreNetDfs::EnumNamespaces(const std::string& domainDn, uint32_t prefMaxLen,
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
        return FromStore(status);
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

NET_API_STATUS StoreNetDfs::StartWalk(const std::string& key, const std::u16string& domain,
                                      const std::string& domainDn, const std::u16string& name,
                                      uint32_t level, uint32_t skip) {
    walk_.reset();
    std::string namespaceDn;
    Entry ns;
    bool legacy = false;
    NET_API_STATUS status =
        ReadEitherNamespace(domainDn, WideToUtf8(name), namespaceDn, ns, legacy);
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
        if (!searched.ok()) return FromStore(searched);
    }
    // A handle from another walk (or none kept): step over what was handed out before.
    for (; walk.position < skip; ++walk.position) {
        if (!Peek(walk, status)) return status == NERR_Success ? ERROR_NO_MORE_ITEMS : status;
        walk.pending.reset();
    }
    walk_ = std::move(walk);
    return NERR_Success;
}

bool StoreNetDfs::Peek(Walk& walk, NET_API_STATUS& status) {
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
            status = FromStore(paged);
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

NET_API_STATUS StoreNetDfs::EnumLinks(const std::u16string& domain, const std::string& domainDn,
                                      const std::u16string& name, uint32_t level,
                                      uint32_t prefMaxLen, uint8_t** buffer, uint32_t* read,
                                      uint32_t* resume) {
    std::string key = Fold(domain + u"\\" + name);
    if (*resume == 0 || !walk_ || walk_->key != key || walk_->level != level ||
        walk_->position != *resume) {
        NET_API_STATUS started = StartWalk(key, domain, domainDn, name, level, *resume);
        if (started != NERR_Success) return started;
    }
    Walk& walk = *walk_;
    PageBudget budget(prefMaxLen);
    std::vector<DfsEntryRecord> page;
    NET_API_STATUS status = NERR_Success;
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

NET_API_STATUS StoreNetDfs::Add(const char16_t* DfsEntryPath, const char16_t* ServerName,
                                const char16_t* ShareName, const char16_t* Comment,
                                uint32_t Flags) {
    // Whether the link exists and which targets it has must still hold when the change is
    // made, though other programs add to the same namespace.
    NET_API_STATUS result = NERR_Success;
    store::Status status = directory_->Exclusively([&] {
        result = AddEntry(DfsEntryPath, ServerName, ShareName, Comment, Flags);
        return store::Status::Ok();
    });
    return status.ok() ? result : FromStore(status);
}

NET_API_STATUS StoreNetDfs::LocateNamespace(const char16_t* DfsEntryPath, LocatedNamespace& out) {
    std::optional<std::vector<std::u16string>> parts = ParseDfsName(DfsEntryPath);
    if (!parts || parts->size() < 2 || parts->at(0).empty() || parts->at(1).empty())
        return ERROR_INVALID_PARAMETER;
    NET_API_STATUS failure = NERR_Success;
    std::optional<std::string> domainDn = DomainDn(parts->at(0), failure);
    if (!domainDn) return failure;
    out.parts = std::move(*parts);
    return ReadEitherNamespace(*domainDn, WideToUtf8(out.parts.at(1)), out.dn, out.object,
                               out.legacy);
}

NET_API_STATUS StoreNetDfs::LinkPathOf(const std::vector<std::u16string>& parts,
                                       std::string& linkPath) {
    linkPath.clear();
    for (size_t i = 2; i < parts.size(); ++i) {
        if (!IsValidLinkComponent(parts[i])) return ERROR_INVALID_NAME;
        linkPath += "/" + WideToUtf8(parts[i]);
    }
    return NERR_Success;
}

NET_API_STATUS StoreNetDfs::AddEntry(const char16_t* DfsEntryPath, const char16_t* ServerName,
                                     const char16_t* ShareName, const char16_t* Comment,
                                     uint32_t Flags) {
    if (Flags == DFS_RESTORE_VOLUME) return ERROR_NOT_SUPPORTED;
    if (Flags != 0 && Flags != DFS_ADD_VOLUME) return ERROR_INVALID_PARAMETER;
    if (!ServerName || !ShareName || !*ServerName || !*ShareName) return ERROR_INVALID_PARAMETER;
    LocatedNamespace ns;
    NET_API_STATUS status = LocateNamespace(DfsEntryPath, ns);
    if (status != NERR_Success) return status;

    // Server names are taken with or without their leading backslashes.
    std::u16string_view server(ServerName);
    while (!server.empty() && server.front() == u'\\')
        server.remove_prefix(1);
    if (server.empty()) return ERROR_INVALID_PARAMETER;
    std::u16string target = u"\\\\" + std::u16string(server) + u"\\" + std::u16string(ShareName);
    if (ns.legacy) {
        std::u16string root =
            u"\\\\" + ns.parts[0] + u"\\" + Utf8ToWide(store::RdnValue(store::FirstRdn(ns.dn)));
        std::u16string entryPath = root;
        for (size_t i = 2; i < ns.parts.size(); ++i)
            entryPath += u"\\" + ns.parts[i];
        return AnswerLegacyAdd(root, ns.object, entryPath, target, Flags);
    }
    if (ns.parts.size() == 2) {
        // The root itself: its targets are namespace servers, which this call cannot add.
        auto roots = DecodeTargetList(ns.object.First("msDFS-TargetListv2"));
        if (roots)
            for (const auto& t : *roots)
                if (Fold(t) == Fold(target)) return ERROR_FILE_EXISTS;
        return ERROR_INVALID_PARAMETER;
    }
    std::string linkPath;
    status = LinkPathOf(ns.parts, linkPath);
    if (status != NERR_Success) return status;
    return AddTarget(ns.dn, ns.object, DfsEntryPath, linkPath, target,
                     Comment ? std::u16string(Comment) : std::u16string(), Flags);
}

NET_API_STATUS StoreNetDfs::AddTarget(const std::string& namespaceDn, const Entry& ns,
                                      std::u16string_view entryPath, const std::string& linkPath,
                                      const std::u16string& target, const std::u16string& comment,
                                      uint32_t flags) {
    // Only the link itself and the links above or below it matter; the directory finds them
    // by path without reading the whole namespace.
    std::string filter = "(&(objectClass=msDFS-Linkv2)(|";
    for (size_t slash = linkPath.find('/', 1);; slash = linkPath.find('/', slash + 1)) {
        filter += "(msDFS-LinkPathv2=" + store::EscapeFilterValue(linkPath.substr(0, slash)) + ")";
        if (slash == std::string::npos) break;
    }
    filter += "(msDFS-LinkPathv2=" + store::EscapeFilterValue(linkPath) + "/*)))";
    std::vector<Link> links;
    NET_API_STATUS status = ReadLinks(namespaceDn, filter, links);
    if (status != NERR_Success) return status;
    std::string wanted = store::FoldCase(linkPath);
    for (const Link& link : links) {
        std::string path = store::FoldCase(link.path);
        if (path == wanted) {
            if (flags == DFS_ADD_VOLUME) return ERROR_FILE_EXISTS;
            // The new list is the old one and the target: without the old one there is none.
            if (!link.unreadable.empty()) return Unreadable(entryPath, link.unreadable);
            for (const auto& t : link.targets)
                if (Fold(t.path) == Fold(target)) return ERROR_FILE_EXISTS;
            std::vector<StoredTarget> targets = link.targets;
            targets.push_back({target});
            store::Status changed = directory_->Modify(link.dn, {{store::Modification::Op::Replace,
                                                                  "msDFS-TargetListv2",
                                                                  {EncodeTargetEntries(targets)}},
                                                                 {store::Modification::Op::Replace,
                                                                  "msDFS-GenerationGUIDv2",
                                                                  {store::RandomGuid()}},
                                                                 {store::Modification::Op::Replace,
                                                                  "msDFS-LastModifiedv2",
                                                                  {GeneralizedTimeNow()}}});
            if (!changed.ok()) return FromStore(changed);
            Touch(namespaceDn);
            return NERR_Success;
        }
        if (Overlaps(path, wanted)) return ERROR_FILE_EXISTS;
    }

    std::string identity = store::RandomGuid();
    Entry link;
    link.dn = store::JoinDn("CN=" + store::GuidText(identity), namespaceDn);
    link.attributes = {
        {"objectClass", {"top", "msDFS-Linkv2"}},
        {"msDFS-LinkPathv2", {linkPath}},
        {"msDFS-LinkIdentityGUIDv2", {identity}},
        {"msDFS-GenerationGUIDv2", {store::RandomGuid()}},
        {"msDFS-NamespaceIdentityGUIDv2", {ns.First("msDFS-NamespaceIdentityGUIDv2")}},
        {"msDFS-LastModifiedv2", {GeneralizedTimeNow()}},
        {"msDFS-Propertiesv2", EncodeEntryFlags({})},
        {"msDFS-Ttlv2", {std::to_string(kNewLinkTimeout)}},
        {"msDFS-TargetListv2", {EncodeTargetList({target})}},
    };
    if (!comment.empty()) link.attributes.push_back({"msDFS-Commentv2", {WideToUtf8(comment)}});
    store::Status added = directory_->Add(link);
    if (!added.ok()) return FromStore(added);
    Touch(namespaceDn);
    return NERR_Success;
}

// A namespace's generation changes with every change below it. The link is in place whether
// or not this succeeds, so its outcome does not change the call's result.
void StoreNetDfs::Touch(const std::string& dn) {
    static_cast<void>(directory_->Modify(
        dn, {{store::Modification::Op::Replace, "msDFS-GenerationGUIDv2", {store::RandomGuid()}},
             {store::Modification::Op::Replace, "msDFS-LastModifiedv2", {GeneralizedTimeNow()}}}));
}

} // namespace kestrune
