// The Win32 platform against the real system (under Wine in CI): the
// promises of the platform interface that callers build on.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "support/TempDir.h"

#include "platform/win32/WinApi.h"

namespace {

using platform::FindEntry;
using platform::RegistryRoot;
using platform::RegistryValue;
using quillan_test::TempDir;

platform::Platform& Os() { return platform::NativePlatform(); }

std::vector<std::string> Names(const std::string& mask, std::uint32_t attributes) {
  std::vector<std::string> names;
  Os().ListFolder(mask, attributes, [&](const FindEntry& e) {
    names.push_back(e.name);
    return true;
  });
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Win32Platform, FileAndFolderTests) {
  TempDir dir;
  const std::string file = dir.MakeFile("a.txt", "x");
  const std::string folder = dir.MakeFolder("sub");
  EXPECT_TRUE(Os().FileExists(file));
  EXPECT_FALSE(Os().FileExists(folder));  // a folder is no file
  EXPECT_FALSE(Os().FileExists(dir.Join("missing.txt")));
  EXPECT_FALSE(Os().FileExists(dir.Join("*.txt")));  // a mask is no file name
  EXPECT_FALSE(Os().FileExists(""));

  EXPECT_TRUE(Os().DirectoryExists(folder));
  EXPECT_TRUE(Os().DirectoryExists(folder + "\\"));
  EXPECT_FALSE(Os().DirectoryExists(file));
  EXPECT_FALSE(Os().DirectoryExists(dir.Join("missing")));
}

TEST(Win32Platform, CreateDirectoryMakesOneLevel) {
  TempDir dir;
  EXPECT_TRUE(Os().CreateDirectory(dir.Join("one")));
  EXPECT_TRUE(Os().DirectoryExists(dir.Join("one")));
  EXPECT_FALSE(Os().CreateDirectory(dir.Join("one")));  // exists already
  EXPECT_FALSE(Os().CreateDirectory(dir.Join("two\\three")));
  EXPECT_FALSE(Os().DirectoryExists(dir.Join("two")));
}

TEST(Win32Platform, MoveFolderNeverReplaces) {
  TempDir dir;
  dir.MakeFile("src/inside.txt", "keep");
  EXPECT_TRUE(Os().MoveFolder(dir.Join("src"), dir.Join("dst")));
  EXPECT_EQ(TempDir::ReadFile(dir.Join("dst/inside.txt")), "keep");
  EXPECT_FALSE(Os().DirectoryExists(dir.Join("src")));

  // An existing target, even an empty folder, refuses the move; both stay.
  dir.MakeFile("again/file.txt", "mine");
  dir.MakeFolder("empty");
  EXPECT_FALSE(Os().MoveFolder(dir.Join("again"), dir.Join("empty")));
  EXPECT_EQ(TempDir::ReadFile(dir.Join("again/file.txt")), "mine");
  EXPECT_TRUE(Os().DirectoryExists(dir.Join("empty")));
  EXPECT_FALSE(TempDir::Exists(dir.Join("empty/file.txt")));
  EXPECT_FALSE(Os().MoveFolder(dir.Join("again"), dir.Join("dst")));
  EXPECT_EQ(TempDir::ReadFile(dir.Join("dst/inside.txt")), "keep");
  EXPECT_FALSE(Os().MoveFolder(dir.Join("missing"), dir.Join("other")));
}

// The installation lock is the folder's, not a spelling's: held through one
// path, every other path to the folder meets it (another case, the short
// name, the \\?\ form, a subst drive, Wine's Z: drive for the Unix path).
// Reading creates nothing; a folder at the name is refused; a file with
// content at the name is used and left as it was.
TEST(Win32Platform, TheLockIsTheFoldersWhateverPathReachesIt) {
  using platform::LockMode;
  using Kind = platform::FolderLock::Kind;
  TempDir dir;
  const std::string base = dir.MakeFolder("Novell Console");
  const auto go = [](int) { return true; };
  const auto lock = [&](const std::string& path, LockMode mode) {
    return Os().LockFolder(path, mode, std::chrono::milliseconds(0), go);
  };
  EXPECT_EQ(lock(base, LockMode::Read).kind, Kind::Free);
  EXPECT_FALSE(TempDir::Exists(base + "\\.quillan.lock"));

  std::vector<std::string> spellings;
  std::string upper = base;
  CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
  spellings.push_back(upper);
  char shortPath[MAX_PATH] = {};
  if (GetShortPathNameA(base.c_str(), shortPath, MAX_PATH) > 0) spellings.push_back(shortPath);
  spellings.push_back("\\\\?\\" + base);
  // A subst drive, where the system makes one (Wine may not).
  if (DefineDosDeviceA(0, "Q:", base.c_str()) && Os().DirectoryExists("Q:\\")) spellings.push_back("Q:\\");
  // Under Wine: the same folder through Z:, the Unix root.
  using UnixName = char*(CDECL*)(LPCWSTR);
  const auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
  if (unixName) {
    std::wstring wide(base.begin(), base.end());
    if (char* name = unixName(wide.c_str())) {
      std::string z = std::string("Z:") + name;
      std::replace(z.begin(), z.end(), '/', '\\');
      spellings.push_back(z);
      HeapFree(GetProcessHeap(), 0, name);
    }
  }
  const platform::FolderLock held = lock(base, LockMode::Switch);
  ASSERT_EQ(held.kind, Kind::Held);
  ASSERT_GE(spellings.size(), unixName ? 4u : 3u);
  for (const std::string& other : spellings) {
    SCOPED_TRACE(other);
    ASSERT_TRUE(Os().DirectoryExists(other));
    const platform::FolderLock second = lock(other, LockMode::Switch);
    EXPECT_EQ(second.kind, Kind::Busy);
    EXPECT_EQ(second.error, "held by another run");
    EXPECT_EQ(lock(other, LockMode::Read).kind, Kind::Busy);
  }
  Os().UnlockFolder(held.handle);
  for (const std::string& other : spellings) {
    const platform::FolderLock again = lock(other, LockMode::Switch);
    EXPECT_EQ(again.kind, Kind::Held) << other;
    Os().UnlockFolder(again.handle);
  }
  // Readers hold it together; a switch waits for them.
  const platform::FolderLock reader = lock(base, LockMode::Read);
  const platform::FolderLock another = lock(spellings.back(), LockMode::Read);
  EXPECT_EQ(reader.kind, Kind::Held);
  EXPECT_EQ(another.kind, Kind::Held);
  EXPECT_EQ(lock(base, LockMode::Switch).kind, Kind::Busy);
  Os().UnlockFolder(reader.handle);
  Os().UnlockFolder(another.handle);
  DefineDosDeviceA(DDD_REMOVE_DEFINITION, "Q:", nullptr);
  EXPECT_EQ(TempDir::ReadFile(base + "\\.quillan.lock"), "");  // kept, empty

  const std::string other = dir.MakeFolder("other");
  TempDir::WriteFile(other + "\\.quillan.lock", "their notes");
  const platform::FolderLock theirs = lock(other, LockMode::Switch);
  EXPECT_EQ(theirs.kind, Kind::Held);
  Os().UnlockFolder(theirs.handle);
  EXPECT_EQ(TempDir::ReadFile(other + "\\.quillan.lock"), "their notes");
  const std::string planted = dir.MakeFolder("planted");
  dir.MakeFolder("planted/.quillan.lock");
  for (const LockMode mode : {LockMode::Switch, LockMode::Read}) {
    const platform::FolderLock refused = lock(planted, mode);
    EXPECT_EQ(refused.kind, Kind::Failed);
    EXPECT_EQ(refused.error, "not a plain file");
  }
}

// A section rewritten in a batch reaches the file in one replacement, which
// kernel32 then reads; an abandoned or refused batch leaves the file alone.
TEST(Win32Platform, ProfileBatchReplacesTheFileOnce) {
  TempDir dir;
  const std::string path = dir.MakeFile("s.ini", "[List]\r\n0=old\r\n[Keep]\r\nk=v\r\n");
  EXPECT_EQ(Os().ProfileRead(path, "List", "0", "?"), "old");  // kernel32 has seen the file
  Os().ProfileBeginBatch(path);
  Os().ProfileBeginBatch(path);
  ASSERT_TRUE(Os().ProfileEraseSection(path, "List"));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Os().ProfileWrite(path, "List", std::to_string(i), "new"));
  EXPECT_EQ(Os().ProfileRead(path, "List", "2", "?"), "new");
  EXPECT_EQ(Os().ProfileListKeys(path, "List"), (std::vector<std::string>{"0", "1", "2"}));
  EXPECT_TRUE(Os().ProfileEndBatch(path, true));
  EXPECT_EQ(TempDir::ReadFile(path), "[List]\r\n0=old\r\n[Keep]\r\nk=v\r\n");
  EXPECT_TRUE(Os().ProfileEndBatch(path, true));
  EXPECT_EQ(Os().ProfileListKeys(path, "List"), (std::vector<std::string>{"0", "1", "2"}));
  EXPECT_EQ(Os().ProfileRead(path, "List", "0", "?"), "new");
  EXPECT_EQ(Os().ProfileRead(path, "Keep", "k", "?"), "v");

