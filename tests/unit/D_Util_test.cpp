#include "lib/D_Util.h"

#include <gtest/gtest.h>

#include "support/PlatformDouble.h"
#include "support/TempDir.h"

using namespace D_Util;
using quillan_test::PlatformDouble;
using quillan_test::ScopedPlatform;
using quillan_test::TempDir;

namespace {

const std::string kSep(1, NativeSeparator());

TEST(Paths, TrailingSeparators) {
  EXPECT_EQ(IncludeTrailingSeparator(""), kSep);
  EXPECT_EQ(IncludeTrailingSeparator("a"), "a" + kSep);
  EXPECT_EQ(IncludeTrailingSeparator("a\\"), "a\\");
  EXPECT_EQ(IncludeTrailingSeparator("a/"), "a/");
  EXPECT_EQ(ExcludeTrailingSeparator("C:\\"), "C:");
  EXPECT_EQ(ExcludeTrailingSeparator("a//"), "a/");
  EXPECT_EQ(ExcludeTrailingSeparator("a"), "a");
  EXPECT_EQ(ExcludeTrailingSeparator(""), "");
  EXPECT_EQ(JoinPath("a" + kSep, kSep + "b"), "a" + kSep + "b");
  EXPECT_EQ(JoinPath("", "b"), "b");
}

TEST(Paths, ChangeExtensionAndExecutableNames) {
  EXPECT_EQ(ChangeExtension("C:\\Tools\\App.exe", "ini"), "C:\\Tools\\App.ini");
  EXPECT_EQ(ChangeExtension("C:\\Tools\\App", "ini"), "C:\\Tools\\App.ini");
  EXPECT_EQ(ChangeExtension("C:\\My.Tools\\App", ".ini"), "C:\\My.Tools\\App.ini");
  EXPECT_EQ(ChangeExtension("/my.tools/App", "ini"), "/my.tools/App.ini");
  EXPECT_EQ(ChangeExtension("C:App", "ini"), "C:App.ini");
  EXPECT_EQ(ChangeExtension("a.b.c", ""), "a.b");
  PlatformDouble fake;
  ScopedPlatform scope(fake);
  fake.SetExecutablePath("/opt/q/Quillan");
  EXPECT_EQ(ExeFileWithExtension("ini"), "/opt/q/Quillan.ini");
}

TEST(Text, ReplaceText) {
  EXPECT_EQ(ReplaceText("aXbxc", "x", "-", false, true), "a-b-c");
  EXPECT_EQ(ReplaceText("aXbxc", "x", "-", true, true), "aXb-c");
  EXPECT_EQ(ReplaceText("aXbxc", "x", "-", false, false), "a-bxc");
  // The inserted text is never searched again.
  EXPECT_EQ(ReplaceText("aaa", "a", "aa", true, true), "aaaaaa");
  EXPECT_EQ(ReplaceText("abab", "ab", "b", true, true), "bb");
  // Case of the other characters is kept; only a-z are folded.
  EXPECT_EQ(ReplaceText("C:\\Path\\BIN\\x", "\\bin", "", false, false), "C:\\Path\\x");
  EXPECT_EQ(ReplaceText("\xE4X", "\xC4x", "y", false, true), "\xE4X");
  EXPECT_EQ(ReplaceText("abc", "", "x", true, true), "abc");
  EXPECT_EQ(ReplaceText("abc", "b", "b", true, true), "abc");
  std::string s = "1#CRLF#2";
  ReplaceTextInPlace(s, "#crlf#", "\r\n", false, true);
  EXPECT_EQ(s, "1\r\n2");
}

TEST(Text, ReplaceTextOnAHugeValueDoesNotRecurse) {
  std::string text;
  for (int i = 0; i < 500000; ++i) text += "#CRLF#";
  std::string out = ReplaceText(text, "#CRLF#", "\r\n", true, true);
  EXPECT_EQ(out.size(), 1000000u);
  EXPECT_EQ(out.find('#'), std::string::npos);
}

TEST(Text, SmallHelpers) {
  EXPECT_EQ(RemoveChars("[a]b[c", "[]"), "abc");
  EXPECT_EQ(EnsurePrefix("ini", "."), ".ini");
  EXPECT_EQ(EnsurePrefix(".ini", "."), ".ini");
  EXPECT_EQ(DoubleQuoted("a\"b"), "\"a\"\"b\"");
  EXPECT_EQ(DoubleQuoted(""), "\"\"");
  std::vector<std::string> list = {"cd", "DIR", "dir"};
  EXPECT_EQ(IndexOfText("dir", list, true), 2);
  EXPECT_EQ(IndexOfText("dir", list, false), 1);
  EXPECT_EQ(IndexOfText("DIR.EXE", list, false), -1);
  EXPECT_FALSE(IsTextInList("x", {}, false));
  EXPECT_EQ(SplitAtFirst("a b c", " "), std::make_pair(std::string("a"), std::string("b c")));
  EXPECT_EQ(SplitAtFirst("abc", " "), std::make_pair(std::string("abc"), std::string()));
  EXPECT_EQ(SplitAtFirst(" a", " "), std::make_pair(std::string(), std::string("a")));
  EXPECT_EQ(SplitAtFirst("a b", ""), std::make_pair(std::string("a b"), std::string()));
  EXPECT_EQ(SplitAtFirst("a::b::c", "::"), std::make_pair(std::string("a"), std::string("b::c")));
  EXPECT_EQ(JoinWithSeparator("a", "b", " "), "a b");
  EXPECT_EQ(JoinWithSeparator("", "b", " "), "b");
  EXPECT_EQ(JoinWithSeparator("a", "", " "), "a");
  EXPECT_EQ(UpperAscii("ab\xE4z"), "AB\xE4Z");
  EXPECT_EQ(LowerAscii("AB\xC4Z"), "ab\xC4z");
}

TEST(Text, FormatFileSize) {
  EXPECT_EQ(FormatFileSize(0), "   0");
  EXPECT_EQ(FormatFileSize(1023), "1023");
  EXPECT_EQ(FormatFileSize(1024), "   1 kB");
  EXPECT_EQ(FormatFileSize(1535), "   1 kB");
  EXPECT_EQ(FormatFileSize(1536), "   2 kB");  // half away from zero
  EXPECT_EQ(FormatFileSize(2560), "   3 kB");
  EXPECT_EQ(FormatFileSize(1048575), "1024 kB");
  EXPECT_EQ(FormatFileSize(1048576), "1.00 MB");
  EXPECT_EQ(FormatFileSize(1048576 + 5242), "1.00 MB");
  EXPECT_EQ(FormatFileSize(1048576 + 5243), "1.01 MB");
  EXPECT_EQ(FormatFileSize(1073741824), "1.00 GB");
  EXPECT_EQ(FormatFileSize(4294967301LL), "4.00 GB");
  EXPECT_EQ(FormatFileSize(1099511627776LL * 3 / 2), "1.50 TB");
  EXPECT_EQ(FormatFileSize(-1), "2.00 GB");  // taken as 2147483647
}

TEST(Text, ToShortPath) {
  PlatformDouble fake;
  ScopedPlatform scope(fake);
  fake.SetShortPath([](const std::string& p) { return p == "long name" ? "LONGNA~1" : ""; });
  EXPECT_EQ(ToShortPath("long name"), "LONGNA~1");
  EXPECT_EQ(ToShortPath("missing"), "missing");
  fake.SetShortPath([](const std::string&) { return std::string(300, 'x'); });
  EXPECT_EQ(ToShortPath("p"), "p");  // does not fit the buffer
}

// Lists entries of our own making, sizes beyond 4 GiB included.
class ListingDouble : public PlatformDouble {
 public:
  std::vector<platform::FindEntry> entries;
  bool ListFolder(const std::string&, std::uint32_t attributes,
                  const std::function<bool(const platform::FindEntry&)>& onEntry) override {
    const std::uint32_t filtered =
        platform::faHidden | platform::faSysFile | platform::faVolumeID | platform::faDirectory;
    for (const auto& e : entries) {
      if ((e.attributes & filtered & ~attributes) != 0) continue;
      if (!onEntry(e)) break;
    }
    return true;
  }
};

TEST(ListDirectory, TagsFormatsAndTheSizePlaceholder) {
  ListingDouble fake;
  ScopedPlatform scope(fake);
  const std::int64_t big = 4294967296LL + 5;
  fake.entries = {{"big #size# file", platform::faArchive, big, 0x5A216000u},
                  {".hidden", platform::faArchive, 1, 0},
                  {"sub", platform::faDirectory, 0, 0},
                  {"secret", platform::faHidden | platform::faArchive, 1, 0}};
  TStringList list;
  ListDirectory("x", platform::faArchive, 2, list, "%s: #SIZE#");
  ASSERT_EQ(list.Count(), 1);
  // The size goes where the format has it, computed from the real size; the
  // tag keeps the low 32 bits.
  EXPECT_EQ(list[0], "big #size# file:   4.00 GB");
  EXPECT_EQ(list.Tag(0), 5);

  list.Clear();
  ListDirectory("x", platform::faArchive | platform::faDirectory, 1, list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[1], "sub");
  EXPECT_EQ(list.Tag(1), platform::faDirectory);

  list.Clear();
  ListDirectory("x", platform::faArchive, 3, list, "[%-5s]#size#");  // no exact "#SIZE#"
  EXPECT_EQ(list[0], "[big #size# file]#size#");
  EXPECT_EQ(list.Tag(0), static_cast<std::int32_t>(0x5A216000u));

  list.Clear();
  fake.entries = {{"n", platform::faArchive, 0x80000001LL, 0}};
  ListDirectory("x", platform::faArchive, 2, list, "");
  EXPECT_EQ(list[0], "n");
  EXPECT_EQ(list.Tag(0), -2147483647LL);  // signed 32-bit
}

TEST(ListDirectory, RealFoldersOnly) {
  TempDir dir;
  dir.MakeFolder("Beta");
  dir.MakeFolder("alpha");
  dir.MakeFolder(".dot");
  dir.MakeFile("file.txt", "x");
  TStringList list;
  ListDirectory(dir.Join("*.*"), platform::faDirectory, 0, list, "%s");
  std::vector<std::string> names;
  for (const auto& item : list.Items()) {
    names.push_back(item.Text);
    EXPECT_EQ(item.Tag, 0);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Beta", "alpha"}));
  list.Clear();
  ListDirectory(dir.Join("missing") + NativeSeparator() + "*.*", platform::faDirectory, 0, list);
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
