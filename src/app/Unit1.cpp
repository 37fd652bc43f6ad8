#include "app/Unit1.h"

#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

#include "core/Installation.h"
#include "core/InstallationLock.h"
#include "lib/D_IniControls.h"
#include "lib/D_Util.h"
#include "lib/D_Win.h"
#include "lib/Errors.h"
#include "platform/Platform.h"

using namespace ui;

TForm1* Form1 = nullptr;

namespace {

const char* const kInfoPrefix = "   ";
const char* const kSettingsSection = "Settings";
const char* const kDescriptionSection = "Snapin Description";
const char* const kWebAddress = "https://quillan.example.org";

#ifdef _WIN32
const char* const kPathHint =
    "Enter the ConsoleOne base path (e.g., \"C:\\Novell\\ConsoleOne\\1.3\") - double-click for file dialog";
#else
// The same hint with a path of this system.
const char* const kPathHint =
    "Enter the ConsoleOne base path (e.g., \"/opt/novell/consoleone/1.3\") - double-click for file dialog";
#endif

enum class Kind { Panel, ComboBox, Label, CheckBox, BitBtn, CheckListBox, StatusBar };

constexpr TAnchors kLeftTop = akLeft | akTop;
constexpr TAnchors kLeftTopRight = akLeft | akTop | akRight;
constexpr TAnchors kTopRight = akTop | akRight;
constexpr TAnchors kAll = akLeft | akTop | akRight | akBottom;

// The window as data, in creation order (parents first).
struct ControlDecl {
  const char* name;
  Kind kind;
  const char* parent;  // nullptr: the form
  int left, top, width, height;
  TAlign align;
  TAnchors anchors;
  const char* text;
  const char* hint;
  int tabOrder;  // -1: no tab stop
};

const ControlDecl kLayout[] = {
    {"PanelTop", Kind::Panel, nullptr, 0, 0, 368, 113, TAlign::alTop, kLeftTop, "", "", 0},
    {"ComboBoxPath", Kind::ComboBox, "PanelTop", 10, 9, 351, 24, TAlign::alNone, kLeftTopRight, "",
     kPathHint, 0},
    // As wide as the path box allows: the check names long paths.
    {"Label1", Kind::Label, "PanelTop", 172, 39, 189, 16, TAlign::alNone, kLeftTopRight,
     "_________", "", -1},
    {"CheckBoxKeepOpen", Kind::CheckBox, "PanelTop", 14, 39, 148, 21, TAlign::alNone, kLeftTop,
     "Keep Quillan Open", "Keep this application open after launching C1?", 1},
    {"BitBtnRC", Kind::BitBtn, "PanelTop", 231, 70, 122, 40, TAlign::alNone, kTopRight,
     "&Start RConJ", "Launch RConJ", 2},
    {"BitBtnC1", Kind::BitBtn, "PanelTop", 10, 70, 210, 40, TAlign::alNone, kLeftTopRight,
     "&Start ConsoleOne", "Launch ConsoleOne", 3},
    {"PanelInfo", Kind::Panel, nullptr, 0, 113, 368, 28, TAlign::alTop, kLeftTop, "", "", 1},
    {"PanelBottom", Kind::Panel, nullptr, 0, 141, 368, 251, TAlign::alClient, kLeftTop, "", "", 2},
    {"CheckListBoxSnapins", Kind::CheckListBox, "PanelBottom", 12, 8, 345, 233, TAlign::alNone, kAll,
     "", "List of installed Snapins - check/uncheck from the list", 0},
    {"StatusBar1", Kind::StatusBar, nullptr, 0, 392, 368, 19, TAlign::alBottom, kLeftTop,
     kWebAddress, "", -1},
};

// The fixed bands (top panel, information line, status bar), the list's
// margins in its panel, and six of its rows (a horizontal scroll bar may
// take one or two of them).
constexpr int kMinClientHeight = 113 + 28 + 19 + 8 + 10 + 6 * 16;

TControl* MakeControl(Kind kind, TWinControl* parent) {
  switch (kind) {
    case Kind::Panel: return new TPanel(parent);
    case Kind::ComboBox: return new TComboBox(parent);
    case Kind::Label: return new TLabel(parent);
    case Kind::CheckBox: return new TCheckBox(parent);
    case Kind::BitBtn: return new TBitBtn(parent);
    case Kind::CheckListBox: return new TCheckListBox(parent);
    case Kind::StatusBar: return new TStatusBar(parent);
  }
  throw std::logic_error("unknown control kind");
}

template <class T>
T* Find(const std::map<std::string, TControl*>& byName, const std::string& name) {
  auto it = byName.find(name);
  T* control = it == byName.end() ? nullptr : dynamic_cast<T*>(it->second);
  if (!control) throw std::logic_error("layout lacks " + name);
  return control;
}

std::string Sep() { return std::string(1, D_Util::NativeSeparator()); }

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/' || c == ':';
#else
  return c == '/';
#endif
}

