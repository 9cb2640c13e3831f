// Host strings: Unicode inside, Latin-1 at the 8-bit boundary, editing operations.
#include <gtest/gtest.h>

#include "korvo/host/host.h"

namespace korvo {
namespace {

class HostStrings : public ::testing::Test {
protected:
    Host host;
    const KrvStringTable& s = *host.root()->string;

    KrvString make(const std::string& utf8) {
        KrvString text{};
        s.construct(&text);
        setUtf8(&text, utf8);
        return text;
    }
    std::string latin1(const KrvString& text, int32_t max = 100) {
        char buffer[128];
        const int32_t n = s.to_text(&text, buffer, max, 0);
        return std::string(buffer, static_cast<size_t>(n));
    }
};

TEST_F(HostStrings, Latin1InAndOutWithQuestionMarkAboveFF) {
    KrvString text{};
    s.construct(&text);
    s.set_text(&text, "Gr\xFC\xDF" "e \xB4", -1, 0);  // "Grüße ´" in Latin-1
    EXPECT_EQ(toUtf8(&text), "Gr\u00FC\u00DFe \u00B4");
    EXPECT_EQ(s.length(&text), 7);
    EXPECT_EQ(latin1(text), "Gr\xFC\xDF" "e \xB4");

    setUtf8(&text, "a\u20ACb\U0001F600c\u00FF");  // euro sign, an emoji, y diaeresis
    EXPECT_EQ(s.length(&text), 6);
    EXPECT_EQ(latin1(text), "a?b?c\xFF");
    s.destroy(&text);
}

TEST_F(HostStrings, SetTextHonoursLengthAndToTextItsMaximum) {
    KrvString text{};
    s.construct(&text);
    s.set_text(&text, "abcdef", 3, 0);
    EXPECT_EQ(toUtf8(&text), "abc");
    char buffer[3];
    EXPECT_EQ(s.to_text(&text, buffer, 2, 0), 2);
    EXPECT_STREQ(buffer, "ab");
    s.destroy(&text);
}

TEST_F(HostStrings, FindInsertRemove) {
    KrvString text = make("Cube_3_Cube");
    KrvString pattern = make("Cube");
    int32_t at = -1;
    ASSERT_TRUE(s.find(&text, &pattern, &at, 0));
    EXPECT_EQ(at, 0);
    ASSERT_TRUE(s.find(&text, &pattern, &at, 1));
    EXPECT_EQ(at, 7);
    EXPECT_FALSE(s.find(&text, &pattern, &at, 8));

    KrvString tail = make("_9");
    s.insert(&text, s.length(&text), &tail);
    s.insert(&text, 0, &tail);
    EXPECT_EQ(toUtf8(&text), "_9Cube_3_Cube_9");
    s.remove(&text, 2, 4);
    EXPECT_EQ(toUtf8(&text), "_9_3_Cube_9");
    s.remove(&text, 9, 100);  // a count past the end stops at the end
    EXPECT_EQ(toUtf8(&text), "_9_3_Cube");
    s.insert(&text, 0, &text);  // a string inserted into itself
    EXPECT_EQ(toUtf8(&text), "_9_3_Cube_9_3_Cube");

    for (KrvString* t : {&text, &pattern, &tail}) s.destroy(t);
    EXPECT_EQ(host.liveCounts().total(), 0);
}

TEST_F(HostStrings, InvalidUtf8DecodesToReplacementCharacters) {
    KrvString text = make("a\xC3(b\xFF");
    EXPECT_EQ(s.length(&text), 5);
    EXPECT_EQ(toUtf8(&text), "a\uFFFD(b\uFFFD");
    s.destroy(&text);
}

}  // namespace
}  // namespace korvo
