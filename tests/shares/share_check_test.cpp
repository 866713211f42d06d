// The check over many servers against a probe that answers as the test says: grouping, how
// many servers at once, and the timeout.
#include "shares/share_check.h"

#include "base/environment.h"

#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

namespace kestrune {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using State = ShareAnswer::State;

// Answers by server name: "dead*" refuses the connection, "silent*" never answers (until the
// test ends), "slow*" answers after a while, "late*" a while after its deadline; any other server
// has the shares named "ok*" and refuses "private*". Counts the calls and how many ran at once.
class FakeProbe : public ShareProbe {
  public:
    std::vector<ShareAnswer> ProbeServer(const AnsiString& server,
                                         const std::vector<AnsiString>& shares,
                                         Clock::time_point deadline) const override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            calls_[server].push_back(shares);
            ++running_;
            mostAtOnce_ = std::max(mostAtOnce_, running_);
        }
        if (server.rfind("silent", 0) == 0) {
            std::unique_lock<std::mutex> lock(mutex_);
            released_.wait(lock, [&] { return release_; });
        }
        if (server.rfind("slow", 0) == 0) std::this_thread::sleep_for(100ms);
        if (server.rfind("late", 0) == 0) std::this_thread::sleep_until(deadline + 300ms);
        std::vector<ShareAnswer> answers;
        for (const AnsiString& share : shares) {
            if (server.rfind("dead", 0) == 0)
                answers.push_back(UnreachableAnswer(kConnectionRefused));
            else if (share.rfind("ok", 0) == 0)
                answers.push_back({});
            else if (share.rfind("private", 0) == 0)
                answers.push_back(AccessDeniedAnswer());
            else
                answers.push_back(UnreachableAnswer(kShareNotFound));
        }
        std::lock_guard<std::mutex> lock(mutex_);
        --running_;
        return answers;
    }

    void Release() const {
        std::lock_guard<std::mutex> lock(mutex_);
        release_ = true;
        released_.notify_all();
    }
    std::map<AnsiString, std::vector<std::vector<AnsiString>>> Calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    int MostAtOnce() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return mostAtOnce_;
    }

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable released_;
    mutable bool release_ = false;
    mutable std::map<AnsiString, std::vector<std::vector<AnsiString>>> calls_;
    mutable int running_ = 0, mostAtOnce_ = 0;
};

// Lets the silent servers' threads end when the test does.
struct ReleaseAtEnd {
    std::shared_ptr<FakeProbe> probe;
    ~ReleaseAtEnd() { probe->Release(); }
};

TEST(ShareCheck, AsksEachServerOnceForEachShareAndAnswersEveryTarget) {
    auto probe = std::make_shared<FakeProbe>();
    const std::vector<ShareTarget> targets = {
        {"fs1", "ok"},        {"FS1", "OK\\sub"}, {"fs1", "missing"}, {"fs2", "private$"},
        {"fs1", "ok\\other"}, {"dead1", "ok"},    {"", "ok"},         {"fs2", ""},
    };
    std::vector<int> progress;
    ShareCheckSettings settings;
    settings.serverDone = [&](int done, int servers) {
        EXPECT_EQ(servers, 3);
        progress.push_back(done);
    };
    const std::vector<ShareAnswer> answers = CheckShares(probe, targets, settings);

    ASSERT_EQ(answers.size(), targets.size());
    EXPECT_EQ(answers[0].state, State::Reachable);
    EXPECT_EQ(answers[1].state, State::Reachable);
    EXPECT_EQ(answers[2].code, kShareNotFound);
    EXPECT_EQ(answers[2].text, "This shared resource does not exist.");
    EXPECT_EQ(answers[3].state, State::AccessDenied);
    EXPECT_TRUE(answers[3].Reached());
    EXPECT_EQ(answers[4].state, State::Reachable);
    EXPECT_EQ(answers[5].code, kConnectionRefused);
    EXPECT_FALSE(answers[5].Reached());
    // Without a server or a share nothing is asked.
    EXPECT_EQ(answers[6].code, kBadNetPath);
    EXPECT_EQ(answers[7].code, kBadNetName);

    const auto calls = probe->Calls();
    ASSERT_EQ(calls.size(), 3u);
    ASSERT_EQ(calls.at("fs1").size(), 1u);
    EXPECT_EQ(calls.at("fs1")[0], (std::vector<AnsiString>{"ok", "missing"}));
    EXPECT_EQ(calls.at("fs2")[0], (std::vector<AnsiString>{"private$"}));
    EXPECT_EQ(progress, (std::vector<int>{0, 1, 2, 3}));
}

TEST(ShareCheck, AsksServersInParallelButNoMoreThanTheBound) {
    auto probe = std::make_shared<FakeProbe>();
    std::vector<ShareTarget> targets;
    for (int i = 0; i < 20; ++i)
        targets.push_back({"slow" + std::to_string(i), "ok"});
    ShareCheckSettings settings;
    settings.parallelServers = 8;
    const auto started = Clock::now();
    const std::vector<ShareAnswer> answers = CheckShares(probe, targets, settings);
    const auto took = Clock::now() - started;
    for (const ShareAnswer& answer : answers)
        EXPECT_EQ(answer.state, State::Reachable);
    EXPECT_LE(probe->MostAtOnce(), 8);
    EXPECT_GE(probe->MostAtOnce(), 2);
    // Three rounds of 100 ms, not twenty.
    EXPECT_LT(took, 1500ms);
}

