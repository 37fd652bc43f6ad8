// Batched writes of the profile engine: the file they leave is the one the
// same writes leave one by one, reads see them before the end, and a refused
// or abandoned batch leaves the file as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "lib/D_Ini.h"
#include "lib/Errors.h"
#include "platform/ProfileEngine.h"
#include "support/PlatformDouble.h"
#include "support/TempDir.h"

using profile::ProfileEngine;
using quillan_test::TempDir;

namespace {

#ifdef _WIN32
const char* const kNewFileLineEnd = "\r\n";
#else
const char* const kNewFileLineEnd = "\n";
#endif

struct Op {
  int kind;  // 0 write, 1 erase
  std::string section, key, value;
};

// Sections and keys that collide ignoring case and blanks, values that
// change lengths, quotes, line breaks cut off, names with "=" and "[".
std::vector<Op> RandomOps(std::mt19937& rng, int n) {
  const std::vector<std::string> sections = {"A", "a", " B ", "List", "[x", "Settings Form1"};
  const std::vector<std::string> keys = {"k", "K", " k ", "x=y", "long key name", "[b]", "0", "1"};
  const std::vector<std::string> values = {"", "1", "0", "\"quoted\"", "  padded  ", "line\nbreak",
                                           std::string(300, 'v'), "a=b"};
  std::vector<Op> ops;
  for (int i = 0; i < n; ++i) {
    Op op;
    op.kind = rng() % 8 == 0 ? 1 : 0;
    op.section = sections[rng() % sections.size()];
    op.key = keys[rng() % keys.size()] + (rng() % 3 == 0 ? std::to_string(rng() % 40) : "");
    op.value = values[rng() % values.size()];
    ops.push_back(op);
  }
  return ops;
}

void Apply(ProfileEngine& engine, const std::string& path, const std::vector<Op>& ops) {
  for (const Op& op : ops) {
    if (op.kind == 0) {
      ASSERT_TRUE(engine.Write(path, op.section, op.key, op.value));
    } else {
      ASSERT_TRUE(engine.EraseSection(path, op.section));
    }
  }
}

class ProfileBatchTest : public ::testing::Test {
 protected:
  TempDir dir;
  ProfileEngine engine;
};

}  // namespace

TEST_F(ProfileBatchTest, LeavesTheFileThatTheSameWritesLeaveOneByOne) {
  const std::vector<std::string> starts = {"", "[A]\nk=1\n", "[A]\r\nk=1\r\n\r\n[List]\r\nold=1",
                                           "\xEF\xBB\xBF; top\n[a]\n\n\n[B]\nx=\"q\"\n  \n", "[A]\rk=1\r",
                                           "[A]\rk=1\n\n[B]\nx=1\r\n", "[A]\nk=1\r\n[List]\rold=1\r"};
  std::mt19937 rng(2024);
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE(round);
    const std::string& start = starts[static_cast<std::size_t>(round) % starts.size()];
    const std::vector<Op> ops = RandomOps(rng, 1 + static_cast<int>(rng() % 120));
    const std::string single = dir.MakeFile("single.ini", start);
    const std::string batched = dir.MakeFile("batched.ini", start);
    if (start.empty() && round % 8 == 0) {  // no file at all
      std::filesystem::remove(batched);
      std::filesystem::remove(single);
    }

    Apply(engine, single, ops);
    engine.BeginBatch(batched);
    Apply(engine, batched, ops);
    // Reads answer from the held content before anything is written.
    for (const Op& op : ops) {
      EXPECT_EQ(engine.Read(batched, op.section, op.key, "?"), engine.Read(single, op.section, op.key, "?"));
      EXPECT_EQ(engine.ListKeys(batched, op.section), engine.ListKeys(single, op.section));
    }
    ASSERT_TRUE(engine.EndBatch(batched, true));
    EXPECT_EQ(TempDir::Exists(batched), TempDir::Exists(single));
    if (TempDir::Exists(single)) {
      EXPECT_EQ(TempDir::ReadFile(batched), TempDir::ReadFile(single));
    }
  }
}

