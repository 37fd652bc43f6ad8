// Snap-in folders with odd names: listed as they are, switched with all their
// folders, saved into a well-formed per-user file that does not grow from
// one close to the next.
#include <string>
#include <vector>

#include "HardeningSupport.h"
#include "QuillanFixture.h"

namespace {

struct OddName {
  const char* label;
  std::string name;
  // What the saved check-list section answers for `savedKey` once the
  // snap-in was switched off; an empty key: not checked.
  std::string savedKey;
  std::string savedValue = "0";
};

void PrintTo(const OddName& n, std::ostream* os) { *os << n.label; }

const char* const kKinds[] = {"snapins", "lib", "resources"};
const std::string kListSection = "Settings Form1 CheckListBoxSnapins";

#ifdef _WIN32
// The ANSI calls stop at 259 characters of path; the temporary folder is long.
constexpr std::size_t kLong = 100;
#else
constexpr std::size_t kLong = 255;  // the longest name most file systems allow
#endif
const char* const kSemicolonKey = "0";  // no comment syntax: ";semi" is a key

}  // namespace

class HostileName : public QuillanTest, public ::testing::WithParamInterface<OddName> {
 protected:
  void SetUp() override {
    const std::string n = GetParam().name;
    base = MakeInstallation("c1", {{n, "Plain"}, {}, true, false, false, true});
    for (const char* kind : kKinds) {
      tmp.MakeFile(std::string("c1/") + kind + "/" + n + "/marker", std::string(kind) + " of odd");
    }
    WriteMachineIni("[Paths]\nC1=" + base + "\n");
    contents = hardening::Contents(base);
  }
  std::string UserFile() const { return quillan_test::TempDir::ReadFile(UserIniPath()); }

  std::string base;
  std::multiset<std::string> contents;
};

TEST_P(HostileName, ListedSwitchedSavedAndRestored) {
  const std::string n = GetParam().name;
  Start();
  ASSERT_GE(user.IndexOfItem(*f->CheckListBoxSnapins, n), 0);
  EXPECT_EQ(Items().size(), 2U);

  user.ClickItemCheckBox(*f->CheckListBoxSnapins, n);
  for (const char* kind : kKinds) {
    EXPECT_TRUE(Exists(std::string("c1/inactive.") + kind + "/" + n + "/marker")) << kind;
    EXPECT_FALSE(Exists(std::string("c1/") + kind + "/" + n)) << kind;
  }
  CloseWindow();
  const std::string first = UserFile();
  EXPECT_TRUE(hardening::IniProblems(first).empty()) << first;
  if (!GetParam().savedKey.empty()) {
    EXPECT_EQ(UserValue(kListSection, GetParam().savedKey), GetParam().savedValue);
  }
  EXPECT_EQ(UserValue(kListSection, "Plain"), "1");

  // The next start lists it from the disk, unchecked; switching it back works.
  Start();
  const int i = user.IndexOfItem(*f->CheckListBoxSnapins, n);
  ASSERT_GE(i, 0);
  EXPECT_FALSE(f->CheckListBoxSnapins->Checked(i));
  user.ClickItemCheckBox(*f->CheckListBoxSnapins, n);
  for (const char* kind : kKinds) EXPECT_TRUE(Exists(std::string("c1/") + kind + "/" + n + "/marker"));
  CloseWindow();
  const std::string second = UserFile();
  EXPECT_TRUE(hardening::IniProblems(second).empty()) << second;

  // Closing again with the same state leaves the same file.
  Start();
  CloseWindow();
  EXPECT_EQ(UserFile(), second);
  EXPECT_EQ(hardening::Contents(base), contents);
  EXPECT_TRUE(app.MessageBoxes().empty());
}

std::vector<OddName> OddNames() {
  std::vector<OddName> names = {
      {"spaces", "My Snap In", "My Snap In"},
      {"leading_blank", " lead", "lead"},
      {"utf8", "caf\xc3\xa9", "caf\xc3\xa9"},
      {"latin1", "caf\xe9", "caf\xe9"},
      {"long", std::string(kLong, 'L'), std::string(kLong, 'L')},
      {"bracketed", "[Core]", "Core"},
      {"brackets_inside", "[a]b[c", "abc"},
      {"bracket_later", "Co[re]", "Co[re]"},
      {"blank_then_bracket", " [x", "x"},
      {"equals", "a=b", "a", "b=0"},  // a key ends at its first "="
      {"equals_first", "=x", "=x", "<absent>"},
      {"semicolon_first", ";semi", ";semi", kSemicolonKey},
      {"semicolon_inside", "x;y", "x;y"},
  };
#ifndef _WIN32
  names.push_back({"quotes", "\"q\"", "\"q\""});  // no quotes in Windows names
  names.push_back({"trailing_blank", "trail ", "trail"});  // Windows drops trailing blanks
  // A line break ends a key: the name cannot plant a line of its own.
  names.push_back({"line_break", "a\nb=1\n[Settings]", "a"});
  names.push_back({"tab", "t\tab", "t\tab"});
#endif
  return names;
}

std::string LabelOf(const ::testing::TestParamInfo<OddName>& param) { return param.param.label; }

INSTANTIATE_TEST_SUITE_P(Names, HostileName, ::testing::ValuesIn(OddNames()), LabelOf);
