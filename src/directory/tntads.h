// TNTADS: the Active Directory component. It keeps the settings of the next directory
// operation, the facts about the computer's domain that it detects when it is created, the
// outcome of the last operation that reports errors (LastError, LastMessage) and six events.
#pragma once

#include "adsi/adsi.h"
#include "adsi/domain_name_forms.h"
#include "base/ansi_string.h"
#include "base/string_list.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace kestrune {

// The record of one enumerated object.
class tObjData : public TObject {
  public:
    WideString ObjName;
    WideString ObjClass;
    WideString ObjGUID;
    WideString ObjPath;
    WideString ObjParent;
    WideString ObjSchema;
    int32_t ClassIndex = 0;
};

class TNTADS {
  public:
    using tEnumEvent = std::function<void(TNTADS* sender, tObjData* OBJ, int64_t Count)>;
    using tEnumStart = std::function<void(TNTADS* sender)>;
    using tEnumStop = std::function<void(TNTADS* sender)>;
    using tSearchEvent =
        std::function<void(TNTADS* sender, AnsiString Data, AnsiString OBJClass, int64_t Count)>;
    using tSearchStart = std::function<void(TNTADS* sender)>;
    using tSearchStop = std::function<void(TNTADS* sender)>;

    // Reads LOGONSERVER and detects the computer's domain; never fails for want of a directory.
    TNTADS();
    ~TNTADS();
    TNTADS(const TNTADS&) = delete;
    TNTADS& operator=(const TNTADS&) = delete;

    // Where the component shows a message of its own (a warning box in the program; standard
    // error without a display; captured in tests).
    static void SetMessageHook(std::function<void(const AnsiString& text)> hook);
    static void ShowMessage(const AnsiString& text);
    // Sets the message hook for its own lifetime and puts the previous one back at its end, so
    // that a hook never outlives what it writes to.
    class MessageHookScope {
      public:
        explicit MessageHookScope(std::function<void(const AnsiString& text)> hook);
        ~MessageHookScope();
        MessageHookScope(const MessageHookScope&) = delete;
        MessageHookScope& operator=(const MessageHookScope&) = delete;

      private:
        std::function<void(const AnsiString& text)> previous_;
    };

    // ---- properties ----
    const WideString& Domain() const { return FDomain; }
    void SetDomain(const WideString& v) { FDomain = v; }
    const WideString& Domains() const { return FDomains; }
    void SetDomains(const WideString& v) { FDomains = v; }
    const WideString& ObjectType() const { return FObjectType; }
    void SetObjectType(const WideString& v) { FObjectType = v; }
    const AnsiString& Username() const { return FUsername; }
    void SetUsername(const AnsiString& v) { FUsername = v; }
    const AnsiString& Password() const { return FPassword; }
    void SetPassword(const AnsiString& v) { FPassword = v; }
    const AnsiString& ADSPath() const { return FADSPath; }
    void SetADSPath(const AnsiString& v) { FADSPath = v; }
    const AnsiString& Provider() const { return FProvider; }
    void SetProvider(const AnsiString& v) { FProvider = v; }
    bool FullUser() const { return FFullUser; }
    void SetFullUser(bool v) { FFullUser = v; }
    int64_t EnumCount() const { return FEnumCount; }
    void SetEnumCount(int64_t v) { FEnumCount = v; }
    int64_t LastError() const { return FLastError; }
    void SetLastError(int64_t v) { FLastError = v; }
    const WideString& LastMessage() const { return FLastMessage; }
    void SetLastMessage(const WideString& v) { FLastMessage = v; }
    const WideString& ObjectCatagory() const { return FObjectCatagory; }
    void SetObjectCatagory(const WideString& v) { FObjectCatagory = v; }
    const WideString& SearchPath() const { return FSearchPath; }
    void SetSearchPath(const WideString& v) { FSearchPath = v; }
    const WideString& Filter() const { return FFilter; }
    void SetFilter(const WideString& v) { FFilter = v; }
    const WideString& LoginServer() const { return FLoginServer; }
    void SetLoginServer(const WideString& v) { FLoginServer = v; }
    bool UseLoginServer() const { return FUseLoginServer; }
    void SetUseLoginServer(bool v) { UseLIS(v); }
    const WideString& EnumFilter() const { return FEnumFilter; }
    void SetEnumFilter(const WideString& v) { FEnumFilter = v; }
    const WideString& Machine() const { return FMachine; }
    void SetMachine(const WideString& v) { FMachine = v; }
    const WideString& Site() const { return FSite; }
    void SetSite(const WideString& v) { FSite = v; }
    const WideString& Forest() const { return FForest; }
    void SetForest(const WideString& v) { FForest = v; }
    const WideString& PDCEmulator() const { return FPDCEmulator; }
    void SetPDCEmulator(const WideString& v) { FPDCEmulator = v; }
    const WideString& Schema() const { return FSchema; }
    void SetSchema(const WideString& v) { FSchema = v; }
    bool Native() const { return FNative; }
    void SetNative(bool v) { FNative = v; }
    TStringList* SubNets() const { return FSubNets.get(); }
    TStringList* Sites() const { return FSites.get(); }
    bool Subs() const { return FSubs; }
    void SetSubs(bool v) { FSubs = v; }
    int32_t RowCount() const { return FRowCount; }
    void SetRowCount(int32_t v) { FRowCount = v; }
    bool Aborting() const { return FAborting; }
    AnsiString Version() const { return GetVer(); }
    void SetVersion(const AnsiString& v) { SetVer(v); }

