#include "platform/store/base64.h"

#include <gtest/gtest.h>

namespace kestrune::store {
namespace {

TEST(Base64, DecodesWhatItEncodesAtEveryLength) {
    std::string bytes;
    for (int i = 0; i < 40; ++i) {
        std::string decoded;
        ASSERT_TRUE(Base64Decode(Base64Encode(bytes), decoded)) << i;
        EXPECT_EQ(decoded, bytes) << i;
        bytes += static_cast<char>(i * 37 + 200);
    }
    std::string decoded;
    ASSERT_TRUE(Base64Decode(" w6l0\r\n w6k=\t", decoded)); // folded as LDIF folds it
    EXPECT_EQ(decoded, "\xc3\xa9t\xc3\xa9");
    ASSERT_TRUE(Base64Decode("QUJD", decoded));
    EXPECT_EQ(decoded, "ABC");
    ASSERT_TRUE(Base64Decode("", decoded));
    EXPECT_EQ(decoded, "");
}

TEST(Base64, RefusesWhatIsNotBase64) {
    std::string decoded;
    for (const char* text : {"!!!", "QUJD=QUJD", "QUJDR", "QQ===", "QU=J", "QUJD\x80"})
        EXPECT_FALSE(Base64Decode(text, decoded)) << text;
}

} // namespace
} // namespace kestrune::store