TEST_F(ProfileBatchTest, WritesTheFileOnceAtTheOutermostEnd) {
  const std::string path = dir.MakeFile("s.ini", "[A]\nk=1\n");
  engine.BeginBatch(path);
  engine.BeginBatch(path);
  ASSERT_TRUE(engine.EraseSection(path, "A"));
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(engine.Write(path, "List", "entry" + std::to_string(i), "1"));
  EXPECT_EQ(TempDir::ReadFile(path), "[A]\nk=1\n");
  EXPECT_TRUE(engine.EndBatch(path, true));
  EXPECT_EQ(TempDir::ReadFile(path), "[A]\nk=1\n");
  EXPECT_EQ(engine.Read(path, "List", "entry999", "?"), "1");
  EXPECT_TRUE(engine.EndBatch(path, true));
  const std::string text = TempDir::ReadFile(path);
  // Emptied, the file takes the platform's line ends.
  const std::string eol = kNewFileLineEnd;
  EXPECT_EQ(text.substr(0, 22 + 3 * eol.size()), "[List]" + eol + "entry0=1" + eol + "entry1=1" + eol);
  EXPECT_EQ(engine.Read(path, "A", "k", "gone"), "gone");
  EXPECT_EQ(engine.ListKeys(path, "List").size(), 1000U);
  // A batch that changes nothing writes nothing, and creates no file.
  const std::string none = dir.Join("none.ini");
  engine.BeginBatch(none);
  EXPECT_TRUE(engine.EraseSection(none, "A"));
  EXPECT_TRUE(engine.EndBatch(none, true));
  EXPECT_FALSE(TempDir::Exists(none));
}

// Reads between the writes of a batch: the keys appended to a section that
// was already looked into must be found, and a name written again changes
// its first line, never adds a second one.
TEST_F(ProfileBatchTest, ReadsBetweenWritesSeeEveryAppendedKey) {
  const std::string path = dir.MakeFile("s.ini", "[List]\nk0=old\nK0=shadowed\n");
  engine.BeginBatch(path);
  EXPECT_EQ(engine.Read(path, "list", "k0", "-"), "old");
  for (int i = 1; i < 200; ++i) {
    const std::string key = "k" + std::to_string(i);
    EXPECT_EQ(engine.Read(path, "List", key, "-"), "-") << key;
    ASSERT_TRUE(engine.Write(path, "List", key, std::to_string(i)));
    EXPECT_EQ(engine.Read(path, " LIST ", "K" + std::to_string(i), "-"), std::to_string(i)) << key;
    ASSERT_TRUE(engine.Write(path, "New", key, "n"));  // another section, at the end
  }
  ASSERT_TRUE(engine.Write(path, "list", "K0", "new"));
  ASSERT_TRUE(engine.Write(path, "New", "k199", "last"));
  EXPECT_EQ(engine.Read(path, "List", "k0", "-"), "new");
  EXPECT_EQ(engine.Read(path, "List", "k150", "-"), "150");
  EXPECT_EQ(engine.ListKeys(path, "List").size(), 201u);
  ASSERT_TRUE(engine.EndBatch(path, true));
  const std::string text = TempDir::ReadFile(path);
  EXPECT_EQ(text.rfind("[List]\nk0=new\nK0=shadowed\nk1=1\n", 0), 0u) << text.substr(0, 60);
  EXPECT_NE(text.find("k199=last\n"), std::string::npos);
  ProfileEngine fresh;
  EXPECT_EQ(fresh.Read(path, "New", "K199", "-"), "last");
  EXPECT_EQ(fresh.ListKeys(path, "New").size(), 199u);
}

TEST_F(ProfileBatchTest, AbandonedOrRefusedBatchLeavesTheFileAsItWas) {
  const std::string path = dir.MakeFile("s.ini", "[List]\na=1\n");
  engine.BeginBatch(path);
  ASSERT_TRUE(engine.EraseSection(path, "List"));
  ASSERT_TRUE(engine.Write(path, "List", "b", "1"));
  EXPECT_TRUE(engine.EndBatch(path, false));
  EXPECT_EQ(TempDir::ReadFile(path), "[List]\na=1\n");
  EXPECT_EQ(engine.Read(path, "List", "a", "?"), "1");

  // A file that cannot be replaced refuses the first change, as without a batch.
  // (Read-only refuses whoever asks, root included.)
  namespace fs = std::filesystem;
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  engine.BeginBatch(path);
  EXPECT_FALSE(engine.EraseSection(path, "List"));
  EXPECT_FALSE(engine.Write(path, "List", "b", "1"));
  EXPECT_TRUE(engine.EraseSection(path, "Absent"));  // no change, no failure
  EXPECT_TRUE(engine.EndBatch(path, true));
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
  // Refused at the end (the folder is gone): false, and nothing appears.
  const std::string gone = dir.MakeFolder("gone") + "/s.ini";
  engine.BeginBatch(gone);
  ASSERT_TRUE(engine.Write(gone, "List", "a", "1"));
  std::filesystem::remove_all(dir.Join("gone"));
  EXPECT_FALSE(engine.EndBatch(gone, true));
  EXPECT_FALSE(TempDir::Exists(gone));
}

