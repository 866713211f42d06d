#include "shares/share_check.h"

#include "base/case_fold.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace kestrune {
namespace {

// A probe that answers at its deadline is still heard.
constexpr std::chrono::milliseconds kGrace{200};

using Clock = std::chrono::steady_clock;

// One server with the shares asked of it, and which targets each answer is for.
struct ServerJob {
    AnsiString server;
    std::vector<AnsiString> shares;
    std::vector<std::vector<size_t>> targetsOfShare;
};

// Targets grouped by server, in the order servers first appear. Targets that need no server
// are answered at once.
std::vector<ServerJob> GroupByServer(const std::vector<ShareTarget>& targets,
                                     std::vector<ShareAnswer>& answers) {
    std::vector<ServerJob> jobs;
    std::map<std::u16string, size_t> jobOfServer;
    std::vector<std::map<std::u16string, size_t>> shareOfJob;
    for (size_t i = 0; i < targets.size(); ++i) {
        const AnsiString& server = targets[i].server;
        const AnsiString share = targets[i].share.substr(0, targets[i].share.find('\\'));
        if (server.empty()) {
            answers[i] = UnreachableAnswer(kBadNetPath, "the target names no server");
            continue;
        }
        if (share.empty()) {
            answers[i] = UnreachableAnswer(kBadNetName, "the target names no share");
            continue;
        }
        auto [job, added] = jobOfServer.try_emplace(CaseKey(server), jobs.size());
        if (added) {
            jobs.push_back({server, {}, {}});
            shareOfJob.emplace_back();
        }
        ServerJob& j = jobs[job->second];
        auto [at, newShare] = shareOfJob[job->second].try_emplace(CaseKey(share), j.shares.size());
        if (newShare) {
            j.shares.push_back(share);
            j.targetsOfShare.emplace_back();
        }
        j.targetsOfShare[at->second].push_back(i);
    }
    return jobs;
}

// What the workers hand back; shared with them, so a worker given up on may still finish.
struct Results {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<std::vector<ShareAnswer>>> ofJob;
    size_t alive = 0; // workers started and not yet ended, given up on or not
};

struct Running {
    size_t job;
    std::thread thread;
    Clock::time_point deadline;
};

std::vector<ShareAnswer> Ask(const ShareProbe& probe, const ServerJob& job,
                             Clock::time_point deadline) {
    try {
        return probe.ProbeServer(job.server, job.shares, deadline);
    } catch (const std::exception& e) {
        return {job.shares.size(), UnreachableAnswer(kUnexpectedNetworkError, e.what())};
    }
}

} // namespace

