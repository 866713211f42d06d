// The DFS network interface answered from the namespace objects that Active Directory keeps
// for domain-based namespaces in a directory store: Windows Server 2008 mode namespaces read
// and written, Windows 2000 mode ones (one fTDfs object each) read only.
#pragma once

#include "netdfs/netdfs.h"
#include "netdfs/netdfs_buffer.h"
#include "platform/netdfs_over_store/dfs_target_list.h"
#include "platform/netdfs_over_store/netdfs_store_links.h"
#include "platform/store/directory_store.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrune {

class StoreNetDfs : public NetDfsApi {
  public:
    explicit StoreNetDfs(std::shared_ptr<store::DirectoryStore> directory);

    DfsStatus Enum(const char16_t* DfsName, uint32_t Level, uint32_t PrefMaxLen, uint8_t** Buffer,
                   uint32_t* EntriesRead, uint32_t* ResumeHandle) override;
    DfsStatus Add(const char16_t* DfsEntryPath, const char16_t* ServerName,
                  const char16_t* ShareName, const char16_t* Comment, uint32_t Flags) override;
    DfsStatus GetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                      const char16_t* ShareName, uint32_t Level, uint8_t** Buffer) override;
    DfsStatus SetInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                      const char16_t* ShareName, uint32_t Level, const uint8_t* Buffer) override;
    DfsStatus AddRootTarget(const char16_t* pDfsPath, const char16_t* pTargetPath,
                            uint32_t MajorVersion, const char16_t* pComment,
                            uint32_t Flags) override;
    // Who may manage a namespace: the DACL of its anchor object, as Windows keeps it.
    DfsStatus GetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                          uint8_t** ppSecurityDescriptor,
                          uint32_t* lpcbSecurityDescriptor) override;
    DfsStatus SetSecurity(const char16_t* DfsEntryPath, uint32_t SecurityInformation,
                          const uint8_t* pSecurityDescriptor,
                          uint32_t cbSecurityDescriptor) override;
    // A Windows 2000 mode namespace is one binary value that this backend does not rewrite.
    bool ChangesLegacyNamespaces() const override { return false; }

    // A run of changes: the domains, namespaces and links read are kept until EndChanges
    // (checked against the store's ChangeCount where it tells one; where it does not, each write
    // asserts the values it replaces and a refusal is read again), and each namespace changed
    // gets its new generation and time once, at EndChanges.
    void BeginChanges() override;
    DfsStatus EndChanges() override;
    // The store's group (InOneGroup): one flush for the changes of the work.
    DfsStatus ChangeGroup(const std::function<void()>& work) override;
    // Inside a run: a link the work's calls create is written once, at the end, with the targets
    // and properties they gave it.
    DfsStatus ChangeLink(const std::function<void()>& work) override;

  private:
    using Link = dfs_store::StoredLink;

    DfsStatus AddEntry(const char16_t* DfsEntryPath, const char16_t* ServerName,
                       const char16_t* ShareName, const char16_t* Comment, uint32_t Flags);
    // The domain's DN; without one, failure says why: ERROR_BAD_NETPATH for a domain the
    // forest does not hold, the directory's failure otherwise.
    std::optional<std::string> DomainDn(const std::u16string& name, DfsStatus& failure);
    std::string NamespaceDn(const std::string& domainDn, const std::string& name) const;
    DfsStatus ReadNamespace(const std::string& dn, store::Entry& out);
    // The namespace of the name in either mode: the Windows Server 2008 mode object, or else
    // the fTDfs object (legacy set); ERROR_NOT_FOUND when the domain has neither.
    DfsStatus ReadEitherNamespace(const std::string& domainDn, const std::string& name,
                                  std::string& dn, store::Entry& out, bool& legacy);
    // The namespace an entry path names, read: the path's parts (domain, namespace, link
    // components), the namespace object's DN and the object itself.
    struct LocatedNamespace {
        std::vector<std::u16string> parts;
        std::string dn;
        store::Entry object;
        bool legacy = false; // a Windows 2000 mode namespace: object is its fTDfs object
        std::string key;     // the domain and namespace named, folded
    };
    DfsStatus LocateNamespace(const char16_t* DfsEntryPath, LocatedNamespace& out);
    // The object whose descriptor stands for the namespace's (CN=<namespace>,
    // CN=Dfs-Configuration): the anchor in Windows Server 2008 mode, the fTDfs object else.
    static std::string AnchorOf(const LocatedNamespace& ns);
    // The stored link path ("/Data/Projects") of the parts below the namespace;
    // ERROR_INVALID_NAME when a component is no valid link name.
    static DfsStatus LinkPathOf(const std::vector<std::u16string>& parts, std::string& linkPath);
    DfsStatus ReadLinks(const std::string& namespaceDn, const std::string& filter,
                        std::vector<Link>& out);
    DfsStatus EnumNamespaces(const std::string& domainDn, uint32_t prefMaxLen, uint8_t** buffer,
                             uint32_t* read, uint32_t* resume);
    DfsStatus EnumLinks(const std::u16string& domain, const std::string& domainDn,
                        const std::u16string& name, uint32_t level, uint32_t prefMaxLen,
                        uint8_t** buffer, uint32_t* read, uint32_t* resume);
    // What a record of the level is made from.
    static std::vector<std::string> EntryAttributes(uint32_t level);
    // The object of a root or link for NetDfsGetInfo and NetDfsSetInfo, with the attributes of
    // level 9; isRoot says which it is.
    struct FoundEntry {
        store::Entry entry;
        std::string namespaceDn;
        std::u16string rootPath;
        bool isRoot = false;
        bool legacy = false;
        std::vector<std::u16string> parts;
    };
    DfsStatus GetLegacyInfo(const FoundEntry& found, uint8_t** buffer);
    static DfsStatus GetModeInfo(const FoundEntry& found, uint8_t** buffer);
    DfsStatus FindEntry(const char16_t* DfsEntryPath, FoundEntry& found);
    DfsStatus SetEntryInfo(const char16_t* DfsEntryPath, const char16_t* ServerName,
                           const char16_t* ShareName, uint32_t Level, const uint8_t* Buffer);
    // A link walk in progress. The next call with the resume handle the last one returned
    // goes on from here, so a walk in small buffers reads each link once.
    struct Walk {
        std::string key; // the namespace's DFS name, folded
        uint32_t level = 3;
        uint32_t position = 0;                 // records handed out so far; the root is the first
        std::optional<DfsEntryRecord> pending; // read, not yet handed out
        std::u16string rootPath;
        std::unique_ptr<store::SearchCursor> cursor;
        std::vector<store::Entry> page;
        size_t next = 0;
        bool exhausted = false;
        // A Windows 2000 mode namespace's records, read at once from its one object.
        std::vector<DfsEntryRecord> legacy;
        size_t legacyNext = 0;
    };
    DfsStatus StartWalk(const std::string& key, const std::u16string& domain,
                        const std::string& domainDn, const std::u16string& name, uint32_t level,
                        uint32_t skip);
    // The walk's next record in pending; false at its end or with status set on a failure.
    bool Peek(Walk& walk, DfsStatus& status);
    DfsStatus AddTarget(const LocatedNamespace& ns, std::u16string_view entryPath,
                        const std::string& linkPath, const std::u16string& target,
                        const std::u16string& comment, uint32_t flags);
    // Reads the links around linkPath into links again (LinksAroundFilter).
    DfsStatus ReadAround(const std::string& namespaceDn, const std::string& linkPath,
                         dfs_store::LinksByPath& links);
    // Marks the namespace changed: at once, or at the end of the run of changes.
    void Changed(const std::string& namespaceDn);
    // Gives the namespace a new generation and time. The links are in place whether or not this
    // succeeds, so a single change's outcome does not depend on it.
    store::Status Touch(const std::string& dn);

    // What a run of changes keeps of a namespace it read.
    struct KnownNamespace {
        std::string dn;
        store::Entry object;
        bool legacy = false;
        std::optional<dfs_store::LinksByPath> links; // all of them, once a change needed them
    };
    // (No member initializers: clang cannot default-construct a nested class that has them
    // while the enclosing one is incomplete. run_.emplace() value-initializes, readAt 0.)
    struct Run {
        uint64_t readAt; // the store's ChangeCount when what is kept was read
        std::map<std::string, std::string> domains;       // folded name -> DN
        std::map<std::string, KnownNamespace> namespaces; // folded "domain\namespace"
        std::vector<std::string> changed;                 // namespace DNs, in order
    };
    // Inside a run: forgets what was read when the store says it changed since.
    void CheckRun();
    // Inside a run, after a change of this program: what is kept is as the store is now.
    void KeepRun();
    // The links a run keeps of the namespace, or null; and the run forgetting the namespace.
    dfs_store::LinksByPath* KnownLinksOf(const std::string& namespaceDn);
    void Forget(const std::string& namespaceDn);
    // The namespace of the run that holds the located one, its links read; null outside a run.
    DfsStatus KnownLinks(const LocatedNamespace& ns, dfs_store::LinksByPath*& links);
    std::optional<Run> run_;

    // The calls of one link (ChangeLink): the link they create, kept until the end.
    struct LinkBatch {
        std::optional<store::Entry> staged;
        std::string namespaceDn;
        std::string linkPath;
        // A write the batch needed before its end (another call came between) that failed.
        DfsStatus failure;
        std::string detail;
    };
    std::optional<LinkBatch> batch_;
    // Keeps the new link instead of adding it, when a batch has none yet.
    bool Stage(const std::string& namespaceDn, const std::string& linkPath,
               const store::Entry& link);
    bool IsStaged(const std::string& dn) const;
    const store::Entry* StagedLink(const std::string& namespaceDn,
                                   const std::string& linkPath) const;
    // Modify, made on the kept link when dn is it.
    store::Status Write(const std::string& dn, const std::vector<store::Modification>& changes);
    // The run's links know the kept link as it is now.
    void KeepStagedInRun();
    // Adds the kept link now: another call needs the directory as the batch's calls left it.
    void FlushStaged();
    DfsStatus WriteStaged();
    // AddRootTarget under the store's lock.
    DfsStatus AddRoot(const char16_t* pDfsPath, const char16_t* pTargetPath, uint32_t MajorVersion,
                      const char16_t* pComment, uint32_t Flags);
    // The container if it was deleted, the anchor, then the namespace object, as Windows
    // creates them; an anchor left without its namespace is removed again.
    DfsStatus CreateNamespace(const std::string& domainDn, const std::string& name,
                              const std::u16string& target, const std::u16string& comment);
    DfsStatus AddFurtherRootTarget(const std::string& domainDn, const std::string& name,
                                   const std::u16string& dfsPath, const std::u16string& target);

    std::shared_ptr<store::DirectoryStore> directory_;
    std::optional<Walk> walk_;
};

} // namespace kestrune
