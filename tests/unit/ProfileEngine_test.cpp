// The private-profile engine against hand-made files.
#include "platform/ProfileEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

using profile::ProfileEngine;
using quillan_test::TempDir;

namespace fs = std::filesystem;

namespace {

class ProfileEngineTest : public ::testing::Test {
 protected:
  std::string Make(const std::string& content) { return dir.MakeFile("s.ini", content); }
  std::string Content(const std::string& path) { return TempDir::ReadFile(path); }
  TempDir dir;
  ProfileEngine engine;
};

TEST_F(ProfileEngineTest, ReadsWithLineEndsBomBlanksQuotesAndCase) {
  for (const char* eol : {"\n", "\r\n"}) {
    std::string e = eol;
    std::string path = Make("\xEF\xBB\xBF[Paths]" + e + "  C1 =  /usr/C1  " + e + "odd line" + e +
                            e + "; note=ignored" + e + "Q=\"  spaced  \"" + e + "S='x'" + e +
                            "Mixed=\"x'" + e + "Eq=a=b" + e + "[ Other ]" + e + "k=v");
    engine.ClearCache();
    EXPECT_EQ(engine.Read(path, "paths", "c1", "def"), "/usr/C1");
    EXPECT_EQ(engine.Read(path, "Paths", "Q", ""), "  spaced  ");
    EXPECT_EQ(engine.Read(path, "Paths", "S", ""), "x");
    EXPECT_EQ(engine.Read(path, "Paths", "Mixed", ""), "\"x'");
    EXPECT_EQ(engine.Read(path, "Paths", "Eq", ""), "a=b");
    EXPECT_EQ(engine.Read(path, "other", "K", ""), "v");  // no final line end
    EXPECT_EQ(engine.Read(path, "Paths", "odd line", "def"), "def");
    EXPECT_EQ(engine.Read(path, "Paths", "; note", "def"), "ignored");  // a key, not listed
    EXPECT_EQ(engine.ListKeys(path, "PATHS"),
              (std::vector<std::string>{"C1", "Q", "S", "Mixed", "Eq"}));
  }
}

TEST_F(ProfileEngineTest, MissingThingsGiveTheDefault) {
  std::string path = Make("[A]\nk=v\n");
  EXPECT_EQ(engine.Read(path, "B", "k", "d"), "d");
  EXPECT_EQ(engine.Read(path, "A", "x", "d"), "d");
  EXPECT_EQ(engine.Read(dir.Join("none.ini"), "A", "k", "d"), "d");
  // A default loses its trailing spaces, as kernel32 cuts them (a snap-in
  // folder "trail " is described as "trail"); tabs, leading blanks and the
  // first character stay.
  for (const std::string& file : {path, dir.Join("none.ini")}) {
    EXPECT_EQ(engine.Read(file, "A", "x", "default  "), "default");
    EXPECT_EQ(engine.Read(file, "A", "x", "  lead\t "), "  lead\t");
    EXPECT_EQ(engine.Read(file, "A", "x", "   "), " ");
    EXPECT_EQ(engine.Read(file, "A", "x", ""), "");
  }
  EXPECT_TRUE(engine.ListKeys(dir.Join("none.ini"), "A").empty());
  EXPECT_TRUE(engine.ListKeys(path, "B").empty());
  // A folder in place of the file reads as a missing file and refuses writes.
  std::string folder = dir.MakeFolder("folder.ini");
  EXPECT_EQ(engine.Read(folder, "A", "k", "d"), "d");
  EXPECT_FALSE(engine.Write(folder, "A", "k", "v"));
  EXPECT_FALSE(engine.EraseSection(folder, "A"));
}

TEST_F(ProfileEngineTest, DuplicatesFirstOccurrenceWins) {
  std::string path = Make("[A]\nk=1\nK=2\n[a]\nk=3\nz=4\n");
  EXPECT_EQ(engine.Read(path, "A", "k", ""), "1");
  EXPECT_EQ(engine.Read(path, "A", "z", "d"), "d");  // only the first section answers
  EXPECT_EQ(engine.ListKeys(path, "A"), (std::vector<std::string>{"k", "K"}));
  ASSERT_TRUE(engine.Write(path, "a", "K", "9"));
  EXPECT_EQ(Content(path), "[A]\nk=9\nK=2\n[a]\nk=3\nz=4\n");
  ASSERT_TRUE(engine.EraseSection(path, "A"));
  EXPECT_EQ(Content(path), "");
}

TEST_F(ProfileEngineTest, LongValuesAreCutTo2047) {
  std::string path = Make("[A]\nk=" + std::string(5000, 'x') + "\n");
  EXPECT_EQ(engine.Read(path, "A", "k", "").size(), 2047u);
  EXPECT_EQ(engine.Read(path, "A", "none", std::string(3000, 'd')).size(), 2047u);
}

TEST_F(ProfileEngineTest, KeyListingBehavesLikeA16384ByteBuffer) {
  // 1000 names of 19 characters + zero take 20000 bytes: 819 fit whole
  // (16380 bytes), the 820th is cut to 2 characters, then two zeros.
  std::string text = "[Big]\n";
  for (int i = 0; i < 1000; ++i) {
    std::string n = std::to_string(i);
    text += std::string(19 - n.size(), 'k') + n + "=v\n";
  }
  std::string path = Make(text);
  auto keys = engine.ListKeys(path, "big");
  ASSERT_EQ(keys.size(), 820u);
  EXPECT_EQ(keys[818], std::string(16, 'k') + "818");
  EXPECT_EQ(keys[819], "kk");
  std::size_t used = 1;
  for (const auto& k : keys) used += k.size() + 1;
  EXPECT_EQ(used, 16384u);  // the buffer is full
}

TEST_F(ProfileEngineTest, WritesKeepEveryOtherByte) {
  const std::string original =
      "; hand-made\r\n[A]\r\n  Key = old value ; x\r\nother=1\r\n\r\n[B]\r\nb=2";
  std::string path = Make(original);
  ASSERT_TRUE(engine.Write(path, "a", "KEY", "new"));
  EXPECT_EQ(Content(path),
            "; hand-made\r\n[A]\r\n  Key =new\r\nother=1\r\n\r\n[B]\r\nb=2");
  ASSERT_TRUE(engine.Write(path, "A", "added", "x"));  // after the last line of [A], CRLF kept
  EXPECT_EQ(Content(path),
            "; hand-made\r\n[A]\r\n  Key =new\r\nother=1\r\nadded=x\r\n\r\n[B]\r\nb=2");
  ASSERT_TRUE(engine.Write(path, "B", "c", "3"));  // file without a final line end
  EXPECT_EQ(Content(path),
            "; hand-made\r\n[A]\r\n  Key =new\r\nother=1\r\nadded=x\r\n\r\n[B]\r\nb=2\r\nc=3");
  ASSERT_TRUE(engine.Write(path, "New", "n", "v"));
  EXPECT_EQ(Content(path),
            "; hand-made\r\n[A]\r\n  Key =new\r\nother=1\r\nadded=x\r\n\r\n[B]\r\nb=2\r\nc=3"
            "\r\n\r\n[New]\r\nn=v\r\n");
  ASSERT_TRUE(engine.EraseSection(path, "a"));
  EXPECT_EQ(Content(path), "; hand-made\r\n[B]\r\nb=2\r\nc=3\r\n\r\n[New]\r\nn=v\r\n");
  EXPECT_EQ(engine.Read(path, "B", "c", ""), "3");
}

// Files as editors and converters leave them, read as kernel32 reads them.
TEST_F(ProfileEngineTest, HandEditedShapesReadAsKernel32Does) {
  // Old Mac line ends: line by line; erasing one section keeps the others.
  std::string path = Make("[Settings]\rx=1\r[Other]\ry=2\r");
  EXPECT_EQ(engine.Read(path, "Settings", "x", ""), "1");
  EXPECT_EQ(engine.ListKeys(path, "Other"), std::vector<std::string>{"y"});
  ASSERT_TRUE(engine.Write(path, "Settings", "z", "3"));
  EXPECT_EQ(Content(path), "[Settings]\rx=1\rz=3\r[Other]\ry=2\r");
  ASSERT_TRUE(engine.EraseSection(path, "Settings"));
  EXPECT_EQ(Content(path), "[Other]\ry=2\r");

  // A stray CR before a header is a blank line, not part of the section above.
  path = Make("[List]\n0=a\n\r[MyNotes]\nimportant=keep me\n");
  ASSERT_TRUE(engine.EraseSection(path, "List"));
  EXPECT_EQ(engine.Read(path, "MyNotes", "important", ""), "keep me");

  // "[" without "]" is no header: the keys below stay in the section above.
  path = Make("[Paths]\n[Paths2\nC1=/opt/ConsoleOne/1.2\n[Next] tail\nk=v\n[a]b]\nq=1\n");
  EXPECT_EQ(engine.Read(path, "Paths", "C1", ""), "/opt/ConsoleOne/1.2");
  EXPECT_EQ(engine.Read(path, "Next", "k", ""), "v");   // text after "]" ignored
  EXPECT_EQ(engine.Read(path, "a]b", "q", ""), "1");    // the name runs to the last "]"

  // ";" starts a key like any other character: read by name, replaced in
  // place, left out of listings.
  path = Make("[S]\n;k=v\nk2=w\n");
  EXPECT_EQ(engine.Read(path, "S", ";k", ""), "v");
  ASSERT_TRUE(engine.Write(path, "S", ";k", "new"));
  EXPECT_EQ(Content(path), "[S]\n;k=new\nk2=w\n");
  EXPECT_EQ(engine.ListKeys(path, "S"), std::vector<std::string>{"k2"});

  // An empty name and text above the first header answer reads by name.
  path = Make("top=1\n[S]\n=v\nk=w\n");
  EXPECT_EQ(engine.Read(path, "S", "", "d"), "v");
  EXPECT_EQ(engine.Read(path, "", "top", "d"), "1");
  EXPECT_EQ(engine.ListKeys(path, "S"), std::vector<std::string>{"k"});
  ASSERT_TRUE(engine.EraseSection(path, ""));  // nothing above the first header has a name to erase
  EXPECT_EQ(Content(path), "top=1\n[S]\n=v\nk=w\n");
}

TEST_F(ProfileEngineTest, NewFileAndLineBreaksInValues) {
  std::string path = dir.Join("new.ini");
  ASSERT_TRUE(engine.Write(path, "S", "k", "line1\r\n[Evil]\r\nx=y"));
#ifdef _WIN32
  EXPECT_EQ(Content(path), "[S]\r\nk=line1\r\n");
#else
  EXPECT_EQ(Content(path), "[S]\nk=line1\n");
#endif
  EXPECT_TRUE(engine.ListKeys(path, "Evil").empty());
  // A missing folder is refused and nothing appears.
  EXPECT_FALSE(engine.Write(dir.Join("nofolder/x.ini"), "S", "k", "v"));
  EXPECT_FALSE(TempDir::Exists(dir.Join("nofolder")));
  // Erasing in a missing file is nothing to do.
  EXPECT_TRUE(engine.EraseSection(dir.Join("other.ini"), "S"));
  EXPECT_FALSE(TempDir::Exists(dir.Join("other.ini")));
}

TEST_F(ProfileEngineTest, ReadOnlyFileRefusesAndStaysUnchanged) {
  std::string path = Make("[A]\nk=v\n");
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_FALSE(engine.Write(path, "A", "k", "w"));
  EXPECT_FALSE(engine.EraseSection(path, "A"));
  EXPECT_EQ(Content(path), "[A]\nk=v\n");
  EXPECT_EQ(engine.Read(path, "A", "k", ""), "v");
}

TEST_F(ProfileEngineTest, BinaryFileIsReadSafelyAndKeptOnWrite) {
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 37) & 0xFF);
  std::string data = binary + "\n[A]\nk=a" + std::string(1, '\0') + "b\n";
  std::string path = Make(data);
  EXPECT_EQ(engine.Read(path, "A", "k", ""), "a");  // cut at the zero byte
  ASSERT_TRUE(engine.Write(path, "A", "n", "1"));
  std::string now = Content(path);
  EXPECT_EQ(now.substr(0, binary.size()), binary);
  EXPECT_EQ(engine.Read(path, "A", "n", ""), "1");
}