  const std::string written = TempDir::ReadFile(path);
  Os().ProfileBeginBatch(path);
  ASSERT_TRUE(Os().ProfileEraseSection(path, "Keep"));
  EXPECT_TRUE(Os().ProfileEndBatch(path, false));
  EXPECT_EQ(TempDir::ReadFile(path), written);
  EXPECT_EQ(Os().ProfileRead(path, "Keep", "k", "?"), "v");
  // Outside a batch writes go to the file at once again.
  ASSERT_TRUE(Os().ProfileWrite(path, "Keep", "k", "w"));
  EXPECT_NE(TempDir::ReadFile(path), written);

  // A read-only file refuses the first change of a batch and stays as it is.
  const std::string before = TempDir::ReadFile(path);
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  Os().ProfileBeginBatch(path);
  EXPECT_FALSE(Os().ProfileWrite(path, "Keep", "k", "x"));
  EXPECT_TRUE(Os().ProfileEndBatch(path, true));
  EXPECT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(TempDir::ReadFile(path), before);
}

TEST(Win32Platform, ListFolderFiltersByAttributes) {
  TempDir dir;
  dir.MakeFile("plain.txt", "12345");
  const std::string hidden = dir.MakeFile("hidden.txt");
  dir.MakeFolder("folder");
  ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
  const std::string mask = dir.Join("*.*");

  EXPECT_EQ(Names(mask, 0), std::vector<std::string>{"plain.txt"});
  EXPECT_EQ(Names(mask, platform::faHidden), (std::vector<std::string>{"hidden.txt", "plain.txt"}));
  const auto withFolders = Names(mask, platform::faDirectory);
  EXPECT_NE(std::find(withFolders.begin(), withFolders.end(), "folder"), withFolders.end());
  EXPECT_EQ(std::find(withFolders.begin(), withFolders.end(), "hidden.txt"), withFolders.end());

  FindEntry plain;
  Os().ListFolder(dir.Join("plain.txt"), 0, [&](const FindEntry& e) {
    plain = e;
    return true;
  });
  EXPECT_EQ(plain.size, 5);
  EXPECT_NE(plain.dosDateTime, 0u);
  EXPECT_EQ(plain.attributes & platform::faDirectory, 0u);

  int seen = 0;
  EXPECT_TRUE(Os().ListFolder(mask, platform::faHidden | platform::faDirectory, [&](const FindEntry&) {
    ++seen;
    return false;  // stop at the first
  }));
  EXPECT_EQ(seen, 1);
  EXPECT_FALSE(Os().ListFolder(dir.Join("missing\\*.*"), 0, [](const FindEntry&) { return true; }));
}