TEST(ShareCheck, ServersThatNeverAnswerCostOneTimeoutTogether) {
    auto probe = std::make_shared<FakeProbe>();
    ReleaseAtEnd release{probe};
    std::vector<ShareTarget> targets;
    for (int i = 0; i < 20; ++i)
        targets.push_back({"silent" + std::to_string(i), "ok"});
    targets.push_back({"fs1", "ok"});
    ShareCheckSettings settings;
    settings.timeout = 300ms;
    const auto started = Clock::now();
    const std::vector<ShareAnswer> answers = CheckShares(probe, targets, settings);
    const auto took = Clock::now() - started;
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(answers[i].code, kTimeout) << i;
        EXPECT_NE(answers[i].text.find("no answer within 0.3 s"), std::string::npos)
            << answers[i].text;
    }
    EXPECT_EQ(answers[20].state, State::Reachable);
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 2s);
}

// A thread given up on still runs: it keeps its place until it ends, so no more threads are
// alive than the bound, however many servers go silent.
TEST(ShareCheck, ThreadsGivenUpOnHoldTheirPlacesUntilTheyEnd) {
    auto probe = std::make_shared<FakeProbe>();
    ShareCheckSettings settings;
    settings.parallelServers = 2;
    settings.timeout = 100ms;
    std::vector<ShareTarget> targets;
    for (int i = 0; i < 6; ++i)
        targets.push_back({"late" + std::to_string(i), "ok"});
    targets.push_back({"fs1", "ok"});
    std::vector<ShareAnswer> answers = CheckShares(probe, targets, settings);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(answers[i].code, kTimeout) << i;
    EXPECT_EQ(answers[6].state, State::Reachable);
    EXPECT_EQ(probe->MostAtOnce(), 2);

    // Threads that never end hold their places for good: the servers left are not asked, and
    // the check ends after one more timeout rather than never.
    auto silent = std::make_shared<FakeProbe>();
    ReleaseAtEnd release{silent};
    const auto started = Clock::now();
    answers = CheckShares(
        silent, {{"silent1", "ok"}, {"silent2", "ok"}, {"fs1", "ok"}, {"fs2", "ok"}}, settings);
    EXPECT_LT(Clock::now() - started, 2s);
    EXPECT_EQ(answers[0].code, kTimeout);
    EXPECT_EQ(answers[1].code, kTimeout);
    for (int i : {2, 3}) {
        EXPECT_EQ(answers[i].code, kTimeout);
        EXPECT_NE(answers[i].text.find("not asked: 2 servers given up on did not end"),
                  std::string::npos)
            << answers[i].text;
    }
    EXPECT_EQ(silent->Calls().count("fs1"), 0u);
}

// A system out of threads: the check goes on with the threads it has, and a server no thread
// could ask says why, never an abort.
TEST(ShareCheck, AThreadThatCannotBeStartedIsAReasonNotACrash) {
    auto probe = std::make_shared<FakeProbe>();
    std::vector<ShareTarget> targets;
    for (int i = 0; i < 6; ++i)
        targets.push_back({"slow" + std::to_string(i), "ok"});
    std::atomic<int> started{0};
    ShareCheckSettings settings;
    settings.startThread = [&](std::function<void()> work) {
        // Every second thread is refused.
        if (++started % 2 == 0)
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
        return std::thread(std::move(work));
    };
    for (const ShareAnswer& answer : CheckShares(probe, targets, settings))
        EXPECT_EQ(answer.state, State::Reachable);
    EXPECT_EQ(probe->Calls().size(), 6u);

    settings.startThread = [](std::function<void()>) -> std::thread {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    };
    for (const ShareAnswer& answer : CheckShares(probe, {{"fs1", "ok"}, {"fs2", "ok"}}, settings)) {
        EXPECT_FALSE(answer.Reached());
        EXPECT_NE(answer.text.find("no thread could be started to ask it: "), std::string::npos)
            << answer.text;
    }
}

TEST(ShareCheck, TimeoutComesFromTheEnvironmentAndBadValuesAreRefused) {
    RemoveProcessEnvironment("KESTRUNE_SMB_TIMEOUT");
    EXPECT_EQ(*SmbTimeoutFromEnvironment(), kDefaultSmbTimeout);
    SetProcessEnvironment("KESTRUNE_SMB_TIMEOUT", "12");
    EXPECT_EQ(*SmbTimeoutFromEnvironment(), std::chrono::seconds(12));
    for (const char* bad : {"0", "-3", "5s", "1.5", "3601", "x"}) {
        SetProcessEnvironment("KESTRUNE_SMB_TIMEOUT", bad);
        Expected<std::chrono::seconds> timeout = SmbTimeoutFromEnvironment();
        ASSERT_FALSE(timeout) << bad;
        EXPECT_NE(timeout.error().text.find(std::string("KESTRUNE_SMB_TIMEOUT=") + bad),
                  std::string::npos);
    }
    RemoveProcessEnvironment("KESTRUNE_SMB_TIMEOUT");
}

} // namespace
} // namespace kestrune