// The settings layer: a list section is rewritten in one replacement, and
// a write refused part way leaves the old section whole.
TEST(SettingsBatch, ListSectionIsReplacedWholeOrNotAtAll) {
  TempDir dir;
  quillan_test::PlatformDouble os;
  quillan_test::ScopedPlatform scoped(os);
  const std::string path = dir.MakeFile("s.ini", "[Lines]\n0=old0\n1=old1\n");
  D_Ini::TIniFile file(path);
  TStringList lines;
  for (int i = 0; i < 5; ++i) lines.Add("new" + std::to_string(i));

  os.FailProfileWriteOnCall(3);
  EXPECT_THROW(D_Ini::WriteSectionList(file, "Lines", lines, false), ESettingsWriteError);
  EXPECT_EQ(TempDir::ReadFile(path), "[Lines]\n0=old0\n1=old1\n");

  os.ClearFailures();
  os.ResetCounts();
  D_Ini::WriteSectionList(file, "Lines", lines, false);
  std::string expected = "[Lines]";
  for (int i = 0; i < 5; ++i) expected += kNewFileLineEnd + std::to_string(i) + "=new" + std::to_string(i);
  EXPECT_EQ(TempDir::ReadFile(path), expected + kNewFileLineEnd);  // emptied, then rewritten
  EXPECT_EQ(os.Calls(quillan_test::Op::ProfileWrite), 5);
}

