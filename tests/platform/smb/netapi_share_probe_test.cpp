// The netapi32 share probe against recorded NetShareGetInfo answers.
#include "platform/smb/netapi_share_probe.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "base/windows_sdk.h" // last: the SDK's macros
#include <lm.h>

namespace kestrune::smb {
namespace {

// What the recorded netapi32 answers for \\server\share, and what it saw.
std::map<std::wstring, unsigned long> answers;
std::vector<std::wstring> asked;
std::vector<unsigned long> levels;
int outstanding = 0;

unsigned long RecordedGetInfo(wchar_t* server, wchar_t* share, unsigned long level,
                              unsigned char** buffer) {
    std::wstring key = std::wstring(server) + L"\\" + share;
    asked.push_back(key);
    levels.push_back(level);
    auto found = answers.find(key);
    const unsigned long status = found == answers.end() ? NERR_NetNameNotFound : found->second;
    *buffer = nullptr;
    if (status == NERR_Success) {
        *buffer = static_cast<unsigned char*>(std::calloc(1, sizeof(SHARE_INFO_1)));
        ++outstanding;
    }
    return status;
}

unsigned long RecordedFree(void* buffer) {
    if (buffer) --outstanding;
    std::free(buffer);
    return NERR_Success;
}

TEST(NetApiShareProbe, AsksLevelOneOfEachShareAndReadsTheStatus) {
    answers = {{L"\\\\fs1\\Public", NERR_Success},
               {L"\\\\fs1\\Team Data", NERR_Success},
               {L"\\\\fs1\\admin$", ERROR_ACCESS_DENIED},
               {L"\\\\fs1\\R\u00e9sum\u00e9s", NERR_Success},
               {L"\\\\fs1\\gone", ERROR_BAD_NETPATH}};
    asked.clear();
    auto probe = MakeNetApiShareProbe({RecordedGetInfo, RecordedFree});
    const auto result = probe->ProbeServer(
        "fs1", {"Public", "Team Data", "admin$", "R\xE9sum\xE9s", "missing", "gone"},
        std::chrono::steady_clock::now());
    ASSERT_EQ(result.size(), 6u);
    EXPECT_EQ(result[0].state, ShareAnswer::State::Reachable);
    EXPECT_EQ(result[1].state, ShareAnswer::State::Reachable);
    EXPECT_EQ(result[2].state, ShareAnswer::State::AccessDenied);
    EXPECT_EQ(result[3].state, ShareAnswer::State::Reachable);
    EXPECT_EQ(result[4].code, kShareNotFound);
    EXPECT_EQ(result[4].text, "This shared resource does not exist.");
    EXPECT_EQ(result[5].code, kBadNetPath);
    EXPECT_EQ(result[5].text, "The network path was not found.");
    EXPECT_EQ(asked.size(), 6u);
    for (unsigned long level : levels)
        EXPECT_EQ(level, 1u);
    EXPECT_EQ(outstanding, 0);
}

} // namespace
} // namespace kestrune::smb
