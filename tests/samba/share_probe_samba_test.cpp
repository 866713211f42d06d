// The libsmbclient probe and the check over it against the file servers smbd.sh starts:
// files1.example.com (smbd), silent1.example.com (takes connections, never answers),
// refused.example.com (nothing listens) and names that do not resolve.
#include "platform/smb/share_probes.h"
#include "platform/smb/smb_logon.h"
#include "shares/share_check.h"

#include "base/file_io.h"
#include "support/test_files.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace kestrune::smb {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using State = ShareAnswer::State;

std::string SmbdState() {
    const char* state = std::getenv("KESTRUNE_TEST_SMBD");
    return state ? state : "";
}

std::vector<ShareAnswer> Ask(const SmbLogon& logon, const std::vector<AnsiString>& shares,
                             const AnsiString& server = "files1.example.com") {
    return MakeLibSmbClientProbe(logon)->ProbeServer(server, shares, Clock::now() + 5s);
}

class SharesOfSmbd : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(SmbdState().empty()) << "run through smbd.sh"; }
};

TEST_F(SharesOfSmbd, AnonymousSeesTheGuestSharesWhateverTheirNamesAndIsRefusedThePrivateOne) {
    // Backup files are in the ANSI code page: R\xE9sum\xE9s is Résumés in Windows-1252.
    const auto answers = Ask({}, {"Public", "PUBLIC", "Team Data", "Deploy$", "R\xE9sum\xE9s",
                                  "Private", "Missing", "Public#x", "Public/readme.txt"});
    ASSERT_EQ(answers.size(), 9u);
    for (int i : {0, 1, 2, 3, 4})
        EXPECT_EQ(answers[i].state, State::Reachable) << i << ": " << answers[i].text;
    EXPECT_EQ(answers[5].state, State::AccessDenied) << answers[5].text;
    EXPECT_EQ(answers[5].code, kAccessDenied);
    // Characters the library could read as URL syntax stay part of the name.
    for (int i : {6, 7, 8}) {
        EXPECT_EQ(answers[i].state, State::Unreachable) << i;
        EXPECT_EQ(answers[i].code, kShareNotFound) << i << ": " << answers[i].text;
    }
}

TEST_F(SharesOfSmbd, TheBindUserWithItsPasswordOpensThePrivateShare) {
    const std::string password = testing::ReadTestFile(SmbdState() + "/password");
    const auto answers = Ask(LogonAs("FILESRV\\root", password), {"Private", "Public"});
    EXPECT_EQ(answers[0].state, State::Reachable) << answers[0].text;
    EXPECT_EQ(answers[1].state, State::Reachable) << answers[1].text;
    const auto wrong = Ask(LogonAs("FILESRV\\root", "not the password"), {"Private"});
    EXPECT_FALSE(wrong[0].state == State::Reachable) << wrong[0].text;
}

TEST_F(SharesOfSmbd, ServersThatCannotBeReachedSayWhy) {
    const auto noHost = Ask({}, {"Public"}, "files9.invalid");
    EXPECT_EQ(noHost[0].code, kHostNotFound);
    EXPECT_EQ(noHost[0].text, "No such host is known.");
    const auto refused = Ask({}, {"Public"}, "refused.example.com");
    EXPECT_EQ(refused[0].code, kConnectionRefused) << refused[0].text;
    const auto started = Clock::now();
    const auto silent = MakeLibSmbClientProbe({})->ProbeServer("silent1.example.com", {"Public"},
                                                               Clock::now() + 1s);
    EXPECT_EQ(silent[0].state, State::Unreachable);
    EXPECT_LT(Clock::now() - started, 3s);
}

TEST_F(SharesOfSmbd, TwentyDeadServersAndASilentOneCostAboutOneTimeout) {
    std::vector<ShareTarget> targets;
    for (int i = 0; i < 20; ++i)
        targets.push_back({"gone" + std::to_string(i) + ".invalid", "Public"});
    targets.push_back({"silent1.example.com", "Public"});
    targets.push_back({"refused.example.com", "Public"});
    targets.push_back({"files1.example.com", "Public"});
    targets.push_back({"FILES1.example.com", "Team Data\\sub"});
    ShareCheckSettings settings;
    settings.timeout = 1s;
    const auto started = Clock::now();
    const auto answers = CheckShares(MakeLibSmbClientProbe({}), targets, settings);
    const auto took = Clock::now() - started;
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(answers[i].code, kHostNotFound) << i;
    EXPECT_EQ(answers[20].state, State::Unreachable);
    EXPECT_EQ(answers[21].code, kConnectionRefused);
    EXPECT_EQ(answers[22].state, State::Reachable) << answers[22].text;
    EXPECT_EQ(answers[23].state, State::Reachable) << answers[23].text;
    EXPECT_LT(took, 2500ms);
}

} // namespace
} // namespace kestrune::smb
