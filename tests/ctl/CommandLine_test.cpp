#include <gtest/gtest.h>

#include "ctl/CommandLine.h"

using ctl::Command;
using ctl::ParseCommandLine;
using ctl::Wanted;

namespace {

ctl::ParsedCommandLine Parse(std::vector<std::string> args) { return ParseCommandLine(args); }

}  // namespace

TEST(CommandLine, ListTakesAnOptionalBase) {
  auto p = Parse({"list"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.command, Command::List);
  EXPECT_FALSE(p.options.base);

  p = Parse({"list", "relative-folder", "--json"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.base, "relative-folder");
  EXPECT_TRUE(p.options.json);

  EXPECT_NE(Parse({"list", "a", "b"}).error, "");
  EXPECT_NE(Parse({"list", "--check"}).error, "");
  EXPECT_NE(Parse({"list", "--base", "x", "y"}).error, "");
}

TEST(CommandLine, EnableTellsBaseFromNamesByThePathSeparator) {
  auto p = Parse({"enable", "/opt/c1", "Alpha", "beta"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.command, Command::Enable);
  EXPECT_EQ(p.options.base, "/opt/c1");
  ASSERT_EQ(p.options.requests.size(), 2u);
  EXPECT_EQ(p.options.requests[0].name, "Alpha");
  EXPECT_EQ(p.options.requests[1].wanted, Wanted::Active);

  // Without a separator the first word is a name.
  p = Parse({"disable", "Alpha"});
  ASSERT_EQ(p.error, "");
  EXPECT_FALSE(p.options.base);
  ASSERT_EQ(p.options.requests.size(), 1u);
  EXPECT_EQ(p.options.requests[0].wanted, Wanted::Inactive);

  // --base makes every word a name, even one that looks like a path.
  p = Parse({"disable", "--base=/b", "./x"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.base, "/b");
  ASSERT_EQ(p.options.requests.size(), 1u);
  EXPECT_EQ(p.options.requests[0].name, "./x");

  EXPECT_NE(Parse({"enable"}).error, "");
  EXPECT_NE(Parse({"enable", "/only/a/base"}).error, "");
}

TEST(CommandLine, NamesAfterDoubleDashMayLookLikeOptions) {
  auto p = Parse({"enable", "--check", "--", "--json", "-x"});
  ASSERT_EQ(p.error, "");
  EXPECT_TRUE(p.options.check);
  EXPECT_FALSE(p.options.json);
  ASSERT_EQ(p.options.requests.size(), 2u);
  EXPECT_EQ(p.options.requests[0].name, "--json");
  EXPECT_EQ(p.options.requests[1].name, "-x");
  EXPECT_NE(Parse({"enable", "-x"}).error, "");
}

TEST(CommandLine, SetCollectsBothLists) {
  auto p = Parse({"set", "/b", "--active", "A", "B", "--inactive", "C", "--active=-odd",
                  "--inactive=", "--json"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.command, Command::Set);
  EXPECT_EQ(p.options.base, "/b");
  EXPECT_TRUE(p.options.json);
  ASSERT_EQ(p.options.requests.size(), 5u);
  EXPECT_EQ(p.options.requests[1].name, "B");
  EXPECT_EQ(p.options.requests[1].wanted, Wanted::Active);
  EXPECT_EQ(p.options.requests[2].wanted, Wanted::Inactive);
  EXPECT_EQ(p.options.requests[3].name, "-odd");
  EXPECT_EQ(p.options.requests[3].wanted, Wanted::Active);
  EXPECT_EQ(p.options.requests[4].name, "");

  // A BASE without a separator is fine before the lists.
  p = Parse({"set", "c1", "--inactive", "X"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.base, "c1");

  // Empty lists are allowed as long as some name is given.
  EXPECT_EQ(Parse({"set", "--active", "--inactive", "X"}).error, "");
  EXPECT_NE(Parse({"set", "--active", "--inactive"}).error, "");
  EXPECT_NE(Parse({"set", "X"}).error, "");
  EXPECT_NE(Parse({"enable", "--active", "X"}).error, "");
  EXPECT_NE(Parse({"set", "a", "b", "--active", "X"}).error, "");
}

TEST(CommandLine, UsageErrorsAndHelp) {
  EXPECT_NE(Parse({}).error, "");
  EXPECT_NE(Parse({"frobnicate"}).error, "");
  EXPECT_NE(Parse({"list", "--frob"}).error, "");
  EXPECT_NE(Parse({"list", "--base"}).error, "");
  EXPECT_NE(Parse({"list", "--base", "a", "--base", "b"}).error, "");
  EXPECT_EQ(Parse({"--help"}).options.command, Command::Help);
  EXPECT_EQ(Parse({"enable", "-h"}).options.command, Command::Help);
  EXPECT_EQ(Parse({"--version"}).options.command, Command::Version);
  EXPECT_NE(ctl::HelpText().find("Exit status"), std::string::npos);
}

TEST(CommandLine, PathDetection) {
  EXPECT_TRUE(ctl::LooksLikePath("/opt/x"));
  EXPECT_TRUE(ctl::LooksLikePath("x/"));
  EXPECT_TRUE(ctl::LooksLikePath("."));
  EXPECT_TRUE(ctl::LooksLikePath(".."));
  EXPECT_FALSE(ctl::LooksLikePath("NDS Mgmt"));
  EXPECT_FALSE(ctl::LooksLikePath("..x"));
#ifdef _WIN32
  EXPECT_TRUE(ctl::LooksLikePath("C:"));
  EXPECT_TRUE(ctl::LooksLikePath("a\\b"));
#endif
}

TEST(CommandLine, SetKeepsTheOrderOfWordsAndListsAcrossDoubleDash) {
  auto p = Parse({"set", "--inactive", "A", "--json", "B", "--active", "C", "--", "-d", "--inactive"});
  ASSERT_EQ(p.error, "");
  ASSERT_EQ(p.options.requests.size(), 5u);
  const std::vector<std::pair<std::string, Wanted>> want = {
      {"A", Wanted::Inactive}, {"B", Wanted::Inactive}, {"C", Wanted::Active},
      {"-d", Wanted::Active}, {"--inactive", Wanted::Active}};
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(p.options.requests[i].name, want[i].first) << i;
    EXPECT_EQ(p.options.requests[i].wanted, want[i].second) << i;
  }
  EXPECT_TRUE(p.options.json);
  EXPECT_FALSE(p.options.base);
}

TEST(CommandLine, HexNamesAndWhatWasTakenAsBase) {
  auto p = Parse({"disable", "--hex", "636166e9", "41"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.requests[0].name, "caf\xE9");
  EXPECT_EQ(p.options.requests[1].name, "A");
  EXPECT_NE(Parse({"disable", "--hex", "6g"}).error, "");
  EXPECT_NE(Parse({"enable", "."}).error.find("\".\" was taken as BASE"), std::string::npos);
  EXPECT_NE(Parse({"enable", "../bin"}).error.find("\"../bin\" was taken as BASE"), std::string::npos);
  EXPECT_EQ(Parse({"--version"}).options.command, Command::Version);
  EXPECT_NE(ctl::VersionText().find("quillanctl "), std::string::npos);
}

TEST(CommandLine, WaitTakesSecondsFromZeroOn) {
  const struct {
    std::vector<std::string> args;
    double wait;  // -1: a usage error
  } cases[] = {
      {{"list"}, 10},
      {{"list", "--wait", "0"}, 0},
      {{"disable", "/opt/c1", "A", "--wait", "2.5"}, 2.5},
      {{"set", "--wait=1", "--active", "A"}, 1},
      {{"list", "--wait", "-1"}, -1},
      {{"list", "--wait", "nan"}, -1},
      {{"list", "--wait", "inf"}, -1},
      {{"list", "--wait", "soon"}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    const auto parsed = Parse(c.args);
    EXPECT_EQ(parsed.error.empty(), c.wait >= 0) << parsed.error;
    if (c.wait >= 0) {
      EXPECT_EQ(parsed.options.wait, c.wait);
    }
  }
  for (const char* status : {"7  busy", "128+N"}) EXPECT_NE(ctl::HelpText().find(status), std::string::npos);
}
