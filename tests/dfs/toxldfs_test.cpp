#include "dfs/toxldfs.h"

#include "dfs/borrowed_handlers.h"

#include "base/win_errors.h"
#include "support/scripted_netdfs.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace kestrune {
namespace {

using testing::ScriptedAnswer;
using testing::ScriptedNetDfs;

struct Report {
    std::string path, share, comment;
    int index;
};

class ToxldfsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake = std::make_shared<ScriptedNetDfs>();
        InstallNetDfsApi(fake);
        dfs.OnDFSEnumStart = [this](TOXLDFS* sender) {
            EXPECT_EQ(sender, &dfs);
            events.push_back("start");
        };
        dfs.OnDFSEnumStop = [this](TOXLDFS*) { events.push_back("stop"); };
        dfs.ONDFSEnum = [this](TOXLDFS*, AnsiString path, bool& abort) {
            events.push_back("root " + path);
            if (path == abortAt) abort = true;
            if (path == throwAt) throw std::runtime_error("handler failed");
        };
        dfs.ONDFSEnum2 = [this](TOXLDFS*, AnsiString path, AnsiString share, AnsiString comment,
                                int32_t index, bool& abort) {
            if (share == throwAt) throw std::runtime_error("handler failed");
            reports.push_back({path, share, comment, index});
            if (share == abortAt) abort = true;
        };
    }
    void TearDown() override { InstallNetDfsApi(nullptr); }

    static ScriptedAnswer Roots(std::vector<std::u16string> names) {
        ScriptedAnswer a;
        a.roots = std::move(names);
        return a;
    }
    static ScriptedAnswer Failure(DfsStatus status) {
        ScriptedAnswer a;
        a.status = status;
        return a;
    }

    std::shared_ptr<ScriptedNetDfs> fake;
    TOXLDFS dfs;
    std::vector<std::string> events;
    std::vector<Report> reports;
    std::string abortAt, throwAt;
};

TEST_F(ToxldfsTest, EnumRootsWalksEveryBufferAndEndsWithTheLastStatus) {
    fake->answers = {Roots({u"Public", u"Archive"}), Roots({u"Users"})};
    dfs.SetDFSEntry(u"\\\\example.com");
    EXPECT_TRUE(dfs.EnumRoots());
    EXPECT_EQ(events, (std::vector<std::string>{"start", "root Public", "root Archive",
                                                "root Users", "stop"}));
    EXPECT_EQ(dfs.LastError(), ERROR_NO_MORE_ITEMS);
    ASSERT_EQ(fake->enumCalls.size(), 3u);
    for (const auto& call : fake->enumCalls) {
        EXPECT_EQ(call.name, u"\\\\example.com");
        EXPECT_EQ(call.level, 200u);
        EXPECT_EQ(call.prefMaxLen, MAX_PREFERRED_LENGTH);
    }
    // The resume handle starts at 0 and is passed back as the platform left it.
    EXPECT_EQ(fake->enumCalls[0].resume, 0u);
    EXPECT_EQ(fake->enumCalls[1].resume, 2u);
    EXPECT_EQ(fake->enumCalls[2].resume, 3u);
}

