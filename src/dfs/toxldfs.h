// TOXLDFS: lists the namespaces of a domain and the links of a namespace, and adds link
// targets, through the DFS network interface. It never throws and never shows a message: each
// operation returns whether its first platform call succeeded and leaves the status of its
// last platform call in LastError.
#pragma once

#include "base/ansi_string.h"
#include "netdfs/netdfs.h"
#include "netdfs/netdfs_buffer.h"

#include <cstdint>
#include <functional>

namespace kestrune {

// A failed DFS call as a message shows it: "<code>: <text>", then the platform's detail (UTF-8)
// in parentheses, in the code page, when it said more.
AnsiString DfsFailureText(uint32_t status, const std::string& detail);

class TOXLDFS {
  public:
    using tDFSEnum = std::function<void(TOXLDFS* Sender, AnsiString Path, bool& Abort)>;
    using tDFSEnum2 = std::function<void(TOXLDFS* Sender, AnsiString Path, AnsiString Share,
                                         AnsiString Comment, int32_t Index, bool& Abort)>;
    // The same reports as UTF-16, before the conversion to 8-bit text, for callers that need
    // to know what the conversion loses. Fired just before the 8-bit event of each report.
    using tDFSEnumWide = std::function<void(TOXLDFS* Sender, const WideString& Path)>;
    using tDFSEnum2Wide = std::function<void(TOXLDFS* Sender, const WideString& Path,
                                             const WideString& Share, const WideString& Comment)>;
    // Every property of one entry (root or link) and its targets: the platform's record, valid
    // during the call (UnpackDfsInfo9 copies it).
    using tDFSEntryProperties = std::function<void(TOXLDFS* Sender, const DFS_INFO_9& Entry)>;
    using tDFSEnumStart = std::function<void(TOXLDFS* sender)>;
    using tDFSEnumStop = std::function<void(TOXLDFS* sender)>;

    // The longest text a property may hold: the platform gets 256-unit buffers, terminator
    // included. Longer text is refused (ERROR_INVALID_PARAMETER) rather than cut, because a
    // cut path would name a different link.
    static constexpr size_t kMaxText = 255;

    const WideString& DFSEntry() const { return FDFSEntry; }
    void SetDFSEntry(const WideString& value) { FDFSEntry = value; }
    const WideString& Servername() const { return FServername; }
    void SetServername(const WideString& value) { FServername = value; }
    const WideString& ShareName() const { return FShareName; }
    void SetShareName(const WideString& value) { FShareName = value; }
    const WideString& Comment() const { return FComment; }
    void SetComment(const WideString& value) { FComment = value; }
    const WideString& PathName() const { return FPathName; }
    void SetPathName(const WideString& value) { FPathName = value; }
    uint32_t LastError() const { return FLastError; }
    // How many exceptions the component has swallowed since it was made, as it must: each
    // report that a handler or a conversion failed (the walk went on without it) and each walk
    // that an exception ended. It only grows: compare it before and after an operation to know
    // whether that operation reported everything.
    uint64_t SwallowedExceptions() const { return FSwallowedExceptions; }
    const AnsiString& LastErrors() const { return FLastErrors; }
    // What the platform said about LastError beyond the code, in UTF-8 (which link, and why);
    // empty when it said nothing or the last operation succeeded.
    const std::string& LastErrorDetail() const { return FLastErrorDetail; }
    // LastError as a message shows it, with the detail in parentheses (see DfsFailureText).
    AnsiString LastErrorText() const;
    // The flags AddLink passes: DFS_ADD_VOLUME (the link must be new) unless set otherwise;
    // 0 creates the link if needed and adds the target to it.
    uint32_t Flags() const { return FFlags; }
    void SetFlags(uint32_t value) { FFlags = value; }
    AnsiString Version() const { return "1.2"; }
    void SetVersion(const AnsiString&) {}

