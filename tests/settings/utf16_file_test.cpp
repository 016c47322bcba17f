// Settings files in UTF-16 with a byte order mark: read in the GBK view, written back in UTF-16.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "settings/profile.h"
#include "temp_dir.h"
#include "text/gbk.h"

namespace {

using settings::kWhole;
using settings_test::ReadAll;
using settings_test::TempDir;

// The file bytes of `text`: the order mark, then every unit in the byte order asked for.
std::string Utf16(std::u16string_view text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    char low = static_cast<char>(unit & 0xFF);
    char high = static_cast<char>(unit >> 8);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  }
  return out;
}

class Utf16File : public testing::TestWithParam<bool> {
 protected:
  std::string Bytes(std::u16string_view text) const { return Utf16(text, GetParam()); }
};

TEST_P(Utf16File, ReadsAndWritesInUtf16KeepingOtherLines) {
  TempDir dir;
  const std::string path = dir.File("XolConfig.ini");
  // "Note" holds a character that GBK lacks: it reads as "?" and its line is kept as it is.
  settings_test::WriteAll(path, Bytes(u"[AccountConfig]\r\nAccount=张三\r\nNote=a😀b\r\n"
                                      u"Password=old\r\n"));
  EXPECT_EQ(settings::GetProfileString("AccountConfig", "Account", "", kWhole, path),
            text::Utf8ToGbk("张三"));
  EXPECT_EQ(settings::GetProfileString("AccountConfig", "Note", "", kWhole, path), "a?b");

  ASSERT_TRUE(
      settings::WriteProfileString("AccountConfig", "Password", text::Utf8ToGbk(" 新 "), path));
  ASSERT_TRUE(settings::WriteProfileString("HostConfig", "Host", "1.2.3.4", path));
  EXPECT_EQ(ReadAll(path), Bytes(u"[AccountConfig]\r\nAccount=张三\r\nNote=a😀b\r\n"
                                 u"Password=\" 新 \"\r\n\r\n[HostConfig]\r\nHost=1.2.3.4\r\n"));
  EXPECT_EQ(settings::GetProfileString("AccountConfig", "Password", "", kWhole, path),
            text::Utf8ToGbk(" 新 "));
}

// A file that is no well-formed UTF-16 could not be written back as it is: it is only read.
TEST_P(Utf16File, MalformedFileIsReadButNeverRewritten) {
  for (std::string before :
       {Bytes(u"[S]\r\nk=v\r\nbad=\xD800x\r\n"), Bytes(u"[S]\r\nk=v\r\n") + "!"}) {
    TempDir dir;
    const std::string path = dir.File("XolConfig.ini");
    settings_test::WriteAll(path, before);
    EXPECT_EQ(settings::GetProfileString("S", "k", "", kWhole, path), "v");
    EXPECT_FALSE(settings::WriteProfileString("S", "k", "w", path));
    EXPECT_EQ(ReadAll(path), before);
  }
}

// A value that is no GBK text has no UTF-16 form: the write is refused.
TEST_P(Utf16File, RefusesValueWithoutUtf16Form) {
  TempDir dir;
  const std::string path = dir.File("XolConfig.ini");
  const std::string before = Bytes(u"[S]\r\nk=v\r\n");
  settings_test::WriteAll(path, before);
  EXPECT_FALSE(settings::WriteProfileString("S", "k", "a\x81", path));
  EXPECT_EQ(ReadAll(path), before);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, Utf16File, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "BigEndian" : "LittleEndian");
                         });

}  // namespace
