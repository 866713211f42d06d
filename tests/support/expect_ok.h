// EXPECT_OK / ASSERT_OK for whatever answers "done, or why not": an Expected (its error's
// text) or a directory store's Status (its message). A failure shows the reason, not "false".
#pragma once

#include <gtest/gtest.h>
#include <string>

namespace kestrune::testing {

template <typename Result>::testing::AssertionResult IsOk(const Result& result) {
    if constexpr (requires { result.error().text; }) {
        if (result.has_value()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "failed (" << result.error().code << "): " << result.error().text;
    } else {
        if (result.ok()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "failed (" << static_cast<int>(result.code) << "): " << result.message;
    }
}

} // namespace kestrune::testing

#define EXPECT_OK(result) EXPECT_TRUE(::kestrune::testing::IsOk(result))
#define ASSERT_OK(result) ASSERT_TRUE(::kestrune::testing::IsOk(result))
