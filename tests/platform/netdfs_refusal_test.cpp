// A change the directory refuses reaches the DFS caller with the directory's own words, whether
// or not the status it maps to says the same.
#include "base/ansi_string.h"
#include "base/win_errors.h"
#include "support/sample_store_dfs.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

// A directory server that reads as the sample domain and refuses every change with one answer.
class RefusingStore : public store::DirectoryStore {
  public:
    RefusingStore(std::shared_ptr<store::DirectoryStore> inner, store::Status answer)
        : inner_(std::move(inner)), answer_(std::move(answer)) {}
    store::Status Search(const store::SearchRequest& request,
                         std::unique_ptr<store::SearchCursor>& cursor) override {
        return inner_->Search(request, cursor);
    }
    store::Status Add(const store::Entry&) override { return answer_; }
    store::Status Modify(const std::string&, const std::vector<store::Modification>&) override {
        return answer_;
    }
    store::Status Delete(const std::string&) override { return answer_; }
    store::Status Rename(const std::string&, const std::string&, bool,
                         const std::string&) override {
        return answer_;
    }

  private:
    std::shared_ptr<store::DirectoryStore> inner_;
    store::Status answer_;
};

class RefusalTest : public testing::SampleStoreDfsTest {
  protected:
    void TearDown() override { InstallNetDfsApi(nullptr); }
    void Refuse(store::ResultCode code, const std::string& text) {
        InstallNetDfsApi(std::make_shared<StoreNetDfs>(
            std::make_shared<RefusingStore>(store, store::Status{code, text, 0})));
    }
};

TEST_F(RefusalTest, TheDirectorysWordsReachTheCallerForEveryRefusedChange) {
    struct Case {
        store::ResultCode code;
        std::string text;
        NET_API_STATUS expected;
    };
    // Two results the mapping does not know (they become "the parameter is incorrect") and one
    // it does, whose own text says less than the server.
    const Case cases[] = {
        {store::ResultCode::UnwillingToPerform,
         "00002035: SvcErr: DSID-031A1254, problem 5003 (WILL_NOT_PERFORM)",
         ERROR_INVALID_PARAMETER},
        {store::ResultCode::ObjectClassViolation,
         "0000207C: UpdErr: DSID-0315295C, problem 6002 (OBJ_CLASS_VIOLATION)",
         ERROR_INVALID_PARAMETER},
        {store::ResultCode::InsufficientAccessRights,
         "00002098: SecErr: DSID-03150F94, problem 4003 (INSUFF_ACCESS_RIGHTS)",
         ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Refuse(c.code, c.text);
        // A new link (an object added), a target added to a link (an object changed), a comment.
        DFS_INFO_100 comment{const_cast<char16_t*>(u"new words")};
        const DfsStatus answers[] = {
            netdfs::Add(u"\\\\example.com\\Public\\Refused", u"FS1", u"S", u"", 0),
            netdfs::Add(u"\\\\example.com\\Public\\Software", u"FS9", u"S", u"", 0),
            netdfs::SetInfo(u"\\\\example.com\\Public\\Software", nullptr, nullptr, 100,
                            reinterpret_cast<const uint8_t*>(&comment))};
        for (const DfsStatus& answer : answers) {
            EXPECT_EQ(answer, c.expected);
            EXPECT_EQ(answer.detail, c.text);
        }
        // The Win32-shaped call answers the same status.
        EXPECT_EQ(NetDfsAdd(u"\\\\example.com\\Public\\Refused", u"FS1", u"S", u"", 0), c.expected);
    }
}

TEST_F(RefusalTest, ARefusalWithoutWordsLeavesNoDetailBehind) {
    Refuse(store::ResultCode::UnwillingToPerform, "");
    const DfsStatus refused =
        netdfs::Add(u"\\\\example.com\\Public\\Refused", u"FS1", u"S", u"", 0);
    EXPECT_EQ(refused, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(refused.detail, "");
}

} // namespace
} // namespace kestrune