std::string FileNameOf(const std::string& path) {
  std::size_t cut = path.size();
  while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
  return path.substr(cut);
}

// A failure of one step is swallowed so that the next step runs: the user
// sees its effect (a button left disabled, an entry not moved), not an error.
template <class Step>
void GuardStep(Step&& step) {
  try {
    step();
  } catch (...) {
  }
}

// What the check's failure texts add: what a valid folder holds.
std::string ValidFolderHint() { return "expected a folder with " + core::ConsoleOneLauncher(); }

const char* const kConsoleOneLocks = "ConsoleOne is running: snap-ins cannot be switched until it is closed";
const char* const kConsoleOneGone = "ConsoleOne was closed: snap-ins can be switched again";

// How long a switch waits for another run (quillanctl) on the installation
// before it gives up and says so.
constexpr std::chrono::milliseconds kLockWait{2000};

// Restores the default cursor however the guarded code ends.
class BusyCursor {
 public:
  BusyCursor() { D_Util::SetBusyCursor(); }
  ~BusyCursor() { D_Util::RestoreDefaultCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

TForm1::TForm1() {
  SetName("Form1");
  BuildLayout();
  Realize();
  if (OnCreate) OnCreate(this);
}

TForm1::~TForm1() {
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::BuildLayout() {
  SetCaption("Quillan");
  SetFont("MS Sans Serif", 14);
  SetPosition(TPosition::poDesigned);
  SetBounds(369, 332, 376, 453);
  DisableAlign();

  std::map<std::string, TControl*> byName;
  for (const ControlDecl& d : kLayout) {
    TWinControl* parent = d.parent ? Find<TWinControl>(byName, d.parent) : this;
    TControl* c = MakeControl(d.kind, parent);
    c->SetName(d.name);
    c->SetBounds(d.left, d.top, d.width, d.height);
    c->SetAnchors(d.anchors);
    if (d.align != TAlign::alNone) c->SetAlign(d.align);
    c->SetText(d.text);
    c->SetHint(d.hint);
    c->SetTabOrder(d.tabOrder);
    byName[d.name] = c;
  }
  EnableAlign();
  // The smallest window with every control whole: the designed width (the
  // captions and the label need it) and a list that still shows entries.
  SetMinClientSize(kLayout[0].width, kMinClientHeight);

  PanelTop = Find<TPanel>(byName, "PanelTop");
  ComboBoxPath = Find<TComboBox>(byName, "ComboBoxPath");
  Label1 = Find<TLabel>(byName, "Label1");
  CheckBoxKeepOpen = Find<TCheckBox>(byName, "CheckBoxKeepOpen");
  BitBtnRC = Find<TBitBtn>(byName, "BitBtnRC");
  BitBtnC1 = Find<TBitBtn>(byName, "BitBtnC1");
  PanelInfo = Find<TPanel>(byName, "PanelInfo");
  PanelBottom = Find<TPanel>(byName, "PanelBottom");
  CheckListBoxSnapins = Find<TCheckListBox>(byName, "CheckListBoxSnapins");
  StatusBar1 = Find<TStatusBar>(byName, "StatusBar1");

  PanelTop->SetBevel(false);
  PanelInfo->SetBevel(false);
  PanelInfo->SetAlignment(TAlignment::taLeftJustify);
  PanelInfo->SetStatusLine(true);
  PanelBottom->SetBevel(false);
  ComboBoxPath->SetStyle(TComboBoxStyle::csDropDown);
  ComboBoxPath->SetItemHeight(16);
  BitBtnRC->SetEnabled(false);
  BitBtnC1->SetEnabled(false);
  CheckListBoxSnapins->SetColumns(2);
  CheckListBoxSnapins->SetSorted(true);
  CheckListBoxSnapins->SetItemHeight(16);
  StatusBar1->SetSimplePanel(true);
  StatusBar1->SetCursor(TCursor::crHandPoint);

  PopupMenu1 = AddComponent<TPopupMenu>();
  PopupMenu1->SetName("PopupMenu1");
  CheckAll1 = AddComponent<TMenuItem>();
  CheckAll1->SetName("CheckAll1");
  CheckAll1->SetCaption("&Check All");
  UncheckAll1 = AddComponent<TMenuItem>();
  UncheckAll1->SetName("UncheckAll1");
  UncheckAll1->SetCaption("&Uncheck All");
  PopupMenu1->Add(CheckAll1);
  PopupMenu1->Add(UncheckAll1);
  CheckListBoxSnapins->SetPopupMenu(PopupMenu1);

  OpenDialog = AddComponent<TOpenDialog>();
  OpenDialog->SetName("OpenDialog");
  OpenDialog->FileName = "ConsoleOne";
  OpenDialog->DefaultExt = "exe";
#ifdef _WIN32
  OpenDialog->Filter = "ConsoleOne|consoleone.exe|All Files|*.*";
#else
  // File names are case-sensitive here; the Linux launcher has no extension.
  OpenDialog->Filter = "ConsoleOne|ConsoleOne;ConsoleOne.exe;consoleone.exe|All Files|*.*";
#endif

  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
  auto overControl = [this](TObject* s, TShiftState sh, int x, int y) {
    MouseMoveOverControl(s, sh, x, y);
  };
  OnMouseMove = overControl;
  CheckBoxKeepOpen->OnMouseMove = overControl;
  BitBtnRC->OnMouseMove = overControl;
  BitBtnC1->OnMouseMove = overControl;
  ComboBoxPath->OnChange = [this](TObject* s) { VerifyPath(s); };
  ComboBoxPath->OnDblClick = [this](TObject* s) { ComboBoxPathDblClick(s); };
  BitBtnC1->OnClick = [this](TObject* s) { BitBtnC1Click(s); };
  BitBtnRC->OnClick = [this](TObject* s) { BitBtnRCClick(s); };
  CheckListBoxSnapins->OnClick = [this](TObject* s) { CheckListBoxSnapinsClick(s); };
  CheckListBoxSnapins->OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) {
    CheckListBoxSnapinsMouseMove(s, sh, x, y);
  };
  // An entry's tool tip is its description, as the information line shows it.
  CheckListBoxSnapins->OnItemHint = [this](int index) {
    return Description(CheckListBoxSnapins->ItemText(index), "");
  };
  // A click, space or a screen reader's toggle on a locked entry is told why.
  CheckListBoxSnapins->OnItemRefused = [this](int index) {
    // Locked for a console that has since closed: unlock (and say so) instead.
    if (consoleOneRunning_ && FollowConsoleOne()) {
      SayConsoleOneState();
      return;
    }
    const std::string why = LockReason(index);
    if (!why.empty()) PanelInfo->Announce(kInfoPrefix + why);
  };
  // ConsoleOne may have been started or closed while the user was away.
  OnActivate = [this](TObject*) {
    GuardStep([this] {
      if (FollowConsoleOne()) SayConsoleOneState();
    });
  };
  Label1->SetEllipsis(TEllipsis::Middle);
  Label1->SetFocusControl(ComboBoxPath);
  CheckAll1->OnClick = [this](TObject* s) { CheckAll1Click(s); };
  UncheckAll1->OnClick = [this](TObject* s) { UncheckAll1Click(s); };
  StatusBar1->OnClick = [this](TObject* s) { LabelWebClick(s); };
}

std::string TForm1::DefaultConsoleOnePath() { return core::DefaultBase(); }

const TForm1::TFolderNames& TForm1::FolderNames() const { return core::Folders(); }

std::string TForm1::FolderWithoutBin(const std::string& folder) {
  std::string path = D_Util::ExcludeTrailingSeparator(folder);
  // Only a whole last folder named bin goes; "\Binaries" elsewhere must stay.
  if (path.size() >= 4 && IsSeparator(path[path.size() - 4]) &&
      D_Util::LowerAscii(path.substr(path.size() - 3)) == "bin") {
    path.erase(path.size() - 4);
  }
  return path;
}

std::string TForm1::Description(const std::string& name, const std::string& def) const {
  if (!machineSettings_) return def;
  return D_Ini::ReadSettingText(*machineSettings_, kDescriptionSection, name, def);
}

// --- window life

void TForm1::FormCreate(TObject* /*Sender*/) {
  consoleOneRunning_ = core::ConsoleOneWindowOpen();
  if (consoleOneRunning_) {
    if (TApplication* app = Application()) app->MessageBox(core::kConsoleOneWarning, "Warning", MB_OK | MB_ICONWARNING);
  }
  // Without the files the window still works on defaults.
  GuardStep([this] {
    userSettings_ = D_Ini::OpenSettingsFile(true);
    if (userSettings_->FileName().empty()) {
      userSettings_.reset();  // nothing read, nothing written
      noUserSettings_ = true;
    }
    machineSettings_ = D_Ini::OpenSettingsFile(false);
  });
  consoleOnePath_ = core::ConfiguredBase(machineSettings_.get());
  activeSnapins_.Clear();
  inactiveSnapins_.Clear();
}

void TForm1::FormShow(TObject* /*Sender*/) {
  GuardStep([this] { D_Ini::RestoreMainFormBounds(userSettings_.get()); });
  GuardStep([this] {
    D_Ini::RestoreControlState(userSettings_.get(), kSettingsSection, *this);
    if (ComboBoxPath->ItemCount() == 0) {
      ComboBoxPath->AddItem(consoleOnePath_);
      ComboBoxPath->AddItem(D_Util::IncludeTrailingSeparator(D_Win::GetProgramFilesDir()) + "Novell" + Sep() +
                            "ConsoleOne" + Sep() + "1.2");
    }
  });
  // Designed or restored, the place may lie off the screens: a scaled
  // display, a monitor since removed.
  GuardStep([this] { KeepInWorkArea(); });
  GuardStep([this] { VerifyPath(this); });
}

void TForm1::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  if (noUserSettings_) {
    if (TApplication* app = Application())
      app->MessageBox("No per-user settings file: this user has no home folder (HOME is not set and the "
                      "user has no passwd entry), so the window's state is not saved",
                      "Warning", MB_OK | MB_ICONWARNING);
    return;
  }
  if (!userSettings_) return;
  try {
    // One replacement of the file: a close that is killed or refused part
    // way leaves the file all as before, never some sections new.
    D_Ini::TIniBatch batch(*userSettings_);
    D_Ini::SaveMainFormBounds(userSettings_.get());
    D_Ini::SaveControlState(userSettings_.get(), kSettingsSection, *this);
    batch.Commit();
  } catch (const std::exception& e) {
    // The window closes anyway; the user learns which file kept the old state.
    if (TApplication* app = Application()) app->MessageBox(e.what(), "Warning", MB_OK | MB_ICONWARNING);
  }
}

void TForm1::MouseMoveOverControl(TObject* Sender, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {
  const auto* control = dynamic_cast<const TControl*>(Sender);
  PanelInfo->SetText(kInfoPrefix + (control ? control->Hint() : std::string()));
}

void TForm1::CheckListBoxSnapinsMouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int X, int Y) {
  const int index = CheckListBoxSnapins->ItemAtPos(X, Y);
  if (index < 0) {
    PanelInfo->SetText(kInfoPrefix);
    return;
  }
  const std::string& name = CheckListBoxSnapins->ItemText(index);
  PanelInfo->SetText(kInfoPrefix + Description(name, name));
}

void TForm1::ComboBoxPathDblClick(TObject* /*Sender*/) {
  if (OpenDialog->InitialDir.empty()) OpenDialog->InitialDir = D_Win::GetProgramFilesDir();
  std::string folder;
  if (OpenDialog->Execute()) {
    const std::string& file = OpenDialog->FileName;
    const std::string name = FileNameOf(file);
    if (core::IsLauncherName(name, "ConsoleOne")) folder = file.substr(0, file.size() - name.size());
  }
  OpenDialog->InitialDir = folder;
  ComboBoxPath->SetText(FolderWithoutBin(folder));
  VerifyPath(this);
}

// --- inventory

void TForm1::VerifyPath(TObject* Sender) {
  // Typing keeps the keyboard in the path box: a valid prefix of the path
  // being typed must not hand the next keys to the start button.
  focusStartAfterCheck_ = Sender != ComboBoxPath || ComboBoxPath->ItemIndex() >= 0;
  if (verifying_) {
    verifyPending_ = true;
    return;
  }
  struct Running {
    bool& flag;
    explicit Running(bool& f) : flag(f) { flag = true; }
    ~Running() { flag = false; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
  } running(verifying_);
  do {
    verifyPending_ = false;
    VerifyPathOnce();
  } while (verifyPending_);
}

void TForm1::VerifyPathOnce() {
  Label1->SetText("");
  CheckListBoxSnapins->Clear();
  if (ComboBoxPath->Text().empty()) ComboBoxPath->SetText(consoleOnePath_);
  const core::Check check = core::CheckFolder(ComboBoxPath->Text());
  BitBtnC1->SetEnabled(false);
  BitBtnRC->SetEnabled(false);
  Label1->SetText(check.Label());
  Label1->SetHint(check.Label());
  {
    // The label may be too narrow for a long path: a failure is also said
    // whole, with what was expected. While typing, only a change is said.
    const bool said = saidOutcome_ == check.outcome;
    saidOutcome_ = check.outcome;
    if (check.outcome != core::Outcome::Installation) {
      const std::string text = kInfoPrefix + check.Label() + ": " + ValidFolderHint();
      if (said && !focusStartAfterCheck_)
        PanelInfo->SetText(text);
      else
        PanelInfo->Announce(text);
    } else if (!PanelInfo->Announced().empty() && PanelInfo->Text() == PanelInfo->Announced()) {
      PanelInfo->SetText(kInfoPrefix);  // the failure said is no longer true
    }
  }
  // A failed check leaves the keyboard where the result can be read and
  // mended, not on a button or list it has just emptied or disabled.
  if (check.outcome != core::Outcome::Installation &&
      (BitBtnC1->Focused() || BitBtnRC->Focused() || CheckListBoxSnapins->Focused()))
    ComboBoxPath->SetFocus();
  if (check.outcome == core::Outcome::NoFolder) return;

  consoleOnePath_ = check.base;
  consoleOneExe_ = check.consoleOneExe;
  rconjExe_ = check.rconjExe;
  const bool installed = check.outcome == core::Outcome::Installation;
  if (installed) {
    ComboBoxPath->SetText(D_Util::ExcludeTrailingSeparator(ComboBoxPath->Text()));
    D_Ini::AddComboHistory(*ComboBoxPath, D_Ini::kComboHistoryLimit);
  }

  BitBtnC1->SetEnabled(installed);
  BitBtnC1->SetHint("Launch " + FileNameOf(consoleOneExe_) + " (" + consoleOneExe_ + ")");
  if (installed && focusStartAfterCheck_) BitBtnC1->SetFocus();
  BitBtnRC->SetEnabled(check.rconjFound);
  BitBtnRC->SetHint(check.rconjFound ? "Launch " + FileNameOf(rconjExe_) + " (" + rconjExe_ + ")"
                                     : "Cannot find \"" + rconjExe_ + "\"");
  if (!installed) return;

  core::ListSnapins(consoleOnePath_, activeSnapins_, inactiveSnapins_);
  auto addAll = [this](const TStringList& names, bool checked) {
    for (const TStringItem& item : names.Items()) {
      GuardStep([&] {
        const int index = CheckListBoxSnapins->AddItem(item.Text);
        if (checked) CheckListBoxSnapins->SetChecked(index, true);
      });
    }
  };
  {
    // One sort and one repaint for the whole inventory, not one per name.
    TCheckListBoxUpdate update(*CheckListBoxSnapins);
    addAll(activeSnapins_, true);
    addAll(inactiveSnapins_, false);
  }
  checkedFolders_.clear();
  GuardStep([this] { checkedFolders_ = core::CreateInactiveFolders(consoleOnePath_); });
  ApplyLocks();
}

void TForm1::ApplyLocks() {
  GuardStep([this] {
    const int n = CheckListBoxSnapins->Count();
    for (int i = 0; i < n; ++i) CheckListBoxSnapins->SetItemEnabled(i, !consoleOneRunning_);
  });
  DisableRequiredSnapins();
}

bool TForm1::FollowConsoleOne() {
  const bool running = core::ConsoleOneWindowOpen();
  if (running == consoleOneRunning_) return false;
  consoleOneRunning_ = running;
  ApplyLocks();
  return true;
}

void TForm1::SayConsoleOneState() {
  PanelInfo->Announce(kInfoPrefix + std::string(consoleOneRunning_ ? kConsoleOneLocks : kConsoleOneGone));
}

std::string TForm1::LockReason(int Index) const {
  if (Index < 0 || Index >= CheckListBoxSnapins->Count()) return {};
  const std::string& name = CheckListBoxSnapins->ItemText(Index);
  if (consoleOneRunning_) return name + " stays as it is: " + kConsoleOneLocks;
  if (!CheckListBoxSnapins->ItemEnabled(Index))
    return name + " stays as it is: the machine-wide settings mark it as required";
  return {};
}

void TForm1::ShowDiskMark(int Index) {
  GuardStep([&] {
    const std::string& name = CheckListBoxSnapins->ItemText(Index);
    CheckListBoxSnapins->SetChecked(Index, platform::Platform::Get().DirectoryExists(core::PlacePath(
                                               consoleOnePath_, core::kActive, core::kSnapinFolder, name)));
  });
}

void TForm1::DisableRequiredSnapins() {
  GuardStep([this] {
    for (const std::string& name : core::RequiredSnapins(machineSettings_.get())) {
      // Every item whose name matches ignoring case: names that differ only
      // in case, and a name listed twice (in both places), all stay locked.
      GuardStep([&] {
        for (const int index : CheckListBoxSnapins->IndexesOf(name)) CheckListBoxSnapins->SetItemEnabled(index, false);
      });
    }
  });
}

// --- activation

void TForm1::CheckListBoxSnapinsSelect(TObject* /*Sender*/, int Index) {
  // Index -1 (no selection), stale indexes and locked items act on nothing.
  if (Index < 0 || Index >= CheckListBoxSnapins->Count()) return;
  if (!CheckListBoxSnapins->ItemEnabled(Index)) {
    PanelInfo->SetText(kInfoPrefix + LockReason(Index));
    return;
  }
  TMoveFailures failures;
  // A selection whose folders are where its mark wants them (arrow keys,
  // a click on the text) moves nothing: it needs no lock, so it neither
  // waits for another run nor fails for a user who may only read.
  bool toMove = true;
  GuardStep([&] {
    toMove = core::AnyToMove(consoleOnePath_, CheckListBoxSnapins->ItemText(Index), CheckListBoxSnapins->Checked(Index));
  });
  if (!toMove) {
    SwitchSnapin(Index, failures);
    ReportMoveFailures(failures);
    return;
  }
  // A ConsoleOne started since the last look locks the list before anything
  // moves; the click's toggle then moved nothing and the mark shows the disk.
  FollowConsoleOne();
  if (consoleOneRunning_) {
    ShowDiskMark(Index);
    PanelInfo->Announce(kInfoPrefix + LockReason(Index));
    return;
  }
  const core::InstallationLock lock(consoleOnePath_, platform::LockMode::Switch, kLockWait);
  if (!lock.Usable()) {
    ShowDiskMark(Index);
    ReportLockFailure(lock);
    return;
  }
  SwitchSnapin(Index, failures);
  ReportMoveFailures(failures);
}

namespace {

// A folder relative to the base, as the information line names it.
std::string Relative(const std::string& base, const std::string& path) {
  const std::string prefix = D_Util::IncludeTrailingSeparator(base);
  return path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : path;
}

}  // namespace

void TForm1::SwitchSnapin(int Index, TMoveFailures& failures) {
  if (Index < 0 || Index >= CheckListBoxSnapins->Count()) return;
  if (!CheckListBoxSnapins->ItemEnabled(Index)) return;
  const std::string name = CheckListBoxSnapins->ItemText(Index);
  PanelInfo->SetText(kInfoPrefix + Description(name, ""));
  const bool wantActive = CheckListBoxSnapins->Checked(Index);
  GuardStep([&] {
    const core::SwitchResult result = core::Switch(consoleOnePath_, name, wantActive, checkedFolders_);
    const core::State from = wantActive ? core::kInactive : core::kActive;
    if (const auto& refused = result.refused) {
      const std::string folder = Relative(consoleOnePath_, refused->folder);
      const std::string why = refused->creationFailed
                                  ? "could not create " + folder + (refused->error.empty() ? "" : ": " + refused->error)
                                  : "no folder " + folder;
      const std::size_t kind = result.staying.front();
      if (failures.count == 0) {
        failures.first = core::Folders()[from][kind] + Sep() + name + " to " + core::Folders()[core::Other(from)][kind] +
                         Sep() + name + ": " + why;
      }
      failures.count += static_cast<int>(result.staying.size());
    }
    for (const core::Move& m : result.moves) {
      if (m.ok || failures.count++ != 0) continue;
      failures.first = Relative(consoleOnePath_, m.source) + " to " + Relative(consoleOnePath_, m.target) +
                       (m.error.empty() ? "" : ": " + m.error);
    }
    // The mark shows the disk, as the next check would, not the wish.
    if (result.snapinActive && *result.snapinActive != wantActive)
      CheckListBoxSnapins->SetChecked(Index, *result.snapinActive);
  });
}

void TForm1::ReportMoveFailures(const TMoveFailures& failures) {
  if (failures.count == 0) return;
  PanelInfo->Announce(std::string(kInfoPrefix) + "Could not move " +
                     (failures.count == 1 ? failures.first
                                          : std::to_string(failures.count) + " folders, the first " +
                                                failures.first));
}

void TForm1::ReportLockFailure(const core::InstallationLock& lock) {
  PanelInfo->Announce(std::string(kInfoPrefix) + "Nothing was moved: cannot lock " + lock.Reason());
}

void TForm1::CheckListBoxSnapinsClick(TObject* Sender) {
  BusyCursor busy;
  CheckListBoxSnapinsSelect(Sender, CheckListBoxSnapins->ItemIndex());
}

void TForm1::SetAllMarks(bool checked) {
  const int n = CheckListBoxSnapins->Count();
  if (n == 0) return;
  FollowConsoleOne();
  if (consoleOneRunning_) {
    SayConsoleOneState();
    return;
  }
  // One lock for the whole command: another run never sees it half done.
  const core::InstallationLock lock(consoleOnePath_, platform::LockMode::Switch, kLockWait);
  if (!lock.Usable()) {
    ReportLockFailure(lock);
    return;
  }
  TMoveFailures failures;
  for (int i = 0; i < n; ++i) {
    if (CheckListBoxSnapins->ItemEnabled(i) && CheckListBoxSnapins->Checked(i) != checked) {
      CheckListBoxSnapins->SetChecked(i, checked);
    }
    SwitchSnapin(i, failures);
  }
  ReportMoveFailures(failures);
}

void TForm1::CheckAll1Click(TObject* /*Sender*/) { SetAllMarks(true); }

void TForm1::UncheckAll1Click(TObject* /*Sender*/) { SetAllMarks(false); }

// --- launching

void TForm1::Launch(const std::string& exePath) {
  D_Win::LaunchCommand(D_Util::ToShortPath(exePath));
  if (!CheckBoxKeepOpen->Checked()) Close();
}

void TForm1::BitBtnC1Click(TObject* /*Sender*/) { Launch(consoleOneExe_); }

void TForm1::BitBtnRCClick(TObject* /*Sender*/) { Launch(rconjExe_); }

void TForm1::LabelWebClick(TObject* /*Sender*/) { D_Win::LaunchCommand(StatusBar1->Text()); }