// A caller that catches a refused write and goes on (as the close does with
// the placement) must not make the batch commit the writes around it; the
// same holds for an inner batch that catches it. Through the native
// platform's batches: the POSIX engine, or the Windows build's.
TEST(SettingsBatch, ARefusalTheCallerWentPastCommitsNothing) {
  TempDir dir;
  quillan_test::PlatformDouble os;
  quillan_test::ScopedPlatform scoped(os);
  const std::string start = "[S]\na=old\n";
  struct Case {
    const char* what;
    int refusedWrite;  // 0: none
    int refusedErase;
    bool nested;
  } cases[] = {
      {"first write", 1, 0, false},  {"second write", 2, 0, false}, {"last write", 3, 0, false},
      {"the erase", 0, 1, false},    {"second write, in an inner batch", 2, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.MakeFile("s.ini", start);
    D_Ini::TIniFile file(path);
    os.ClearFailures();
    if (c.refusedWrite != 0) os.FailProfileWriteOnCall(c.refusedWrite);
    if (c.refusedErase != 0) os.FailProfileEraseOnCall(c.refusedErase);
    int refused = 0;
    const auto tryTo = [&](auto step) {
      try {
        step();
      } catch (const ESettingsWriteError&) {
        ++refused;
      }
    };
    {
      D_Ini::TIniBatch outer(file);
      tryTo([&] { file.WriteValue("S", "a", "new"); });
      tryTo([&] { file.EraseSection("Gone"); });
      if (c.nested) {
        D_Ini::TIniBatch inner(file);
        tryTo([&] { file.WriteValue("S", "b", "new"); });
        tryTo([&] { inner.Commit(); });
      } else {
        tryTo([&] { file.WriteValue("S", "b", "new"); });
      }
      tryTo([&] { file.WriteValue("T", "c", "new"); });
      EXPECT_EQ(refused, c.nested ? 2 : 1);
      EXPECT_THROW(outer.Commit(), ESettingsWriteError);
    }
    EXPECT_EQ(TempDir::ReadFile(path), start);
    os.ClearFailures();
    EXPECT_EQ(file.ReadValue("S", "a", "?"), "old");
  }
  // Nothing refused: the same steps commit.
  const std::string path = dir.MakeFile("s.ini", start);
  D_Ini::TIniFile file(path);
  D_Ini::TIniBatch batch(file);
  file.WriteValue("S", "a", "new");
  batch.Commit();
  EXPECT_EQ(file.ReadValue("S", "a", "?"), "new");
}

// A batch appending a section key by key parses the text whole a few times
// at most, whatever the file's line ends (a lone CR after the last line, or
// a stray one ending line 1, made every append parse it all again).
TEST_F(ProfileBatchTest, AppendsStayLinearForEveryLineEndStyle) {
  const std::pair<const char*, std::string> starts[] = {
      {"LF", "[A]\nk=1\n"},
      {"CR LF", "[A]\r\nk=1\r\n"},
      {"lone CR", "[A]\rk=1\r"},
      {"a stray CR on line 1", "[A]\rk=1\n[B]\nx=1\n"},
      {"mixed, a CR last", "[A]\r\nk=1\n[B]\rx=1\r"},
      {"no final line end", "[A]\rk=1"},
  };
  for (const auto& [what, start] : starts) {
    SCOPED_TRACE(what);
    const std::string path = dir.MakeFile("s.ini", start);
    const std::uint64_t before = engine.ParseCount();
    engine.BeginBatch(path);
    ASSERT_TRUE(engine.EraseSection(path, "List"));
    for (int i = 0; i < 3000; ++i) ASSERT_TRUE(engine.Write(path, "List", "snapin" + std::to_string(i), "1"));
    ASSERT_TRUE(engine.EndBatch(path, true));
    EXPECT_LE(engine.ParseCount() - before, 4u);
    ProfileEngine fresh;
    EXPECT_EQ(fresh.Read(path, "A", "k", "?"), "1");
    EXPECT_EQ(fresh.Read(path, "List", "snapin0", "?"), "1");
    EXPECT_EQ(fresh.Read(path, "List", "snapin2999", "?"), "1");
  }
}

namespace {

// Another program's two ways of changing the file: in place (an append to
// the same file), or a new file renamed over it.
void OtherProgramAdds(const std::string& path, const std::string& lines, bool byRename) {
  if (byRename) {
    TempDir::WriteFile(path + ".theirs", TempDir::ReadFile(path) + lines);
    std::filesystem::rename(path + ".theirs", path);
  } else {
    std::ofstream(path, std::ios::binary | std::ios::app) << lines;
  }
}

#ifndef _WIN32
// Runs `step` when the replacement's data is on the disk, just before the
// rename, for the life of this object.
class BeforeEveryRename {
 public:
  explicit BeforeEveryRename(std::function<void()> step) : real_(profile::CurrentDiskSteps()) {
    profile::DiskSteps& disk = profile::CurrentDiskSteps();
    disk.renameOrdersData = [](int) { return false; };
    disk.flush = [this, step](int fd) {
      step();
      return real_.flush(fd);
    };
  }
  ~BeforeEveryRename() { profile::CurrentDiskSteps() = real_; }
  BeforeEveryRename(const BeforeEveryRename&) = delete;
  BeforeEveryRename& operator=(const BeforeEveryRename&) = delete;

 private:
  profile::DiskSteps real_;
};
#endif

}  // namespace

// Another program changes the file after the batch read it: while the batch
// is open, or in the last moment before the replacement. Both changes
// survive: the batch is made again on the new content.
TEST_F(ProfileBatchTest, AnotherProgramsChangeMadeMeanwhileSurvivesTheBatch) {
  const std::string start = "[List]\nold=1\n\n[Mine]\nw=1\n";
  for (const bool atTheEnd : {false, true}) {
    for (const bool byRename : {false, true}) {
      SCOPED_TRACE(std::string(atTheEnd ? "just before the rename, " : "while the batch is open, ") +
                   (byRename ? "by a rename" : "in place"));
      const std::string path = dir.MakeFile("s.ini", start);
      int changes = 0;
      const auto theirs = [&] {
        if (changes == 0) OtherProgramAdds(path, "[Theirs]\nt=1\n", byRename);
        ++changes;
      };
#ifdef _WIN32
      if (atTheEnd) continue;  // no seam there; the same check runs before MoveFileEx
#else
      BeforeEveryRename hook(atTheEnd ? std::function<void()>(theirs) : [] {});
#endif
      engine.BeginBatch(path);
      ASSERT_TRUE(engine.EraseSection(path, "List"));
      ASSERT_TRUE(engine.Write(path, "List", "new", "1"));
      ASSERT_TRUE(engine.Write(path, "Mine", "w", "2"));
      if (!atTheEnd) theirs();
      EXPECT_TRUE(engine.EndBatch(path, true));
      EXPECT_EQ(changes, atTheEnd ? 2 : 1);  // at the end: seen, and made again once
      ProfileEngine fresh;
      EXPECT_EQ(fresh.Read(path, "Theirs", "t", "lost"), "1");
      EXPECT_EQ(fresh.Read(path, "List", "new", "lost"), "1");
      EXPECT_EQ(fresh.Read(path, "List", "old", "gone"), "gone");
      EXPECT_EQ(fresh.Read(path, "Mine", "w", "?"), "2");
      EXPECT_EQ(engine.Read(path, "Theirs", "t", "stale"), "1");
      std::filesystem::remove(path);
    }
  }
}

#ifndef _WIN32
// A program that changes the file before every attempt wins: after a few
// attempts nothing is replaced, and the message says why. One write on
// its own keeps the same rule.
TEST(SettingsBatch, AFileThatKeepsChangingIsLeftToTheOtherProgram) {
  TempDir dir;
  const std::string path = dir.MakeFile("s.ini", "[S]\na=old\n");
  int changes = 0;
  BeforeEveryRename hook([&] { OtherProgramAdds(path, "[T" + std::to_string(++changes) + "]\nx=1\n", false); });
  D_Ini::TIniFile file(path);
  try {
    D_Ini::TIniBatch batch(file);
    file.WriteValue("S", "a", "new");
    batch.Commit();
    ADD_FAILURE() << "committed";
  } catch (const ESettingsWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path +
                                         ": another program kept changing it, so it was left as that program wrote it");
  }
  EXPECT_EQ(changes, 5);
  std::string theirs = "[S]\na=old\n";
  for (int i = 1; i <= changes; ++i) theirs += "[T" + std::to_string(i) + "]\nx=1\n";
  EXPECT_EQ(TempDir::ReadFile(path), theirs);
  ProfileEngine engine;
  EXPECT_FALSE(engine.Write(path, "S", "a", "new"));
  EXPECT_EQ(changes, 10);
}
#endif