TEST_F(ToxldfsTest, ABorrowerSeesOnlyItsOwnReportsAndTheOwnersHandlersComeBack) {
    fake->answers = {Roots({u"Public"}), Failure(ERROR_NO_MORE_ITEMS), Roots({u"Archive"})};
    dfs.SetDFSEntry(u"\\\\example.com");
    std::vector<std::string> borrowed;
    try {
        BorrowedHandlers borrower(dfs);
        dfs.ONDFSEnum = [&](TOXLDFS*, AnsiString path, bool&) { borrowed.push_back(path); };
        dfs.EnumRoots();
        throw std::runtime_error("the borrower's reading failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(borrowed, std::vector<std::string>{"Public"});
    EXPECT_TRUE(events.empty()) << "the owner's handlers saw a borrowed walk";
    // The next walk is reported to the owner again.
    dfs.EnumRoots();
    EXPECT_EQ(events, (std::vector<std::string>{"start", "root Archive", "stop"}));
}

TEST_F(ToxldfsTest, FailuresOnTheFirstAndOnALaterCall) {
    fake->answers = {Failure(ERROR_BAD_NETPATH)};
    EXPECT_FALSE(dfs.EnumRoots());
    EXPECT_EQ(dfs.LastError(), ERROR_BAD_NETPATH);
    EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));

    events.clear();
    fake->enumCalls.clear();
    fake->answers = {Roots({u"A"}), Failure(ERROR_ACCESS_DENIED)};
    EXPECT_TRUE(dfs.EnumRoots());
    EXPECT_EQ(dfs.LastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(events, (std::vector<std::string>{"start", "root A", "stop"}));
}

// The backend's words come with its failure and name what failed; a success leaves none behind,
// nor does a failure without words.
TEST_F(ToxldfsTest, TheBackendsWordsComeWithItsFailureAndNoneOutliveIt) {
    dfs.SetDFSEntry(u"\\\\example.com\\Public\\New");
    dfs.SetServername(u"FS1");
    dfs.SetShareName(u"New");
    fake->addStatus = {ERROR_INVALID_PARAMETER, "00002035: problem 5003 (WILL_NOT_PERFORM)"};
    EXPECT_FALSE(dfs.AddLink());
    EXPECT_EQ(dfs.LastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(dfs.LastErrorDetail(), "00002035: problem 5003 (WILL_NOT_PERFORM)");
    EXPECT_NE(dfs.LastErrorText().find("(00002035: problem 5003 (WILL_NOT_PERFORM))"),
              std::string::npos)
        << dfs.LastErrorText();

    fake->answers = {Roots({u"A"}), Failure({ERROR_INVALID_DATA, "\\\\example.com\\A: cut"})};
    EXPECT_TRUE(dfs.EnumRoots());
    EXPECT_EQ(dfs.LastError(), ERROR_INVALID_DATA);
    EXPECT_EQ(dfs.LastErrorDetail(), "\\\\example.com\\A: cut");

    // A walk that ends as walks end (ERROR_NO_MORE_ITEMS) has nothing to say.
    fake->answers = {Roots({u"A"})};
    fake->enumCalls.clear();
    EXPECT_TRUE(dfs.EnumRoots());
    EXPECT_EQ(dfs.LastError(), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(dfs.LastErrorDetail(), "");

    fake->addStatus = {ERROR_ACCESS_DENIED, "no right"};
    EXPECT_FALSE(dfs.AddLink());
    fake->addStatus = NERR_Success;
    EXPECT_TRUE(dfs.AddLink());
    EXPECT_EQ(dfs.LastErrorDetail(), "");
    fake->addStatus = {ERROR_ACCESS_DENIED, "no right"};
    EXPECT_FALSE(dfs.AddLink());
    fake->addStatus = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(dfs.AddLink());
    EXPECT_EQ(dfs.LastErrorDetail(), "");
}

TEST_F(ToxldfsTest, AbortInTheMiddleOfABufferStillReportsTheRestOfIt) {
    fake->answers = {Roots({u"A", u"B", u"C"}), Roots({u"D"})};
    abortAt = "A";
    EXPECT_TRUE(dfs.EnumRoots());
    EXPECT_EQ(events, (std::vector<std::string>{"start", "root A", "root B", "root C", "stop"}));
    EXPECT_EQ(fake->enumCalls.size(), 1u);
    EXPECT_EQ(dfs.LastError(), NERR_Success);
}

TEST_F(ToxldfsTest, ThrowingRootHandlerEndsTheWalkQuietly) {
    fake->answers = {Roots({u"A", u"B"}), Roots({u"C"})};
    throwAt = "A";
    EXPECT_TRUE(dfs.EnumRoots());
    EXPECT_EQ(events, (std::vector<std::string>{"start", "root A", "stop"}));
    EXPECT_EQ(dfs.LastError(), NERR_Success);
    EXPECT_EQ(fake->enumCalls.size(), 1u);
    EXPECT_EQ(dfs.SwallowedExceptions(), 1u); // quiet, but counted
}

TEST_F(ToxldfsTest, StartAndStopHandlersThatThrowReachTheCaller) {
    fake->answers = {Roots({u"A"})};
    dfs.OnDFSEnumStart = [](TOXLDFS*) { throw std::runtime_error("start"); };
    EXPECT_THROW(dfs.EnumRoots(), std::runtime_error);
    EXPECT_TRUE(fake->enumCalls.empty());

    dfs.OnDFSEnumStart = nullptr;
    dfs.OnDFSEnumStop = [](TOXLDFS*) { throw std::runtime_error("stop"); };
    EXPECT_THROW(dfs.EnumRoots(), std::runtime_error);
    EXPECT_EQ(dfs.LastError(), ERROR_NO_MORE_ITEMS); // set before the stop event
}

TEST_F(ToxldfsTest, EnumLinksReportsEveryStorageWithItsIndex) {
    ScriptedAnswer first;
    first.entries = {
        {u"\\\\example.com\\Public", u"root", {{u"DC1", u"Public"}}},
        {u"\\\\example.com\\Public\\Software",
         u"Installers",
         {{u"FS1", u"Sw"}, {u"FS2", u"Sw"}, {u"FS3", u"Sw\\Mirror"}}},
        {u"\\\\example.com\\Public\\Empty", u"none", {}},
    };
    ScriptedAnswer second;
    second.entries = {{u"\\\\example.com\\Public\\NoComment", std::nullopt, {{u"FS1", u"X"}}}};
    fake->answers = {first, second};
    dfs.SetDFSEntry(u"\\\\example.com\\Public");
    EXPECT_TRUE(dfs.EnumLinks());
    ASSERT_EQ(reports.size(), 5u);
    EXPECT_EQ(reports[1].path, "\\\\example.com\\Public\\Software");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reports[1 + i].index, i);
        EXPECT_EQ(reports[1 + i].comment, "Installers");
    }
    EXPECT_EQ(reports[3].share, "FS3\\Sw\\Mirror");
    EXPECT_EQ(reports[4].comment, ""); // a null comment
    EXPECT_EQ(reports[4].index, 0);
    EXPECT_EQ(fake->enumCalls[0].level, 3u);
    EXPECT_EQ(dfs.LastError(), ERROR_NO_MORE_ITEMS);
}

// The walk with properties asks for pages (level 9 records are large) and follows the resume
// handle to the end; EnumLinks keeps asking for everything at once.
TEST_F(ToxldfsTest, EnumLinksWithPropertiesReadsPageByPage) {
    ScriptedAnswer first, second;
    first.entries = {{u"\\\\example.com\\Public", u"root", {{u"DC1", u"Public"}}},
                     {u"\\\\example.com\\Public\\A", u"a", {{u"FS1", u"A"}}}};
    second.entries = {{u"\\\\example.com\\Public\\B", u"b", {{u"FS1", u"B"}, {u"FS2", u"B"}}}};
    fake->answers = {first, second};
    std::vector<std::u16string> entries;
    dfs.ONDFSEntryProperties = [&](TOXLDFS*, const DFS_INFO_9& e) {
        entries.push_back(e.EntryPath);
        events.push_back("properties");
    };
    dfs.SetDFSEntry(u"\\\\example.com\\Public");
    EXPECT_TRUE(dfs.EnumLinksWithProperties());
    EXPECT_EQ(entries, (std::vector<std::u16string>{u"\\\\example.com\\Public",
                                                    u"\\\\example.com\\Public\\A",
                                                    u"\\\\example.com\\Public\\B"}));
    EXPECT_EQ(reports.size(), 4u);
    ASSERT_EQ(fake->enumCalls.size(), 3u);
    for (const auto& call : fake->enumCalls) {
        EXPECT_EQ(call.level, 9u);
        EXPECT_EQ(call.prefMaxLen, TOXLDFS::kPropertiesPageBytes);
    }
    EXPECT_EQ(fake->enumCalls[1].resume, 2u);
    EXPECT_EQ(dfs.LastError(), ERROR_NO_MORE_ITEMS);

    fake->enumCalls.clear();
    fake->answers = {first};
    EXPECT_TRUE(dfs.EnumLinks());
    EXPECT_EQ(fake->enumCalls[0].prefMaxLen, MAX_PREFERRED_LENGTH);
}

TEST_F(ToxldfsTest, ThrowingLinkHandlerSkipsOnlyThatStorage) {
    ScriptedAnswer a;
    a.entries = {{u"\\\\d\\n\\l", u"c", {{u"S1", u"a"}, {u"S2", u"b"}, {u"S3", u"c"}}}};
    fake->answers = {a};
    throwAt = "S2\\b";
    EXPECT_TRUE(dfs.EnumLinks());
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].index, 0);
    EXPECT_EQ(reports[1].index, 2);
    EXPECT_EQ(fake->enumCalls.size(), 2u); // the walk went on to its end
    EXPECT_EQ(dfs.SwallowedExceptions(), 1u);
    // The count adds up over operations; one that swallows nothing leaves it.
    fake->answers = {a};
    fake->enumCalls.clear();
    dfs.EnumLinks();
    EXPECT_EQ(dfs.SwallowedExceptions(), 2u);
    throwAt.clear();
    fake->answers = {a};
    fake->enumCalls.clear();
    dfs.EnumLinks();
    EXPECT_EQ(dfs.SwallowedExceptions(), 2u);
}

