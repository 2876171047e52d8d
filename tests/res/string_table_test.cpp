#include <gtest/gtest.h>

#include <string>

#include "res/StringTable.h"

TEST(StringTableTest, SocketsMessageLoadsAsTextAndOtherIdsEmpty)
{
    EXPECT_EQ(LoadStringResource(3), "Fehler beim Initialisieren der Windows-Sockets");
    EXPECT_EQ(LoadStringResource(0), "");
    EXPECT_EQ(LoadStringResource(4), "");
}

TEST(StringTableTest, Utf16Conversion)
{
    struct Case {
        const char16_t* text;
        std::string expected;
    };
    const Case cases[] = {
        {u"", ""},
        {u"Gr\u00FC\u00DFe", "Gr\xC3\xBC\xC3\x9F" "e"},
        {u"\u20AC", "\xE2\x82\xAC"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},            // surrogate pair
        {u"a\xD800" "b", "a\xEF\xBF\xBD" "b"},          // lone high surrogate
        {u"\xDC00", "\xEF\xBF\xBD"},                    // lone low surrogate
        {u"\xD800", "\xEF\xBF\xBD"},                    // high surrogate at the end
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf16ToUtf8(c.text).str(), c.expected) << testing::PrintToString(c.expected);
    }
    EXPECT_EQ(Utf16ToUtf8(nullptr), "");
}