TEST(Win32Platform, PathsOfTheProcess) {
  TempDir dir;
  const std::string folder = dir.MakeFolder("A long folder name");
  const std::string shortForm = Os().ShortPath(folder);
  EXPECT_FALSE(shortForm.empty());
  EXPECT_TRUE(Os().DirectoryExists(shortForm));
  EXPECT_EQ(Os().ShortPath(dir.Join("missing")), "");

  const std::string exe = Os().ExecutablePath();
  ASSERT_GT(exe.size(), 4u);
  EXPECT_EQ(exe.substr(exe.size() - 4), ".exe");
  EXPECT_TRUE(Os().FileExists(exe));
}

TEST(Win32Platform, EnvironmentVariables) {
  ASSERT_TRUE(SetEnvironmentVariableA("QUILLAN_TEST_VAR", "some value"));
  EXPECT_EQ(Os().GetEnvironmentVariable("QUILLAN_TEST_VAR"), "some value");
  EXPECT_EQ(Os().GetEnvironmentVariable("quillan_test_var"), "some value");  // names ignore case
  ASSERT_TRUE(SetEnvironmentVariableA("QUILLAN_TEST_VAR", nullptr));
  EXPECT_EQ(Os().GetEnvironmentVariable("QUILLAN_TEST_VAR"), std::nullopt);
  const std::string longValue(5000, 'v');
  ASSERT_TRUE(SetEnvironmentVariableA("QUILLAN_TEST_LONG", longValue.c_str()));
  EXPECT_EQ(Os().GetEnvironmentVariable("QUILLAN_TEST_LONG"), longValue);
}