TEST_F(ProfileEngineTest, SeesChangesMadeByOthersButParsesAnUnchangedFileOnce) {
  std::string path = Make("[A]\nk=1\n");
  EXPECT_EQ(engine.Read(path, "A", "k", ""), "1");
  auto parses = engine.ParseCount();
  for (int i = 0; i < 100; ++i) engine.Read(path, "A", "k", "");
  EXPECT_EQ(engine.ParseCount(), parses);
  TempDir::WriteFile(path, "[A]\nk=22\n");  // another size
  EXPECT_EQ(engine.Read(path, "A", "k", ""), "22");
  // Replaced by a new file of the same size: a new inode or time shows it.
  std::string other = dir.MakeFile("t.ini", "[A]\nk=33\n");
  fs::rename(other, path);
  EXPECT_EQ(engine.Read(path, "A", "k", ""), "33");
  fs::remove(path);
  EXPECT_EQ(engine.Read(path, "A", "k", "gone"), "gone");
}

TEST_F(ProfileEngineTest, WriteLeavesNoTemporaryFiles) {
  std::string path = Make("[A]\nk=1\n");
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(engine.Write(path, "A", "k" + std::to_string(i), "v"));
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir.Path())) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

// What a writer killed between creating and renaming its temporary file
// leaves where the file must have a name: the next write removes a dead
// process's, never a running one's.
TEST_F(ProfileEngineTest, LeftoversOfDeadWritersAreRemoved) {
  std::string path = Make("[A]\nk=1\n");
  const long noSuchProcess = 0x3FFFFFFC;  // above every process number in use
  dir.MakeFile(profile::TemporaryFileName("s.ini", noSuchProcess), "[A]\nk=partial");
#ifdef _WIN32
  const long running = static_cast<long>(GetCurrentProcessId());
#else
  const long running = static_cast<long>(::getpid());
#endif
  const std::string live = profile::TemporaryFileName("s.ini", running);
  dir.MakeFile(live, "[A]\nk=in progress");
  dir.MakeFile(".s.ini.tmp.other", "not ours");
  ASSERT_TRUE(engine.Write(path, "A", "k", "2"));
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.Path())) names.push_back(e.path().filename().string());
  std::vector<std::string> expected = {".s.ini.tmp.other", live, "s.ini"};
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

}  // namespace