    // One event per namespace of the domain in DFSEntry.
    bool EnumRoots();
    // One event per target of every entry of the namespace in DFSEntry.
    bool EnumLinks();
    // EnumLinks in one walk that also reads every property (level 9): ONDFSEntryProperties
    // fires once per entry, before the entry's ONDFSEnum2 reports, which are EnumLinks' own.
    // Read a page (kPropertiesPageBytes) at a time: the level 9 records of a large namespace
    // are several times the size of its backup file.
    bool EnumLinksWithProperties();
    static constexpr uint32_t kPropertiesPageBytes = uint32_t(1) << 20;
    // Every property of the entry DFSEntry and its targets (NetDfsGetInfo, level 9), reported
    // once through ONDFSEntryProperties.
    bool GetEntryProperties();
    // Changes one property (NetDfsSetInfo at Level, Info its structure) of the entry DFSEntry,
    // or with ofTarget of its target Servername\ShareName.
    bool SetInfo(uint32_t Level, const void* Info, bool ofTarget);
    // Adds Servername\ShareName to the link DFSEntry.
    bool AddLink();
    // Creates the namespace DFSEntry (\\domain\namespace) with the root target
    // Servername\ShareName and Comment (MajorVersion 2), or adds that root target to the
    // namespace (MajorVersion 0).
    bool AddRootTarget(uint32_t MajorVersion);
    // A run of many changes (NetDfsBeginChanges): what the platform read is kept until
    // EndChanges, which marks each namespace changed once. EndChanges answers as the other calls.
    void BeginChanges();
    bool EndChanges();
    // Runs work as one group of changes made durable at once (NetDfsChangeGroup): true when its
    // changes are kept; LastError and its detail say why not otherwise.
    bool ChangeGroup(const std::function<void()>& work);
    // Runs work, the changes of one link, so that the platform may make them in one write
    // (NetDfsChangeLink): true when they are kept; LastError ERROR_RETRY when another program
    // created the link meanwhile and none was made.
    bool ChangeLink(const std::function<void()>& work);
    // The DACL of the namespace DFSEntry's objects (who may manage it), self-relative; and its
    // replacement.
    bool GetSecurity(std::string& SecurityDescriptor);
    bool SetSecurity(const std::string& SecurityDescriptor);
    // The mode of the namespace DFSEntry (NetDfsGetInfo level 50): major version 1 for a
    // Windows 2000 mode namespace, 2 for a Windows Server 2008 mode one.
    bool GetNamespaceMode(DFS_INFO_50& mode);

    tDFSEnum ONDFSEnum;
    tDFSEnum2 ONDFSEnum2;
    tDFSEnumWide ONDFSEnumWide;
    tDFSEnum2Wide ONDFSEnum2Wide;
    tDFSEntryProperties ONDFSEntryProperties;
    tDFSEnumStart OnDFSEnumStart;
    tDFSEnumStop OnDFSEnumStop;

  private:
    // A text that does not fit the platform's buffer: ERROR_INVALID_PARAMETER, no call made.
    bool RefuseText();
    using RecordWalk = std::function<void(const uint8_t* buffer, uint32_t count, bool& abort)>;
    bool Enumerate(uint32_t level, uint32_t prefMaxLen, const RecordWalk& walk);
    // Calls the platform: an exception it raises is kept in LastErrors; LastError and its detail
    // tell the answer. True on success.
    bool CallPlatform(const std::function<DfsStatus()>& call);
    void ReportRoots(const uint8_t* buffer, uint32_t count, bool& abort);
    void ReportLinks(const uint8_t* buffer, uint32_t count, bool& abort);
    void ReportLinksWithProperties(const uint8_t* buffer, uint32_t count, bool& abort);
    template <typename Storage>
    void ReportStorages(const char16_t* path, const char16_t* comment, const Storage* storages,
                        uint32_t count, bool& abort);

    WideString FDFSEntry;
    WideString FServername;
    WideString FShareName;
    WideString FComment;
    WideString FPathName;
    uint32_t FLastError = 0;
    AnsiString FLastErrors;
    std::string FLastErrorDetail;
    uint64_t FSwallowedExceptions = 0;
    uint32_t FFlags = DFS_ADD_VOLUME;
};

} // namespace kestrune
