#include "text/gbk.h"

#include <gtest/gtest.h>

namespace {

// "中文" in GBK, and two characters whose second bytes equal ASCII separators.
const std::string kZhongWen = "\xD6\xD0\xCE\xC4";
const std::string kTrailBackslash = "\x95\x5C";  // a GBK character whose second byte is "\"
const std::string kTrailBar = "\x81\x7C";        // a GBK character whose second byte is "|"

TEST(Gbk, RoundTripsChineseThroughUtf8) {
  EXPECT_EQ(text::GbkToUtf8(kZhongWen), "中文");
  EXPECT_EQ(text::Utf8ToGbk("中文"), kZhongWen);
  EXPECT_EQ(text::Utf8ToGbk(text::GbkToUtf8(kTrailBar + kTrailBackslash)),
            kTrailBar + kTrailBackslash);
}

TEST(Gbk, CharacterThatGbkLacksBecomesQuestionMark) {
  EXPECT_EQ(text::Utf8ToGbk("a\xF0\x9F\x98\x80"
                            "b"),
            "a?b");                                     // an emoji
  EXPECT_EQ(text::Utf8ToGbk("x\xE0\xA4\x85y"), "x?y");  // Devanagari letter a
  EXPECT_EQ(text::Utf8ToGbk("\xFF"
                            "z"),
            "?z");                              // malformed UTF-8
  EXPECT_EQ(text::Utf8ToGbk("\xE4\xB8"), "?");  // cut at the end
  EXPECT_EQ(text::Utf8ToGbk("€"), "\x80");      // code page 936 has the euro at 0x80
}

// A byte pair that GBK leaves unassigned is one unknown character: its second byte, which may be
// "\" or '"', is never read on its own; a lead byte before a byte that cannot follow it is one.
TEST(Gbk, ByteSequenceThatIsNoCharacterBecomesQuestionMark) {
  EXPECT_EQ(text::GbkToUtf8("\xA1\x5C\"a"), "?\"a");
  EXPECT_EQ(text::GbkToUtf8("\xFE\x5C\\"), "?\\");
  EXPECT_EQ(text::GbkToUtf8("\x95\"x"), "?\"x");
  EXPECT_EQ(text::GbkToUtf8("y\x95"), "y?");
  EXPECT_EQ(text::GbkToUtf8("\xFF" + kTrailBackslash), "?昞");
  EXPECT_EQ(text::GbkToUtf8("\x80"), "€");
}

TEST(Gbk, SeparatorSearchSkipsTrailBytes) {
  std::string path = "C:\\" + kTrailBackslash + "\\a.exe";
  EXPECT_EQ(text::FindLastChar(path, '\\'), 5u);
  EXPECT_EQ(text::FindChar(kTrailBar + "|x", '|'), 2u);
  EXPECT_EQ(text::FindChar(kTrailBar, '|'), text::npos);
  EXPECT_EQ(text::FindChar("a|b", '|', 2), text::npos);
  EXPECT_EQ(text::Find(kTrailBar + "\r\n", "|"), text::npos);
  EXPECT_EQ(text::ReplaceAll(kTrailBar + "|" + kTrailBar, "|", "\r\n"),
            kTrailBar + "\r\n" + kTrailBar);
}

TEST(Gbk, CaseInsensitiveComparisonFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(text::EqualsNoCase("Game.EXE", "game.exe"));
  EXPECT_TRUE(text::EqualsNoCase(kZhongWen + "A", kZhongWen + "a"));
  EXPECT_FALSE(text::EqualsNoCase("game.exe", "game.ex"));
  // 0x81 0x41 and 0x81 0x61 are different characters although their trail bytes differ only in
  // case.
  EXPECT_FALSE(text::EqualsNoCase("\x81\x41", "\x81\x61"));
}

}  // namespace
