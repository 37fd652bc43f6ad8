#include "QuillanFixture.h"

#include <filesystem>

#include "lib/D_Ini.h"
#include "lib/D_Util.h"

using platform::RegistryRoot;

QuillanTest::QuillanTest() {
  scoped = std::make_unique<quillan_test::ScopedPlatform>(os);
  os.UseOnlyFakeRegistry(true);
  os.SetRegistryString(RegistryRoot::CurrentUser,
                       "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                       "AppData", tmp.MakeFolder("appdata"));
  os.SetRegistryString(RegistryRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                       "ProgramFilesDir", tmp.MakeFolder("programs"));
  os.SetExecutablePath(tmp.MakeFolder("exe") + Sep() + "Quillan.exe");
  os.SetTopLevelWindows({});
  os.RecordShellExecute();
}

QuillanTest::~QuillanTest() {
  form.reset();
  Form1 = nullptr;
}

std::string QuillanTest::MakeInstallation(const std::string& relative, const Install& layout) {
  return quillan_test::MakeInstallation(tmp.Join(relative), layout);
}

bool QuillanTest::Exists(const std::string& relative) const {
  return quillan_test::TempDir::Exists(tmp.Join(relative));
}

std::string QuillanTest::MachineIniPath() const { return tmp.Join("exe/Quillan.ini"); }
std::string QuillanTest::UserIniPath() const { return tmp.Join("appdata/Quillan.ini"); }

void QuillanTest::WriteMachineIni(const std::string& content) const {
  quillan_test::TempDir::WriteFile(MachineIniPath(), content);
}

void QuillanTest::WriteUserIni(const std::string& content) const {
  quillan_test::TempDir::WriteFile(UserIniPath(), content);
}

std::string QuillanTest::UserValue(const std::string& section, const std::string& key) const {
  return D_Ini::TIniFile(UserIniPath()).ReadValue(section, key, "<absent>");
}

TForm1& QuillanTest::Start() {
  form = std::make_unique<TForm1>();
  f = form.get();
  Form1 = f;
  app.SetMainForm(f);
  app.Run();
  return *f;
}

void QuillanTest::CloseWindow() { user.CloseWindow(*f); }

std::vector<std::string> QuillanTest::Items() const {
  std::vector<std::string> out;
  for (int i = 0; i < f->CheckListBoxSnapins->Count(); ++i) out.push_back(f->CheckListBoxSnapins->ItemText(i));
  return out;
}

std::vector<bool> QuillanTest::CheckedStates() const {
  std::vector<bool> out;
  for (int i = 0; i < f->CheckListBoxSnapins->Count(); ++i) out.push_back(f->CheckListBoxSnapins->Checked(i));
  return out;
}

std::vector<bool> QuillanTest::EnabledStates() const {
  std::vector<bool> out;
  for (int i = 0; i < f->CheckListBoxSnapins->Count(); ++i) {
    out.push_back(f->CheckListBoxSnapins->ItemEnabled(i));
  }
  return out;
}

std::vector<std::string> QuillanTest::History() const { return f->ComboBoxPath->Items(); }