std::vector<ShareAnswer> CheckShares(const std::shared_ptr<const ShareProbe>& probe,
                                     const std::vector<ShareTarget>& targets,
                                     const ShareCheckSettings& settings) {
    std::vector<ShareAnswer> answers(targets.size());
    const std::vector<ServerJob> jobs = GroupByServer(targets, answers);
    const int servers = static_cast<int>(jobs.size());
    auto results = std::make_shared<Results>();
    results->ofJob.resize(jobs.size());

    auto deliver = [&](const ServerJob& job, std::vector<ShareAnswer> said) {
        said.resize(job.shares.size(),
                    UnreachableAnswer(kUnexpectedNetworkError, "the server gave no answer"));
        for (size_t s = 0; s < job.shares.size(); ++s)
            for (size_t target : job.targetsOfShare[s])
                answers[target] = said[s];
    };

    if (settings.serverDone && servers > 0) settings.serverDone(0, servers);
    std::vector<Running> running;
    size_t next = 0;
    int done = 0;
    const size_t parallel = static_cast<size_t>(std::max(1, settings.parallelServers));
    const auto seconds =
        std::chrono::duration_cast<std::chrono::duration<double>>(settings.timeout).count();
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", seconds);
    auto answerUnasked = [&](ShareAnswer answer) {
        deliver(jobs[next], {jobs[next].shares.size(), std::move(answer)});
        ++next;
        ++done;
        if (settings.serverDone) settings.serverDone(done, servers);
    };
    auto start = [&](std::function<void()> work) {
        return settings.startThread ? settings.startThread(std::move(work))
                                    : std::thread(std::move(work));
    };
    while (done < servers) {
        size_t alive;
        {
            std::lock_guard<std::mutex> lock(results->mutex);
            alive = results->alive;
        }
        while (alive < parallel && next < jobs.size()) {
            const Clock::time_point deadline = Clock::now() + settings.timeout;
            // The worker holds what it uses, so that it may outlive this call.
            auto job = std::make_shared<const ServerJob>(jobs[next]);
            // Counted before it starts: a worker may end before its start returns.
            {
                std::lock_guard<std::mutex> lock(results->mutex);
                ++results->alive;
            }
            std::thread thread;
            try {
                thread = start([probe, job, deadline, results, index = next] {
                    std::vector<ShareAnswer> said = Ask(*probe, *job, deadline);
                    std::lock_guard<std::mutex> lock(results->mutex);
                    results->ofJob[index] = std::move(said);
                    --results->alive;
                    results->changed.notify_all();
                });
            } catch (const std::system_error& e) {
                {
                    std::lock_guard<std::mutex> lock(results->mutex);
                    alive = --results->alive;
                }
                // The system has no thread to spare: go on with those running, if any.
                if (!running.empty() || alive > 0) break;
                answerUnasked(UnreachableAnswer(kUnexpectedNetworkError,
                                                std::string("no thread could be started to "
                                                            "ask it: ") +
                                                    e.what()));
                continue;
            }
            ++alive;
            running.push_back({next, std::move(thread), deadline});
            ++next;
        }
        if (running.empty()) {
            if (next >= jobs.size()) break;
            // Workers given up on hold every place (or the last thread the system would
            // give): wait for one to end, for one timeout more.
            std::unique_lock<std::mutex> lock(results->mutex);
            const size_t places = std::min(parallel, results->alive);
            if (!results->changed.wait_for(lock, settings.timeout + kGrace,
                                           [&] { return results->alive < places; })) {
                // Nothing says they ever will: the rest is not asked rather than waited for.
                const size_t lingering = results->alive;
                lock.unlock();
                while (next < jobs.size())
                    answerUnasked(
                        UnreachableAnswer(kTimeout, "not asked: " + std::to_string(lingering) +
                                                        " servers given up on did not end within " +
                                                        limit + " s more"));
            }
            continue;
        }
        const Clock::time_point earliest =
            std::min_element(running.begin(), running.end(), [](const auto& a, const auto& b) {
                return a.deadline < b.deadline;
            })->deadline;

        std::vector<Running> finished, givenUp;
        std::vector<std::vector<ShareAnswer>> said;
        {
            std::unique_lock<std::mutex> lock(results->mutex);
            auto anyAnswered = [&] {
                return std::any_of(running.begin(), running.end(),
                                   [&](const Running& r) { return results->ofJob[r.job]; });
            };
            results->changed.wait_until(lock, earliest + kGrace, anyAnswered);
            const Clock::time_point now = Clock::now();
            for (auto r = running.begin(); r != running.end();) {
                if (results->ofJob[r->job]) {
                    said.push_back(std::move(*results->ofJob[r->job]));
                    finished.push_back(std::move(*r));
                } else if (now >= r->deadline + kGrace) {
                    givenUp.push_back(std::move(*r));
                } else {
                    ++r;
                    continue;
                }
                r = running.erase(r);
            }
        }
        for (size_t f = 0; f < finished.size(); ++f) {
            finished[f].thread.join();
            deliver(jobs[finished[f].job], std::move(said[f]));
        }
        for (Running& r : givenUp) {
            r.thread.detach();
            deliver(jobs[r.job],
                    {jobs[r.job].shares.size(),
                     UnreachableAnswer(kTimeout, std::string("no answer within ") + limit + " s")});
        }
        for (size_t n = 0; n < finished.size() + givenUp.size(); ++n) {
            ++done;
            if (settings.serverDone) settings.serverDone(done, servers);
        }
    }
    return answers;
}

Expected<std::chrono::seconds> SmbTimeoutFromEnvironment() {
    const char* value = std::getenv("KESTRUNE_SMB_TIMEOUT");
    const std::string text = value ? value : "";
    if (text.empty()) return kDefaultSmbTimeout;
    int seconds = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || seconds < 1 || seconds > 3600)
        return Error{0, "KESTRUNE_SMB_TIMEOUT=" + text +
                            " is not a number of seconds (1 to 3600) to wait for a file server"};
    return std::chrono::seconds(seconds);
}

} // namespace kestrune
