// The netapi32 backend against recorded answers: buffers laid out as netapi32 returns them
// (the records first, the strings they point to after them, in one allocation).
#include "backup/root_servers.h"
#include "dfs/toxldfs.h"
#include "platform/win32/netdfs_win32.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <vector>

#include "base/windows_sdk.h" // last: the SDK's macros
#include <lm.h>
#include <lmdfs.h>

namespace kestrune::win32 {
namespace {

struct Storage {
    std::wstring server, share;
};
struct Entry {
    std::wstring path;
    const wchar_t* comment; // null: no comment
    std::vector<Storage> storages;
};

// One answer of the recorded NetDfsEnum.
struct Answer {
    unsigned long status;
    unsigned char* buffer;
    unsigned long count;
};

// What the recorded netapi32 saw and still holds.
struct Recording {
    std::vector<Answer> answers;
    size_t next = 0;
    std::vector<std::wstring> names;
    std::vector<unsigned long> levels, resumes;
    std::set<void*> outstanding; // handed out, not yet freed
    std::vector<std::wstring> added;
    unsigned long addFlags = 0, addStatus = 0;
    unsigned long setLevel = 0;
    std::wstring setServer;
    ::DFS_INFO_104 setPriority{};
    ::DFS_INFO_103 setFlags{};
    // Each level 101 call: server\share and the state; the answers to give, in order.
    std::vector<std::pair<std::wstring, unsigned long>> states;
    std::vector<unsigned long> setAnswers;
    std::vector<std::wstring> rootAdded; // path, target, version, comment (or "null")
    unsigned long rootStatus = 0;
    std::vector<unsigned char> descriptor; // what NetDfsGetSecurity gives, NetDfsSetSecurity got
};
Recording* recording = nullptr;

class Allocation {
  public:
    explicit Allocation(size_t size) : base_(static_cast<unsigned char*>(std::calloc(1, size))) {}
    template <typename T> T* Take(size_t count) {
        T* at = reinterpret_cast<T*>(base_ + used_);
        used_ += (count * sizeof(T) + 7) & ~size_t(7);
        return at;
    }
    wchar_t* Copy(const std::wstring& text) {
        wchar_t* at = Take<wchar_t>(text.size() + 1);
        std::memcpy(at, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        return at;
    }
    unsigned char* base_;
    size_t used_ = 0;
};

unsigned char* Level3(const std::vector<Entry>& entries) {
    Allocation a(8192);
    auto* records = a.Take<::DFS_INFO_3>(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        records[i].EntryPath = a.Copy(entries[i].path);
        records[i].Comment = entries[i].comment ? a.Copy(entries[i].comment) : nullptr;
        records[i].State = DFS_VOLUME_STATE_OK;
        records[i].NumberOfStorages = static_cast<DWORD>(entries[i].storages.size());
        records[i].Storage = a.Take<::DFS_STORAGE_INFO>(entries[i].storages.size());
        for (size_t s = 0; s < entries[i].storages.size(); ++s) {
            records[i].Storage[s].State = DFS_STORAGE_STATE_ONLINE;
            records[i].Storage[s].ServerName = a.Copy(entries[i].storages[s].server);
            records[i].Storage[s].ShareName = a.Copy(entries[i].storages[s].share);
        }
    }
    recording->outstanding.insert(a.base_);
    return a.base_;
}

unsigned char* Level200(const std::vector<std::wstring>& names) {
    Allocation a(4096);
    auto* records = a.Take<::DFS_INFO_200>(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        records[i].FtDfsName = a.Copy(names[i]);
    recording->outstanding.insert(a.base_);
    return a.base_;
}

// One entry with every property, as level 9 returns it.
unsigned char* Level9(const std::wstring& path, DWORD state, ULONG timeout, ULONG flags,
                      const std::vector<unsigned char>& sd, const std::wstring& server,
                      DWORD targetState, ::DFS_TARGET_PRIORITY_CLASS priority, USHORT rank) {
    Allocation a(4096);
    auto* r = a.Take<::DFS_INFO_9>(1);
    r->EntryPath = a.Copy(path);
    r->State = state;
    r->Timeout = timeout;
    r->PropertyFlags = flags;
    r->SdLengthReserved = static_cast<ULONG>(sd.size());
    auto* bytes = a.Take<unsigned char>(sd.size());
    std::memcpy(bytes, sd.data(), sd.size());
    r->pSecurityDescriptor = bytes;
    r->NumberOfStorages = 1;
    r->Storage = a.Take<::DFS_STORAGE_INFO_1>(1);
    r->Storage[0].State = targetState;
    r->Storage[0].ServerName = a.Copy(server);
    r->Storage[0].ShareName = a.Copy(L"Share");
    r->Storage[0].TargetPriority.TargetPriorityClass = priority;
    r->Storage[0].TargetPriority.TargetPriorityRank = rank;
    recording->outstanding.insert(a.base_);
    return a.base_;
}

NetApi32 RecordedNetApi32() {
    return {
        [](wchar_t* name, unsigned long level, unsigned long, unsigned char** buffer,
           unsigned long* count, unsigned long* resume) -> unsigned long {
            recording->names.push_back(name);
            recording->levels.push_back(level);
            recording->resumes.push_back(*resume);
            Answer a = recording->next < recording->answers.size()
                           ? recording->answers[recording->next++]
                           : Answer{ERROR_NO_MORE_ITEMS, nullptr, 0};
            *buffer = a.buffer;
            *count = a.count;
            *resume += 10;
            return a.status;
        },
        [](wchar_t* entry, wchar_t* server, wchar_t* share, wchar_t* comment,
           unsigned long flags) -> unsigned long {
            recording->added = {entry, server, share, comment};
            recording->addFlags = flags;
            return recording->addStatus;
        },
        [](void* buffer) -> unsigned long {
            EXPECT_EQ(recording->outstanding.erase(buffer), 1u) << "freed twice or not ours";
            std::free(buffer);
            return NERR_Success;
        },
        [](wchar_t*, wchar_t*, wchar_t*, unsigned long, unsigned char** buffer) -> unsigned long {
            Answer a = recording->next < recording->answers.size()
                           ? recording->answers[recording->next++]
                           : Answer{ERROR_NOT_FOUND, nullptr, 0};
            *buffer = a.buffer;
            return a.status;
        },
        [](wchar_t*, wchar_t* server, wchar_t* share, unsigned long level,
           unsigned char* buffer) -> unsigned long {
            recording->setLevel = level;
            recording->setServer = server ? server : L"";
            if (level == 104) recording->setPriority = *reinterpret_cast<::DFS_INFO_104*>(buffer);
            if (level == 103) recording->setFlags = *reinterpret_cast<::DFS_INFO_103*>(buffer);
            if (level == 101)
                recording->states.emplace_back(recording->setServer + L"\\" + (share ? share : L""),
                                               reinterpret_cast<::DFS_INFO_101*>(buffer)->State);
            if (recording->setAnswers.empty()) return NERR_Success;
            unsigned long answer = recording->setAnswers.front();
            recording->setAnswers.erase(recording->setAnswers.begin());
            return answer;
        },
        [](wchar_t* path, wchar_t* target, unsigned long version, wchar_t* comment,
           unsigned long flags) -> unsigned long {
            EXPECT_EQ(flags, 0u);
            recording->rootAdded = {path, target, std::to_wstring(version),
                                    comment ? comment : L"null"};
            return recording->rootStatus;
        },
        [](wchar_t*, unsigned long information, void** descriptor,
           unsigned long* size) -> unsigned long {
            EXPECT_EQ(information, static_cast<unsigned long>(DACL_SECURITY_INFORMATION));
            Allocation a(recording->descriptor.size() + 8);
            auto* bytes = a.Take<unsigned char>(recording->descriptor.size());
            std::memcpy(bytes, recording->descriptor.data(), recording->descriptor.size());
            recording->outstanding.insert(a.base_);
            *descriptor = a.base_;
            *size = static_cast<unsigned long>(recording->descriptor.size());
            return NERR_Success;
        },
        [](wchar_t*, unsigned long, void* descriptor) -> unsigned long {
            // A self-relative descriptor's length is the system's to find; the test's are 28
            // bytes.
            const auto* bytes = static_cast<unsigned char*>(descriptor);
            recording->descriptor.assign(bytes, bytes + 28);
            return NERR_Success;
        },
    };
}

class Win32NetDfsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recording = &record;
        InstallNetDfsApi(MakeWin32NetDfs(RecordedNetApi32()));
    }
    void TearDown() override {
        InstallNetDfsApi(nullptr);
        EXPECT_TRUE(record.outstanding.empty()) << "a netapi32 buffer was not freed";
        recording = nullptr;
    }
    Recording record;
};

TEST_F(Win32NetDfsTest, LinksArriveCopiedAcrossBuffersAndEverySystemBufferIsFreed) {
    record.answers = {
        {NERR_Success,
         Level3({{L"\\\\example.com\\Public", L"Root", {{L"DC1", L"Public"}}},
                 {L"\\\\example.com\\Public\\Software",
                  L"Installers, \"current\"",
                  {{L"FS1", L"Software"}, {L"FS2", L"Soft\u00e9ware\\x64"}}}}),
         2},
        {ERROR_MORE_DATA,
         Level3({{L"\\\\example.com\\Public\\Empty", nullptr, {}},
                 {L"\\\\example.com\\Public\\Docs", nullptr, {{L"FS3", L"Docs"}}}}),
         2},
    };
    TOXLDFS dfs;
    std::vector<std::string> reports;
    dfs.ONDFSEnum2 = [&](TOXLDFS*, AnsiString path, AnsiString share, AnsiString comment,
                         int32_t index, bool&) {
        reports.push_back(path + "|" + share + "|" + comment + "|" + std::to_string(index));
    };
    dfs.SetDFSEntry(u"\\\\example.com\\Public");
    EXPECT_TRUE(dfs.EnumLinks());
    EXPECT_EQ(reports,
              (std::vector<std::string>{
                  "\\\\example.com\\Public|DC1\\Public|Root|0",
                  "\\\\example.com\\Public\\Software|FS1\\Software|Installers, \"current\"|0",
                  "\\\\example.com\\Public\\Software|FS2\\Soft\xe9ware\\x64|Installers, "
                  "\"current\"|1",
                  "\\\\example.com\\Public\\Docs|FS3\\Docs||0",
              }));
    // The walk ends as netapi32 ends it; the resume handle went back as it came.
    EXPECT_EQ(dfs.LastError(), static_cast<uint32_t>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(record.levels, (std::vector<unsigned long>{3, 3, 3}));
    EXPECT_EQ(record.resumes, (std::vector<unsigned long>{0, 10, 20}));
    EXPECT_EQ(record.names.front(), L"\\\\example.com\\Public");
}

TEST_F(Win32NetDfsTest, RootsFailuresAndLevelsItCannotCopy) {
    record.answers = {{NERR_Success, Level200({L"Public", L"Team \u00c4"}), 2}};
    TOXLDFS dfs;
    std::vector<std::string> roots;
    dfs.ONDFSEnum = [&](TOXLDFS*, AnsiString path, bool&) { roots.push_back(path); };
    dfs.SetDFSEntry(u"\\\\example.com");
    EXPECT_TRUE(dfs.EnumRoots());
    EXPECT_EQ(roots, (std::vector<std::string>{"Public", "Team \xc4"}));

    // A failure that still hands over a buffer: the buffer is freed, nothing is reported.
    record.answers.push_back({ERROR_ACCESS_DENIED, Level200({L"Secret"}), 1});
    roots.clear();
    EXPECT_FALSE(dfs.EnumRoots());
    EXPECT_TRUE(roots.empty());
    EXPECT_EQ(dfs.LastError(), static_cast<uint32_t>(ERROR_ACCESS_DENIED));

    // A level whose records the backend cannot copy never reaches netapi32.
    size_t calls = record.levels.size();
    uint8_t* buffer = nullptr;
    uint32_t count = 0, resume = 0;
    EXPECT_EQ(NetDfsEnum(u"\\\\example.com", 1, 0xFFFFFFFF, &buffer, &count, &resume),
              static_cast<uint32_t>(ERROR_INVALID_LEVEL));
    EXPECT_EQ(record.levels.size(), calls);
    EXPECT_EQ(buffer, nullptr);
}

TEST_F(Win32NetDfsTest, AddPassesTheShareBeforeTheCommentAndReturnsTheStatus) {
    TOXLDFS dfs;
    dfs.SetDFSEntry(u"\\\\example.com\\Public\\New");
    dfs.SetServername(u"FS1");
    dfs.SetShareName(u"New\\sub");
    dfs.SetComment(u"a comment");
    EXPECT_TRUE(dfs.AddLink());
    EXPECT_EQ(record.added, (std::vector<std::wstring>{L"\\\\example.com\\Public\\New", L"FS1",
                                                       L"New\\sub", L"a comment"}));
    EXPECT_EQ(record.addFlags, static_cast<unsigned long>(DFS_ADD_VOLUME));
    record.addStatus = NERR_DfsVolumeAlreadyExists;
    EXPECT_FALSE(dfs.AddLink());
    EXPECT_EQ(dfs.LastError(), static_cast<uint32_t>(NERR_DfsVolumeAlreadyExists));
}

} // namespace
} // namespace kestrune::win32

namespace kestrune::win32 {
namespace {

TEST_F(Win32NetDfsTest, Level9PropertiesArriveCopiedAndSetInfoGetsTheSystemsStructures) {
    const std::vector<unsigned char> sd = {1, 0, 4,  0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                           0, 0, 20, 0,    0, 0, 2, 0, 8, 0, 0, 0, 0, 0};
    record.answers = {{NERR_Success,
                       Level9(L"\\\\example.com\\Public\\Soft", DFS_VOLUME_STATE_OFFLINE | 0x200,
                              900, DFS_PROPERTY_FLAG_TARGET_FAILBACK, sd, L"FS1",
                              DFS_STORAGE_STATE_OFFLINE, ::DfsGlobalHighPriorityClass, 5),
                       1}};
    TOXLDFS dfs;
    std::vector<DfsEntryRecord> entries;
    int lines = 0;
    dfs.ONDFSEntryProperties = [&](TOXLDFS*, const kestrune::DFS_INFO_9& e) {
        entries.push_back(UnpackDfsInfo9(e));
    };
    dfs.ONDFSEnum2 = [&](TOXLDFS*, AnsiString, AnsiString, AnsiString, int32_t, bool&) { ++lines; };
    dfs.SetDFSEntry(u"\\\\example.com\\Public");
    EXPECT_TRUE(dfs.EnumLinksWithProperties());
    EXPECT_EQ(record.levels.front(), 9u);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(lines, 1);
    EXPECT_EQ(entries[0].state & 0xF, 3u);
    EXPECT_EQ(entries[0].timeout, 900u);
    EXPECT_EQ(entries[0].propertyFlags, 8u);
    EXPECT_EQ(entries[0].securityDescriptor, std::vector<uint8_t>(sd.begin(), sd.end()));
    ASSERT_EQ(entries[0].storages.size(), 1u);
    EXPECT_EQ(entries[0].storages[0].state, 1u);
    EXPECT_EQ(entries[0].storages[0].priority.TargetPriorityClass,
              kestrune::DfsGlobalHighPriorityClass);
    EXPECT_EQ(entries[0].storages[0].priority.TargetPriorityRank, 5);

    kestrune::DFS_INFO_104 priority{{kestrune::DfsSiteCostLowPriorityClass, 7, 0}};
    EXPECT_EQ(NetDfsSetInfo(u"\\\\example.com\\Public\\Soft", u"FS1", u"Share", 104,
                            reinterpret_cast<const uint8_t*>(&priority)),
              NERR_Success);
    EXPECT_EQ(record.setServer, L"FS1");
    EXPECT_EQ(record.setPriority.TargetPriority.TargetPriorityClass, ::DfsSiteCostLowPriorityClass);
    EXPECT_EQ(record.setPriority.TargetPriority.TargetPriorityRank, 7);
    kestrune::DFS_INFO_103 flags{DFS_PROPERTY_FLAG_INSITE_REFERRALS, 0};
    EXPECT_EQ(NetDfsSetInfo(u"\\\\example.com\\Public\\Soft", nullptr, nullptr, 103,
                            reinterpret_cast<const uint8_t*>(&flags)),
              NERR_Success);
    EXPECT_EQ(record.setFlags.PropertyFlagMask, 1u);
}

TEST_F(Win32NetDfsTest, TheModeOfANamespaceArrivesCopiedAndTheSystemBufferIsFreed) {
    Allocation a(sizeof(::DFS_INFO_50));
    auto* mode = a.Take<::DFS_INFO_50>(1);
    mode->NamespaceMajorVersion = 1;
    mode->NamespaceMinorVersion = 0;
    mode->NamespaceCapabilities = 0x100000001ull; // the high half must survive the copy
    record.outstanding.insert(a.base_);
    record.answers = {{NERR_Success, a.base_, 1}};
    TOXLDFS dfs;
    dfs.SetDFSEntry(u"\\\\example.com\\Legacy");
    kestrune::DFS_INFO_50 got{};
    ASSERT_TRUE(dfs.GetNamespaceMode(got));
    EXPECT_EQ(got.NamespaceMajorVersion, 1u);
    EXPECT_EQ(got.NamespaceCapabilities, 0x100000001ull);
    // A failure comes through as the system's status.
    EXPECT_FALSE(dfs.GetNamespaceMode(got));
    EXPECT_EQ(dfs.LastError(), ERROR_NOT_FOUND);
}

} // namespace
} // namespace kestrune::win32

namespace kestrune::win32 {
namespace {

TEST_F(Win32NetDfsTest, ANamespaceIsCreatedWithVersion2AndGainsRootTargetsWithVersion0) {
    TOXLDFS dfs;
    dfs.SetDFSEntry(u"\\\\example.com\\Public");
    dfs.SetServername(u"\\\\DC1");
    dfs.SetShareName(u"Public");
    dfs.SetComment(u"Company public share");
    EXPECT_TRUE(dfs.AddRootTarget(2));
    EXPECT_EQ(record.rootAdded,
              (std::vector<std::wstring>{L"\\\\example.com\\Public", L"\\\\DC1\\Public", L"2",
                                         L"Company public share"}));
    dfs.SetServername(u"DC2");
    dfs.SetComment(u"");
    EXPECT_TRUE(dfs.AddRootTarget(0));
    EXPECT_EQ(record.rootAdded, (std::vector<std::wstring>{L"\\\\example.com\\Public",
                                                           L"\\\\DC2\\Public", L"0", L"null"}));
    // The share must be there on the server: the system says which error, the caller names it.
    record.rootStatus = NERR_NetNameNotFound;
    EXPECT_FALSE(dfs.AddRootTarget(0));
    EXPECT_EQ(dfs.LastError(), static_cast<uint32_t>(NERR_NetNameNotFound));
}

TEST_F(Win32NetDfsTest, WhoManagesANamespaceIsReadAndWrittenAsItsDacl) {
    record.descriptor = {1, 0, 4,  0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                         0, 0, 20, 0,    0, 0, 2, 0, 8, 0, 0, 0, 0, 0};
    TOXLDFS dfs;
    dfs.SetDFSEntry(u"\\\\example.com\\Public");
    std::string descriptor;
    ASSERT_TRUE(dfs.GetSecurity(descriptor));
    EXPECT_EQ(descriptor, std::string(record.descriptor.begin(), record.descriptor.end()));
    record.descriptor.clear();
    ASSERT_TRUE(dfs.SetSecurity(descriptor));
    EXPECT_EQ(std::string(record.descriptor.begin(), record.descriptor.end()), descriptor);
}

TEST_F(Win32NetDfsTest, EachRootServerIsToldToReadTheNamespaceAndAnswersOnItsOwnLine) {
    const std::vector<unsigned char> none;
    record.answers = {{NERR_Success,
                       Level9(L"\\\\example.com\\Public", DFS_VOLUME_STATE_OK, 300, 0, none, L"DC1",
                              DFS_STORAGE_STATE_ONLINE, ::DfsSiteCostNormalPriorityClass, 0),
                       1},
                      {ERROR_BAD_NETPATH, nullptr, 0}};
    record.setAnswers = {ERROR_BAD_NETPATH};
    TOXLDFS dfs;
    const std::vector<RootServerAnswer> answers = TellRootServers(
        dfs, {"\\\\example.com\\Public", "\\\\EXAMPLE.COM\\public", "\\\\example.com\\Gone"});
    ASSERT_EQ(record.states.size(), 1u);
    EXPECT_EQ(record.states[0].first, L"DC1\\Share");
    EXPECT_EQ(record.states[0].second, static_cast<unsigned long>(DFS_VOLUME_STATE_RESYNCHRONIZE));
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_TRUE(DescribeAnswer(answers[0])
                    .starts_with("\\\\DC1\\Share was not told to read \\\\example.com\\Public "
                                 "now: 53: "))
        << DescribeAnswer(answers[0]);
    EXPECT_EQ(answers[1].root, "\\\\example.com\\Gone");
    EXPECT_TRUE(answers[1].target.empty());
}

} // namespace
} // namespace kestrune::win32