// The size limit, lowered here in place of a file of 4 GiB: a larger file
// is neither read nor written, and a batch that would grow past it writes
// nothing at all.
TEST_F(ProfileBatchTest, TheSizeLimitRefusesALargerFileAndABatchThatWouldPassIt) {
  struct Restore {
    std::size_t limit = profile::MaxFileSize();
    ~Restore() { profile::MaxFileSize() = limit; }
  } restore;
  profile::MaxFileSize() = 64;
  const std::string bigText = "[S]\nk=1\n" + std::string(57, 'x');  // 65 bytes
  const std::string big = dir.MakeFile("big.ini", bigText);
  EXPECT_EQ(engine.Read(big, "S", "k", "d"), "d");
  EXPECT_FALSE(engine.Write(big, "S", "k", "2"));
  EXPECT_NE(engine.RefusalReason().find("4 GiB"), std::string::npos);
  EXPECT_EQ(TempDir::ReadFile(big), bigText);

  const std::string path = dir.MakeFile("s.ini", "[S]\nk=1\n");
  engine.BeginBatch(path);
  int written = 0;
  while (written < 20 && engine.Write(path, "S", "key" + std::to_string(written), "1")) ++written;
  EXPECT_EQ(written, 8);  // 8 bytes and 8 lines of 7 reach 64; the next would pass it
  EXPECT_NE(engine.RefusalReason().find("4 GiB"), std::string::npos);
  EXPECT_FALSE(engine.EndBatch(path, true));
  EXPECT_EQ(TempDir::ReadFile(path), "[S]\nk=1\n");
  engine.BeginBatch(path);  // exactly at the limit is allowed
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(engine.Write(path, "S", "key" + std::to_string(i), "1"));
  EXPECT_TRUE(engine.EndBatch(path, true));
  EXPECT_EQ(TempDir::ReadFile(path).size(), 64u);
}