    tEnumEvent OnEnum;
    tEnumStart OnEnumStart;
    tEnumStop OnEnumStop;
    tSearchEvent OnSearch;
    tSearchStart OnSearchStart;
    tSearchStop OnSearchStop;

    // ---- detection and settings ----
    void DetectDirectory();
    void UseLIS(bool value);
    static void LoadEnvironmentStrings(TStringList& list);
    AnsiString GetVer() const { return "2.0.0.6"; }
    void SetVer(const AnsiString&) {}

    // ---- searching and binding ----
    bool ExecuteSearch(TStringList& list);
    void VBOpenObject(const AnsiString& path, std::shared_ptr<adsi::IDispatch>& object);
    AnsiString GetClass(const AnsiString& path);
    AnsiString GetClass2(const AnsiString& path);
    bool ObjectExists(const AnsiString& path);

    // ---- error texts ----
    // LastError := the thread's last error with bit 31 cleared; LastMessage := its text.
    void GetErrorMessage();

    // ---- classes and opening objects ----
    // The class index (0 to 27) of a class name, ASCII letters compared without case.
    static uint8_t GetClassIndex(const AnsiString& className);
    // Provider + ADSPath (ADSPath alone when it holds Provider already); null when Provider
    // (OpenUser: ADSPath) is empty. A failed binding throws EOleError.
    std::shared_ptr<adsi::IADs> OpenObject();
    std::shared_ptr<adsi::IADsContainer> OpenContainer();
    std::shared_ptr<adsi::IADsUser> OpenUser();
    // Stops a running container enumeration after the current child.
    void abort();
    void SetADSData();

    // ---- enumeration, users and groups ----
    // The direct children of the container (filtered by EnumFilter), each entry with its
    // tObjData attached. The caller owns the list, and the list owns the records
    // (TStringList::TakeObject takes one out to keep it).
    TStringList* EnumerateContainer(adsi::IADsContainer& container);
    // Rows of a search below path (ObjectCatagory and Filter cleared).
    int32_t CountContainer(const AnsiString& path);
    // Paths of the groups of a user; empty when the path is not a bindable user.
    TStringList* EnumUser(const AnsiString& userPath);
    // "{class}path" per member of a group; empty when the path is not a bindable group.
    TStringList* enumgroup(const AnsiString& groupPath);
    // Every user of a group and of the groups nested in it, sorted, each once.
    TStringList* GetAllusers(const AnsiString& groupPath);

    // ---- servers, roles, sites and subnets ----
    // The server holding the PDC role of the domain at domainPath ("\\DC1" in short form).
    AnsiString GetPDCEmulator(const AnsiString& domainPath, bool shortForm);
    // Computers of the domain whose operating system names a server; a sorted list.
    TStringList* Serverlist(const AnsiString& domain, bool shortForm);
    // The ADSI namespaces, each with its record (owned by the list); null when "ADs:" gives no
    // container.
    TStringList* GetProviders();
    AnsiString getDefaultContainer();
    bool SetDefaultContainer(const AnsiString& path);
    // Refill Sites and SubNets (the lists own the records attached to their entries).
    void GetSites();
    void GetSubNets();

    // ---- property values ----
    // One attribute as display text; a failed read throws, a failed conversion shows a message.
    WideString GetPropertyValue(adsi::IADs& object, const AnsiString& name);
    // The mandatory (true) or optional attribute names of the class of the object at ADSPath.
    // New lists, owned by the caller.
    TStringList* GetPropertyList(bool mandatory);
    // Loads the attribute cache of the object at ADSPath; the list stays empty.
    TStringList* GetPropertyList2();

    // ---- moving, deleting and naming ----
    bool MoveObject(adsi::IADsContainer& target, const AnsiString& sourcePath);
    // Deletes the child relativeName (CN=Ann) of the container Provider + ADSPath.
    bool DeleteObject(const WideString& className, const WideString& relativeName);
    // The first "CN=" component of a distinguished name, prefix kept.
    static WideString GetCommonName(const WideString& name);

    // ---- the forest's domains ----
    AnsiString GetRoot();
    // A new list, owned by the caller.
    TStringList* GetDomains(const AnsiString& root, bool shortNames);
    bool DomainExists(const AnsiString& path);

    // ---- domain name forms ----
    // sales.example.com -> DC=sales,DC=example,DC=com; a name without a dot is returned as is.
    static AnsiString CorrectDomain(const AnsiString& name) { return DomainNameToDn(name); }
    // DC=sales,DC=example,DC=com -> sales.example.com; attribute types are dropped whatever
    // they are; a name without "=" is returned as is.
    static AnsiString ToDotname(const AnsiString& name) { return DnToDomainName(name); }

  private:
    void FillFromConfiguration(const AnsiString& head, TStringList& target);

    WideString FDomain, FDomains, FObjectType;
    AnsiString FUsername, FPassword, FADSPath, FProvider;
    bool FFullUser = false;
    int64_t FEnumCount = 0;
    int64_t FLastError = 0;
    WideString FLastMessage, FObjectCatagory, FSearchPath, FFilter, FLoginServer;
    bool FUseLoginServer = false;
    WideString FEnumFilter, FMachine, FSite, FForest, FPDCEmulator, FSchema;
    bool FNative = false;
    std::unique_ptr<TStringList> FSubNets, FSites;
    bool FSubs = false;
    int32_t FRowCount = 0;
    bool FAborting = false;
};

} // namespace kestrune
