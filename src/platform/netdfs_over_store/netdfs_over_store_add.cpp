// NetDfsAdd over the directory store, and the runs of changes (a restore) that keep what they
// read instead of asking the directory again for every link.
#include "platform/netdfs_over_store/netdfs_over_store.h"

#include "base/ansi_string.h"
#include "base/win_errors.h"
#include "netdfs/link_names.h"
#include "platform/netdfs_over_store/dfs_properties_attribute.h"
#include "platform/netdfs_over_store/netapi_status.h"
#include "platform/netdfs_over_store/netdfs_store_legacy.h"
#include "platform/netdfs_over_store/netdfs_store_names.h"
#include "platform/store/dn.h"
#include "platform/store/guid.h"

namespace kestrune {

using namespace dfs_store;
using store::Entry;
using store::Modification;
using store::ResultCode;

namespace {

// A write refused because the object is not as it was read: another program changed it since.
bool ChangedMeanwhile(const store::Status& status) {
    return status.code == ResultCode::NoSuchAttribute ||
           status.code == ResultCode::AttributeOrValueExists ||
           status.code == ResultCode::EntryAlreadyExists;
}

} // namespace

void StoreNetDfs::BeginChanges() {
    run_.emplace();
    run_->readAt = directory_->ChangeCount();
}

DfsStatus StoreNetDfs::EndChanges() {
    if (!run_) return NERR_Success;
    Run run = std::move(*run_);
    run_.reset();
    // One change per namespace tells its servers what a change per link would.
    store::Status failed;
    for (const std::string& dn : run.changed)
        if (store::Status touched = Touch(dn); !touched.ok() && failed.ok()) failed = touched;
    if (failed.ok()) return NERR_Success;
    return {NetApiStatusOf(failed),
            "the generation of a namespace changed was not renewed: " + failed.message};
}

DfsStatus StoreNetDfs::ChangeGroup(const std::function<void()>& work) {
    store::Status status = directory_->InOneGroup([&] {
        work();
        return store::Status::Ok();
    });
    if (status.ok()) return NERR_Success;
    return NetDfsFailureOf(status);
}

void StoreNetDfs::CheckRun() {
    if (!run_) return;
    const uint64_t now = directory_->ChangeCount();
    if (now == run_->readAt) return;
    // Another program changed the directory: what was read may no longer be so.
    run_->domains.clear();
    run_->namespaces.clear();
    run_->readAt = now;
}

void StoreNetDfs::KeepRun() {
    if (run_) run_->readAt = directory_->ChangeCount();
}

LinksByPath* StoreNetDfs::KnownLinksOf(const std::string& namespaceDn) {
    if (run_)
        for (auto& [key, known] : run_->namespaces)
            if (known.dn == namespaceDn && known.links) return &*known.links;
    return nullptr;
}

void StoreNetDfs::Forget(const std::string& namespaceDn) {
    if (!run_) return;
    std::erase_if(run_->namespaces,
                  [&](const auto& known) { return known.second.dn == namespaceDn; });
}

DfsStatus StoreNetDfs::Add(const char16_t* DfsEntryPath, const char16_t* ServerName,
                           const char16_t* ShareName, const char16_t* Comment, uint32_t Flags) {
    // Whether the link exists and which targets it has must still hold when the change is
    // made, though other programs add to the same namespace.
    DfsStatus result = NERR_Success;
    store::Status status = directory_->Exclusively([&] {
        CheckRun();
        result = AddEntry(DfsEntryPath, ServerName, ShareName, Comment, Flags);
        KeepRun();
        return store::Status::Ok();
    });
    return status.ok() ? result : NetDfsFailureOf(status);
}

DfsStatus StoreNetDfs::LocateNamespace(const char16_t* DfsEntryPath, LocatedNamespace& out) {
    std::optional<std::vector<std::u16string>> parts = ParseDfsName(DfsEntryPath);
    if (!parts || parts->size() < 2 || parts->at(0).empty() || parts->at(1).empty())
        return ERROR_INVALID_PARAMETER;
    out.key = Fold(parts->at(0) + u"\\" + parts->at(1));
    out.parts = std::move(*parts);
    if (run_)
        if (auto known = run_->namespaces.find(out.key); known != run_->namespaces.end()) {
            out.dn = known->second.dn;
            out.object = known->second.object;
            out.legacy = known->second.legacy;
            return NERR_Success;
        }
    const std::string domainKey = Fold(out.parts[0]);
    std::optional<std::string> domainDn;
    if (run_)
        if (auto known = run_->domains.find(domainKey); known != run_->domains.end())
            domainDn = known->second;
    if (!domainDn) {
        DfsStatus failure = NERR_Success;
        domainDn = DomainDn(out.parts[0], failure);
        if (!domainDn) return failure;
        if (run_) run_->domains[domainKey] = *domainDn;
    }
    DfsStatus status =
        ReadEitherNamespace(*domainDn, WideToUtf8(out.parts.at(1)), out.dn, out.object, out.legacy);
    if (status == NERR_Success && run_)
        run_->namespaces[out.key] = KnownNamespace{out.dn, out.object, out.legacy, std::nullopt};
    return status;
}

DfsStatus StoreNetDfs::LinkPathOf(const std::vector<std::u16string>& parts, std::string& linkPath) {
    linkPath.clear();
    for (size_t i = 2; i < parts.size(); ++i) {
        if (!IsValidLinkName(parts[i])) return ERROR_INVALID_NAME;
        linkPath += "/" + WideToUtf8(parts[i]);
    }
    return NERR_Success;
}

DfsStatus StoreNetDfs::AddEntry(const char16_t* DfsEntryPath, const char16_t* ServerName,
                                const char16_t* ShareName, const char16_t* Comment,
                                uint32_t Flags) {
    if (Flags == DFS_RESTORE_VOLUME) return ERROR_NOT_SUPPORTED;
    if (Flags != 0 && Flags != DFS_ADD_VOLUME) return ERROR_INVALID_PARAMETER;
    if (!ServerName || !ShareName || !*ServerName || !*ShareName) return ERROR_INVALID_PARAMETER;
    LocatedNamespace ns;
    DfsStatus status = LocateNamespace(DfsEntryPath, ns);
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
    // A batch's link is written before a call about another.
    if (!StagedLink(ns.dn, linkPath)) FlushStaged();
    return AddTarget(ns, DfsEntryPath, linkPath, target,
                     Comment ? std::u16string(Comment) : std::u16string(), Flags);
}

DfsStatus StoreNetDfs::ReadAround(const std::string& namespaceDn, const std::string& linkPath,
                                  LinksByPath& links) {
    std::vector<Link> around;
    DfsStatus status = ReadLinks(namespaceDn, LinksAroundFilter(linkPath), around);
    if (status == NERR_Success) links.ReplaceAround(linkPath, std::move(around));
    return status;
}

DfsStatus StoreNetDfs::KnownLinks(const LocatedNamespace& ns, LinksByPath*& links) {
    links = nullptr;
    if (!run_) return NERR_Success;
    auto known = run_->namespaces.find(ns.key);
    if (known == run_->namespaces.end()) return NERR_Success;
    if (!known->second.links) {
        // The whole namespace in one paged search, instead of a search per line.
        std::vector<Link> all;
        DfsStatus status = ReadLinks(ns.dn, "(objectClass=msDFS-Linkv2)", all);
        if (status != NERR_Success) return status;
        known->second.links.emplace();
        for (Link& link : all)
            known->second.links->Put(std::move(link));
    }
    links = &*known->second.links;
    return NERR_Success;
}

DfsStatus StoreNetDfs::AddTarget(const LocatedNamespace& ns, std::u16string_view entryPath,
                                 const std::string& linkPath, const std::u16string& target,
                                 const std::u16string& comment, uint32_t flags) {
    LinksByPath* links = nullptr;
    DfsStatus status = KnownLinks(ns, links);
    if (status != NERR_Success) return status;
    LinksByPath around;
    // Outside a run, and for a store that tells when it changed, what is known is so now;
    // otherwise a refusal is only given after reading the link again.
    bool current = !links || directory_->ChangeCount() != 0;
    if (!links) {
        status = ReadAround(ns.dn, linkPath, around);
        if (status != NERR_Success) return status;
        links = &around;
    }
    bool nameTaken = false;
    for (int attempt = 0;; ++attempt) {
        // Another try reads what another program changed meanwhile.
        auto again = [&] {
            current = true;
            return ReadAround(ns.dn, linkPath, *links);
        };
        DfsStatus refused = NERR_Success;
        store::Status written;
        if (!links->Find(linkPath) && links->Has(linkPath)) {
            // A link the run wrote is known by its path alone: its targets are read again.
            status = again();
            if (status != NERR_Success) return status;
        }
        if (const Link* link = links->Find(linkPath)) {
            // A link this batch made is as this program left it: nothing to read again.
            current = current || IsStaged(link->dn);
            if (flags == DFS_ADD_VOLUME) refused = ERROR_FILE_EXISTS;
            bool has = false;
            for (const auto& t : link->targets)
                has = has || Fold(t.path) == Fold(target);
            if (has) refused = ERROR_FILE_EXISTS;
            if (refused == NERR_Success && !link->unreadable.empty())
                // The new list is the old one and the target: without the old one there is none.
                return Unreadable(entryPath, link->unreadable);
            if (refused == NERR_Success) {
                std::vector<StoredTarget> targets = link->targets;
                targets.push_back({target});
                std::string list = EncodeTargetEntries(targets);
                // Deleting the value read asserts it is still the one there: a list another
                // program changed meanwhile refuses the change instead of being overwritten.
                written = Write(
                    link->dn,
                    {{Modification::Op::Delete, "msDFS-TargetListv2", {link->targetList}},
                     {Modification::Op::Add, "msDFS-TargetListv2", {list}},
                     {Modification::Op::Replace, "msDFS-GenerationGUIDv2", {store::RandomGuid()}},
                     {Modification::Op::Replace, "msDFS-LastModifiedv2", {GeneralizedTimeNow()}}});
                if (written.ok()) links->SetTargets(linkPath, std::move(list), std::move(targets));
            }
        } else if (!links->Overlapping(linkPath).empty()) {
            refused = ERROR_FILE_EXISTS;
        } else {
            // Named after the namespace and the path, so that two programs adding the same link
            // at once meet at one name instead of making two objects of one link; a name taken
            // by an object of another path (renamed since) gives way to a random one.
            std::string identity =
                !nameTaken ? store::NameGuid(ns.object.First("msDFS-NamespaceIdentityGUIDv2") +
                                             store::FoldCase(linkPath))
                           : store::RandomGuid();
            Entry link;
            link.dn = store::JoinDn("CN=" + store::GuidText(identity), ns.dn);
            link.attributes = {
                {"objectClass", {"top", "msDFS-Linkv2"}},
                {"msDFS-LinkPathv2", {linkPath}},
                {"msDFS-LinkIdentityGUIDv2", {identity}},
                {"msDFS-GenerationGUIDv2", {store::RandomGuid()}},
                {"msDFS-NamespaceIdentityGUIDv2",
                 {ns.object.First("msDFS-NamespaceIdentityGUIDv2")}},
                {"msDFS-LastModifiedv2", {GeneralizedTimeNow()}},
                {"msDFS-Propertiesv2", EncodeEntryFlags({})},
                {"msDFS-Ttlv2", {std::to_string(kNewLinkTimeout)}},
                {"msDFS-TargetListv2", {EncodeTargetList({target})}},
            };
            if (!comment.empty())
                link.attributes.push_back({"msDFS-Commentv2", {WideToUtf8(comment)}});
            // In a batch of this link's calls, it is added once they are all made.
            written = Stage(ns.dn, linkPath, link) ? store::Status::Ok() : directory_->Add(link);
            if (written.ok()) links->Put(LinkOfObject(link));
        }
        if (refused != NERR_Success) {
            if (current) return refused;
            status = again();
            if (status != NERR_Success) return status;
            continue;
        }
        if (written.ok()) {
            Changed(ns.dn);
            return NERR_Success;
        }
        if (attempt > 0 || !ChangedMeanwhile(written)) return NetDfsFailureOf(written);
        nameTaken = written.code == ResultCode::EntryAlreadyExists;
        status = again();
        if (status != NERR_Success) return status;
    }
}

void StoreNetDfs::Changed(const std::string& namespaceDn) {
    if (!run_) {
        static_cast<void>(Touch(namespaceDn));
        return;
    }
    for (const std::string& dn : run_->changed)
        if (dn == namespaceDn) return;
    run_->changed.push_back(namespaceDn);
}

store::Status StoreNetDfs::Touch(const std::string& dn) {
    return directory_->Modify(
        dn, {{Modification::Op::Replace, "msDFS-GenerationGUIDv2", {store::RandomGuid()}},
             {Modification::Op::Replace, "msDFS-LastModifiedv2", {GeneralizedTimeNow()}}});
}

} // namespace kestrune