TEST_F(ToxldfsTest, TextTakesTheAnsiCodePageOnTheWayInAndOut) {
    ScriptedAnswer a;
    a.entries = {{u"\\\\d\\n\\R\u00e9sum\u00e9s", u"\u0395\u03bb docs", {{u"FS", u"Share"}}}};
    fake->answers = {a};
    dfs.SetDFSEntry(u"\\\\d\\n\u03a9");
    dfs.EnumLinks();
    // Windows-1252 has é (0xE9) but no Greek letters.
    EXPECT_EQ(fake->enumCalls[0].name, u"\\\\d\\n?");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].path, "\\\\d\\n\\R\xe9sum\xe9s");
    EXPECT_EQ(reports[0].comment, "?? docs");
}

TEST_F(ToxldfsTest, OverLongTextIsRefusedWithoutAPlatformCall) {
    dfs.SetDFSEntry(u"\\\\d\\" + std::u16string(251, u'x')); // 255 units: fits
    fake->answers = {Roots({})};
    dfs.EnumRoots();
    EXPECT_EQ(fake->enumCalls.size(), 2u);

    dfs.SetDFSEntry(u"\\\\d\\" + std::u16string(252, u'x')); // 256 units: does not
    events.clear();
    EXPECT_FALSE(dfs.EnumLinks());
    EXPECT_EQ(dfs.LastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(events, (std::vector<std::string>{"start", "stop"}));
    EXPECT_EQ(fake->enumCalls.size(), 2u);

    dfs.SetDFSEntry(u"\\\\d\\n\\link");
    dfs.SetServername(u"S");
    dfs.SetShareName(std::u16string(300, u's'));
    EXPECT_FALSE(dfs.AddLink());
    EXPECT_EQ(dfs.LastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(fake->addCalls.empty());
}

TEST_F(ToxldfsTest, AddLinkPassesShareBeforeCommentAndKeepsLastErrors) {
    dfs.SetDFSEntry(u"\\\\example.com\\Public\\New");
    dfs.SetServername(u"FS1");
    dfs.SetShareName(u"Data\\Sub");
    dfs.SetComment(u"note");
    EXPECT_TRUE(dfs.AddLink());
    ASSERT_EQ(fake->addCalls.size(), 1u);
    EXPECT_EQ(fake->addCalls[0].share, u"Data\\Sub");
    EXPECT_EQ(fake->addCalls[0].comment, u"note");
    EXPECT_EQ(fake->addCalls[0].flags, DFS_ADD_VOLUME);
    EXPECT_EQ(dfs.LastError(), NERR_Success);

    fake->onAdd = [] { throw std::runtime_error("RPC went away"); };
    EXPECT_FALSE(dfs.AddLink());
    EXPECT_EQ(dfs.LastErrors(), "RPC went away");
    EXPECT_NE(dfs.LastError(), NERR_Success);

    fake->onAdd = nullptr;
    fake->addStatus = ERROR_FILE_EXISTS;
    EXPECT_FALSE(dfs.AddLink());
    EXPECT_EQ(dfs.LastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(dfs.LastErrors(), "RPC went away"); // never cleared
    EXPECT_TRUE(events.empty());                  // AddLink fires no event
}

TEST_F(ToxldfsTest, AddLinkPassesTheCommentWholeAndNamesThroughTheCodePage) {
    dfs.SetDFSEntry(u"\\\\example.com\\Public\\Caf\u00e9\u03a9");
    dfs.SetServername(u"FS\u03a9");
    dfs.SetShareName(u"Data");
    dfs.SetComment(u"Caf\u00e9 \u03a9\u03a9");
    EXPECT_TRUE(dfs.AddLink());
    ASSERT_EQ(fake->addCalls.size(), 1u);
    EXPECT_EQ(fake->addCalls[0].comment, u"Caf\u00e9 \u03a9\u03a9");
    // A name is what the 8-bit world can name: 1252 has the e acute, not the omega.
    EXPECT_EQ(fake->addCalls[0].server, u"FS?");
    EXPECT_EQ(fake->addCalls[0].entry, u"\\\\example.com\\Public\\Caf\u00e9?");
    // The comment's limit is the platform's buffer all the same.
    dfs.SetComment(std::u16string(256, u'\u03a9'));
    EXPECT_FALSE(dfs.AddLink());
    EXPECT_EQ(dfs.LastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(ToxldfsTest, VersionIsReadOnlyAndNoPlatformMeansBadNetPath) {
    const AnsiString version = dfs.Version();
    dfs.SetVersion(version + ".9");
    EXPECT_EQ(dfs.Version(), version);
    InstallNetDfsApi(nullptr);
    EXPECT_FALSE(dfs.EnumRoots());
    EXPECT_EQ(dfs.LastError(), ERROR_BAD_NETPATH);
}

} // namespace
} // namespace kestrune
