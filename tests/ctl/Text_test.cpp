// Names as a terminal and a JSON reader get them.
#include <gtest/gtest.h>

#include "ctl/Text.h"

TEST(Text, HexGivesTheBytesBack) {
  EXPECT_EQ(ctl::ToHex("caf\xE9"), "636166e9");
  EXPECT_EQ(ctl::FromHex("636166E9"), "caf\xE9");
  EXPECT_EQ(ctl::FromHex(""), "");
  EXPECT_FALSE(ctl::FromHex("abc"));
  EXPECT_FALSE(ctl::FromHex("zz"));
  const std::string all = [] {
    std::string s;
    for (int c = 0; c < 256; ++c) s += static_cast<char>(c);
    return s;
  }();
  EXPECT_EQ(ctl::FromHex(ctl::ToHex(all)), all);
}

TEST(Text, ControlCharactersAreEscaped) {
  EXPECT_EQ(ctl::EscapeControls("X\n  NDSMgmt   inactive"), "X\\n  NDSMgmt   inactive");
  EXPECT_EQ(ctl::EscapeControls("a\x1b[31mred\tb\r"), "a\\x1b[31mred\\tb\\r");
  EXPECT_EQ(ctl::EscapeControls("caf\xC3\xA9 C:\\Novell"), "caf\xC3\xA9 C:\\Novell");
#ifndef _WIN32
  // A C1 control in UTF-8 (CSI) and a byte that is not UTF-8.
  EXPECT_EQ(ctl::EscapeControls("a\xC2\x9B" "b\xE9"), "a\\xc2\\x9bb\\xe9");
  // Format characters (Cf) reorder or hide text, separators break lines and
  // fillers show as blanks; their neighbours are shown.
  const struct {
    const char* utf8;
    bool format;
  } characters[] = {
      {"\xE2\x80\xAE", true},      // U+202E right-to-left override
      {"\xE2\x80\x8B", true},      // U+200B zero width space
      {"\xE2\x80\x8F", true},      // U+200F right-to-left mark
      {"\xE2\x81\xA6", true},      // U+2066 left-to-right isolate
      {"\xE2\x81\xA9", true},      // U+2069 pop directional isolate
      {"\xEF\xBB\xBF", true},      // U+FEFF byte-order mark
      {"\xC2\xAD", true},          // U+00AD soft hyphen
      {"\xD8\x9C", true},          // U+061C Arabic letter mark
      {"\xF3\xA0\x80\x81", true},  // U+E0001 language tag
      {"\xE2\x80\xA8", true},      // U+2028 line separator
      {"\xE2\x80\xA9", true},      // U+2029 paragraph separator
      {"\xE3\x85\xA4", true},      // U+3164 Hangul filler
      {"\xE1\x85\x9F", true},      // U+115F Hangul choseong filler
      {"\xE2\xA0\x80", true},      // U+2800 Braille pattern blank
      {"\xE2\xA0\x81", false},     // U+2801 Braille pattern dots-1
      {"\xE2\x80\x8A", false},     // U+200A hair space (Zs)
      {"\xE2\x80\x90", false},     // U+2010 hyphen
      {"\xE2\x81\xB0", false},     // U+2070 superscript zero
      {"\xEF\xBB\xBE", false},     // U+FEFE Arabic letter
      {"\xD7\x90", false},          // U+05D0 Hebrew alef
  };
  for (const auto& c : characters) {
    std::string escaped;
    for (const char* p = c.utf8; *p != '\0'; ++p) escaped += "\\x" + ctl::ToHex(std::string(1, *p));
    EXPECT_EQ(ctl::EscapeControls(std::string("x") + c.utf8 + "exe"), "x" + (c.format ? escaped : c.utf8) + "exe")
        << ctl::ToHex(c.utf8);
  }
#endif
}

#ifndef _WIN32
TEST(Text, WidthCountsColumnsNotBytes) {
  EXPECT_EQ(ctl::DisplayWidth("Alpha"), 5u);
  EXPECT_EQ(ctl::DisplayWidth("caf\xC3\xA9"), 4u);
  EXPECT_EQ(ctl::DisplayWidth("\xE6\x97\xA5\xE6\x9C\xAC"), 4u);  // two wide CJK characters
  EXPECT_EQ(ctl::DisplayWidth("e\xCC\x81"), 1u);                  // e + combining acute
  EXPECT_EQ(ctl::PadRight("caf\xC3\xA9", 6), "caf\xC3\xA9  ");
}

TEST(Text, JsonTextIsExactOnlyForUtf8) {
  EXPECT_TRUE(ctl::IsUtf8("caf\xC3\xA9"));
  EXPECT_FALSE(ctl::IsUtf8("caf\xE9"));
  EXPECT_FALSE(ctl::IsUtf8("\xC0\xAF"));  // overlong "/"
  EXPECT_FALSE(ctl::IsUtf8("\xED\xA0\x80"));  // a surrogate
  const ctl::JsonText utf8 = ctl::ForJson("caf\xC3\xA9");
  EXPECT_TRUE(utf8.exact);
  EXPECT_EQ(utf8.text, "caf\xC3\xA9");
  const ctl::JsonText latin1 = ctl::ForJson("caf\xE9");
  EXPECT_FALSE(latin1.exact);
  EXPECT_EQ(latin1.text, "caf\xEF\xBF\xBD");
}
#endif
