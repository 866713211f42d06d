// NetDfsAddRootTarget, NetDfsGetSecurity and NetDfsSetSecurity over the directory store: a
// namespace created as Windows creates one in Windows Server 2008 mode, a root target added to
// one, and who may manage it (the DACL of its anchor object).
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

#include <cstdlib>
#include <cstring>

namespace kestrune {

using namespace dfs_store;
using store::Entry;
using store::Modification;
using store::ResultCode;

namespace {

// \\server\share with both parts, or nothing.
std::optional<std::u16string> RootTargetPath(const char16_t* path) {
    std::optional<std::vector<std::u16string>> parts = ParseDfsName(path);
    if (!parts || parts->size() != 2 || parts->at(0).empty() || parts->at(1).empty())
        return std::nullopt;
    for (const std::u16string& part : *parts)
        if (!IsValidLinkName(part)) return std::nullopt;
    return u"\\\\" + parts->at(0) + u"\\" + parts->at(1);
}

std::string ContainerDn(const std::string& domainDn) {
    return "CN=Dfs-Configuration,CN=System," + domainDn;
}

} // namespace

DfsStatus StoreNetDfs::AddRootTarget(const char16_t* pDfsPath, const char16_t* pTargetPath,
                                     uint32_t MajorVersion, const char16_t* pComment,
                                     uint32_t Flags) {
    FlushStaged();
    DfsStatus result = NERR_Success;
    store::Status status = directory_->Exclusively([&] {
        CheckRun();
        result = AddRoot(pDfsPath, pTargetPath, MajorVersion, pComment, Flags);
        // What a run read of namespaces (of this one's name, or its root targets) is read anew.
        if (run_) run_->namespaces.clear();
        KeepRun();
        return store::Status::Ok();
    });
    return status.ok() ? result : NetDfsFailureOf(status);
}

DfsStatus StoreNetDfs::AddRoot(const char16_t* pDfsPath, const char16_t* pTargetPath,
                               uint32_t MajorVersion, const char16_t* pComment, uint32_t Flags) {
    if (Flags != 0 || MajorVersion > 2) return ERROR_INVALID_PARAMETER;
    std::optional<std::vector<std::u16string>> parts = ParseDfsName(pDfsPath);
    if (!parts || parts->size() != 2 || parts->at(0).empty() || !IsValidLinkName(parts->at(1)))
        return ERROR_INVALID_PARAMETER;
    std::optional<std::u16string> target = RootTargetPath(pTargetPath);
    if (!target) return ERROR_INVALID_PARAMETER;
    if (MajorVersion == 1) {
        return {ERROR_NOT_SUPPORTED,
                "this platform creates namespaces in Windows Server 2008 mode only"};
    }
    DfsStatus failure = NERR_Success;
    std::optional<std::string> domainDn = DomainDn(parts->at(0), failure);
    if (!domainDn) return failure;
    const std::string name = WideToUtf8(parts->at(1));
    if (MajorVersion == 0)
        return AddFurtherRootTarget(*domainDn, name, u"\\\\" + parts->at(0) + u"\\" + parts->at(1),
                                    *target);
    return CreateNamespace(*domainDn, name, *target,
                           pComment ? std::u16string(pComment) : std::u16string());
}

DfsStatus StoreNetDfs::AddFurtherRootTarget(const std::string& domainDn, const std::string& name,
                                            const std::u16string& dfsPath,
                                            const std::u16string& target) {
    Entry ns;
    std::string dn;
    bool legacy = false;
    DfsStatus status = ReadEitherNamespace(domainDn, name, dn, ns, legacy);
    if (status != NERR_Success) return status;
    if (legacy) {
        // A target it has is there in either mode; any other would mean rewriting the pKT.
        status = AnswerLegacyAdd(dfsPath, ns, dfsPath, target, 0);
        return status == ERROR_FILE_EXISTS ? status : RefuseLegacyChange(dfsPath);
    }
    Expected<std::vector<StoredTarget>> targets = TargetsOf(ns);
    // The new list is the old one and the target: without the old one there is none.
    if (!targets) return Unreadable(dfsPath, targets.error().text);
    for (const StoredTarget& t : *targets)
        if (Fold(t.path) == Fold(target)) return ERROR_FILE_EXISTS;
    targets->push_back({target});
    store::Status changed = directory_->Modify(
        ns.dn, {{Modification::Op::Replace, "msDFS-TargetListv2", {EncodeTargetEntries(*targets)}},
                {Modification::Op::Replace, "msDFS-GenerationGUIDv2", {store::RandomGuid()}},
                {Modification::Op::Replace, "msDFS-LastModifiedv2", {GeneralizedTimeNow()}}});
    return changed.ok() ? NERR_Success : NetDfsFailureOf(changed);
}

DfsStatus StoreNetDfs::CreateNamespace(const std::string& domainDn, const std::string& name,
                                       const std::u16string& target,
                                       const std::u16string& comment) {
    const std::string container = ContainerDn(domainDn);
    // The container is in every domain; where it was deleted, it comes back first, as the
    // namespace service creates it.
    std::vector<Entry> found;
    store::Status read = store::SearchAll(
        *directory_, {container, store::Scope::Base, "(objectClass=*)", {"objectClass"}, 0}, found);
    if (read.code == ResultCode::NoSuchObject) {
        Entry created;
        created.dn = container;
        created.attributes = {{"objectClass", {"top", "dfsConfiguration"}}};
        store::Status added = directory_->Add(created);
        if (!added.ok()) return NetDfsFailureOf(added);
    } else if (!read.ok()) {
        return NetDfsFailureOf(read);
    }

    const std::string rdn = "CN=" + store::EscapeDnValue(name);
    Entry anchor;
    anchor.dn = store::JoinDn(rdn, container);
    anchor.attributes = {{"objectClass", {"top", "msDFS-NamespaceAnchor"}},
                         {"msDFS-SchemaMajorVersion", {"2"}}};
    store::Status added = directory_->Add(anchor);
    if (added.code == ResultCode::EntryAlreadyExists) {
        // The anchor's name is the namespace's, whichever mode took it.
        return {ERROR_ALREADY_EXISTS, "the directory already holds " + anchor.dn};
    }
    if (!added.ok()) return NetDfsFailureOf(added);

    Entry ns;
    ns.dn = store::JoinDn(rdn, anchor.dn);
    ns.attributes = {
        {"objectClass", {"top", "msDFS-Namespacev2"}},
        {"msDFS-SchemaMajorVersion", {"2"}},
        {"msDFS-SchemaMinorVersion", {"0"}},
        {"msDFS-NamespaceIdentityGUIDv2", {store::RandomGuid()}},
        {"msDFS-GenerationGUIDv2", {store::RandomGuid()}},
        {"msDFS-LastModifiedv2", {GeneralizedTimeNow()}},
        {"msDFS-Ttlv2", {std::to_string(kNewRootTimeout)}},
        {"msDFS-TargetListv2", {EncodeTargetList({target})}},
        {"msDFS-Propertiesv2", EncodeEntryFlags({})},
    };
    if (!comment.empty()) ns.attributes.push_back({"msDFS-Commentv2", {WideToUtf8(comment)}});
    added = directory_->Add(ns);
    if (!added.ok()) {
        // No anchor without its namespace: a later try starts from nothing.
        static_cast<void>(directory_->Delete(anchor.dn));
        return NetDfsFailureOf(added);
    }
    return NERR_Success;
}

std::string StoreNetDfs::AnchorOf(const LocatedNamespace& ns) {
    return ns.legacy ? ns.dn : store::ParentDn(ns.dn);
}

DfsStatus StoreNetDfs::GetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                                   uint8_t** ppSecurityDescriptor,
                                   uint32_t* lpcbSecurityDescriptor) {
    FlushStaged();
    if (SecurityInformation != DACL_SECURITY_INFORMATION) return ERROR_INVALID_PARAMETER;
    LocatedNamespace ns;
    DfsStatus status = LocateNamespace(DfsEntryPath, ns);
    if (status != NERR_Success) return status;
    if (ns.parts.size() != 2) return ERROR_INVALID_PARAMETER;
    std::vector<Entry> found;
    store::Status read = store::SearchAll(
        *directory_,
        {AnchorOf(ns), store::Scope::Base, "(objectClass=*)", {"nTSecurityDescriptor"}, 0}, found);
    if (!read.ok()) return NetDfsFailureOf(read);
    // An object the directory gives no descriptor for: a header without a DACL.
    std::string descriptor = found.empty()
                                 ? std::string()
                                 : std::string(FirstValue(found.front(), "nTSecurityDescriptor"));
    if (descriptor.empty()) {
        descriptor.assign(20, '\0');
        descriptor[0] = 1;
        descriptor[3] = static_cast<char>(0x80); // self-relative
    }
    auto* buffer = static_cast<uint8_t*>(std::malloc(descriptor.size()));
    if (!buffer) return ERROR_NOT_ENOUGH_MEMORY;
    std::memcpy(buffer, descriptor.data(), descriptor.size());
    *ppSecurityDescriptor = buffer;
    *lpcbSecurityDescriptor = static_cast<uint32_t>(descriptor.size());
    return NERR_Success;
}

DfsStatus StoreNetDfs::SetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                                   const uint8_t* pSecurityDescriptor,
                                   uint32_t cbSecurityDescriptor) {
    FlushStaged();
    if (SecurityInformation != DACL_SECURITY_INFORMATION || cbSecurityDescriptor < 20)
        return ERROR_INVALID_PARAMETER;
    const std::string descriptor(reinterpret_cast<const char*>(pSecurityDescriptor),
                                 cbSecurityDescriptor);
    DfsStatus result = NERR_Success;
    store::Status status = directory_->Exclusively([&] {
        LocatedNamespace ns;
        result = LocateNamespace(DfsEntryPath, ns);
        if (result == NERR_Success && ns.parts.size() != 2) result = ERROR_INVALID_PARAMETER;
        if (result != NERR_Success) return store::Status::Ok();
        store::Status changed = directory_->Modify(
            AnchorOf(ns), {{Modification::Op::Replace, "nTSecurityDescriptor", {descriptor}}});
        if (!changed.ok()) result = NetDfsFailureOf(changed);
        return store::Status::Ok();
    });
    return status.ok() ? result : NetDfsFailureOf(status);
}

} // namespace kestrune