class Win32Registry : public ::testing::Test {
 protected:
  static constexpr const char* kKey = "Software\\QuillanTest";
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
  }
  void Set(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }
  HKEY key_ = nullptr;
};

TEST_F(Win32Registry, StringsAreReadAsStored) {
  Set("Plain", REG_SZ, "C:\\Program Files", 17);
  Set("Expand", REG_EXPAND_SZ, "%SystemRoot%\\x", 15);
  const char cut[] = "before\0after";
  Set("Cut", REG_SZ, cut, sizeof cut);
  const DWORD number = 7;
  Set("Number", REG_DWORD, &number, sizeof number);

  RegistryValue v = Os().ReadRegistryValue(RegistryRoot::CurrentUser, kKey, "Plain");
  EXPECT_EQ(v.kind, RegistryValue::Kind::String);
  EXPECT_EQ(v.text, "C:\\Program Files");
  v = Os().ReadRegistryValue(RegistryRoot::CurrentUser, kKey, "Expand");
  EXPECT_EQ(v.kind, RegistryValue::Kind::String);
  EXPECT_EQ(v.text, "%SystemRoot%\\x");  // not expanded
  EXPECT_EQ(Os().ReadRegistryValue(RegistryRoot::CurrentUser, kKey, "Cut").text, "before");
  EXPECT_EQ(Os().ReadRegistryValue(RegistryRoot::CurrentUser, kKey, "Number").kind,
            RegistryValue::Kind::OtherType);
  EXPECT_EQ(Os().ReadRegistryValue(RegistryRoot::CurrentUser, kKey, "Missing").kind, RegistryValue::Kind::Missing);
  EXPECT_EQ(Os().ReadRegistryValue(RegistryRoot::CurrentUser, "Software\\QuillanNoSuchKey", "x").kind,
            RegistryValue::Kind::Missing);
}

// The machine-wide key is opened for reading only, so an account without
// administrator rights reads it too.
TEST(Win32Platform, ProgramFilesDirIsReadable) {
  const RegistryValue v = Os().ReadRegistryValue(RegistryRoot::LocalMachine,
                                                 "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
  EXPECT_EQ(v.kind, RegistryValue::Kind::String);
  EXPECT_FALSE(v.text.empty());
}

TEST(Win32Platform, NamedMutexSeesASecondCreation) {
  const std::string name = "QuillanTestMutex" + std::to_string(GetCurrentProcessId());
  EXPECT_FALSE(Os().CreateNamedMutex(name));
  EXPECT_TRUE(Os().CreateNamedMutex(name));
}

TEST(Win32Platform, TopLevelWindowsAndFindWindow) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = DefWindowProcA;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = "QuillanTestClass";
  RegisterClassA(&cls);
  const std::string longTitle = "Novell ConsoleOne " + std::string(300, 'x');
  HWND first = CreateWindowExA(0, "QuillanTestClass", "Same title", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               cls.hInstance, nullptr);
  HWND second = CreateWindowExA(0, "QuillanTestClass", "Same title", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                cls.hInstance, nullptr);
  HWND titled = CreateWindowExA(0, "QuillanTestClass", longTitle.c_str(), WS_POPUP, 0, 0, 10, 10, nullptr,
                                nullptr, cls.hInstance, nullptr);
  ASSERT_TRUE(first != nullptr && second != nullptr && titled != nullptr);

  bool foundLong = false;
  for (const auto& w : Os().TopLevelWindows()) {
    if (w.handle == reinterpret_cast<platform::WindowHandle>(titled)) foundLong = w.title == longTitle;
  }
  EXPECT_TRUE(foundLong) << "hidden windows count, with their full titles";

  const auto a = Os().FindWindowEx("QuillanTestClass", "Same title", 0);
  ASSERT_NE(a, 0u);
  const auto b = Os().FindWindowEx("QuillanTestClass", "Same title", a);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(Os().FindWindowEx("QuillanTestClass", "Same title", b), 0u);
  EXPECT_EQ(Os().FindWindowEx("QuillanTestClass", "Other title", 0), 0u);

  DestroyWindow(first);
  DestroyWindow(second);
  DestroyWindow(titled);
}

}  // namespace
