#include <gtest/gtest.h>

#include "platform/afxstring.h"

TEST(CStringTest, FormatGrowsBeyondAnyFixedBuffer)
{
    CString s;
    s.Format("%s|%d", std::string(3000, 'x').c_str(), 42);
    ASSERT_EQ(s.GetLength(), 3003);
    EXPECT_STREQ(static_cast<const char*>(s) + 3000, "|42");
}

TEST(CStringTest, CaseChangesTouchOnlyAsciiLetters)
{
    CString s("aZ-\x81\xE4!q");
    s.MakeUpper();
    EXPECT_EQ(s, "AZ-\x81\xE4!Q");
    s.MakeLower();
    EXPECT_EQ(s, "az-\x81\xE4!q");
}
