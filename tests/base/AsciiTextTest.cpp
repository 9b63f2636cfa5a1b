#include "base/AsciiText.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

TEST(AsciiText, LowerCasingLeavesOtherCharactersAlone)
{
    EXPECT_EQ(asciiLower("HTTPS://Example.COM/Ｐａｇｅ/日本"), "https://example.com/Ｐａｇｅ/日本");
}

} // namespace
} // namespace tabulon
