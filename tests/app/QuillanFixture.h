// One fixture per test builds temporary installations, settings files and the
// real main window on the in-memory toolkit, and acts as the user.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "lib/D_Util.h"
#include "support/Installation.h"
#include "support/PlatformDouble.h"
#include "support/TempDir.h"
#include "toolkits/memory/MemoryApplication.h"
#include "toolkits/memory/MemoryUser.h"

class QuillanTest : public ::testing::Test {
 protected:
  QuillanTest();
  ~QuillanTest() override;

  static std::string Sep() { return std::string(1, D_Util::NativeSeparator()); }
  // Temp root + relative path ("/" turned native).
  std::string PathOf(const std::string& relative) const { return tmp.Join(relative); }

  using Install = quillan_test::Layout;
  // The launcher the window reports missing: the native name.
  static std::string NativeName(const std::string& stem) {
#ifdef _WIN32
    return stem + ".exe";
#else
    return stem;
#endif
  }
  // Builds a ConsoleOne installation under the temp root; every snap-in gets
  // its snap-in folder only (add lib/resources folders with MakeFolder).
  std::string MakeInstallation(const std::string& relative, const Install& layout);
  void MakeFolder(const std::string& relative) const { tmp.MakeFolder(relative); }
  bool Exists(const std::string& relative) const;

  // Settings-file text: each line ends in CR LF, as Windows writes it.
  static std::string IniLines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\r\n";
    return out;
  }
  std::string MachineIniPath() const;
  std::string UserIniPath() const;
  void WriteMachineIni(const std::string& content) const;
  void WriteUserIni(const std::string& content) const;
  std::string UserValue(const std::string& section, const std::string& key) const;

  // Creates Form1 as the application's main form and shows it.
  TForm1& Start();
  // The user closes the window.
  void CloseWindow();

  std::vector<std::string> Items() const;
  std::vector<bool> CheckedStates() const;
  std::vector<bool> EnabledStates() const;
  std::vector<std::string> History() const;

  ui::memory::MemoryApplication app;
  ui::memory::MemoryUser user{app};
  quillan_test::TempDir tmp;
  quillan_test::PlatformDouble os;
  std::unique_ptr<quillan_test::ScopedPlatform> scoped;
  std::unique_ptr<TForm1> form;
  TForm1* f = nullptr;
};
