// The main window: its controls, declared once, and every handler.
#pragma once

#include <array>
#include <vector>
#include <memory>
#include <optional>
#include <string>

#include "core/Installation.h"
#include "lib/D_Ini.h"
#include "lib/TStringList.h"
#include "ui/Controls.h"

namespace core {
class InstallationLock;
}

class TForm1 : public ui::TForm {
 public:
  // Builds the controls through the toolkit in use, then runs FormCreate.
  TForm1();
  ~TForm1() override;

  // Controls, owned by the form's tree.
  ui::TCheckListBox* CheckListBoxSnapins = nullptr;
  ui::TBitBtn* BitBtnC1 = nullptr;
  ui::TLabel* Label1 = nullptr;
  ui::TCheckBox* CheckBoxKeepOpen = nullptr;
  ui::TPopupMenu* PopupMenu1 = nullptr;
  ui::TMenuItem* CheckAll1 = nullptr;
  ui::TMenuItem* UncheckAll1 = nullptr;
  ui::TBitBtn* BitBtnRC = nullptr;
  ui::TComboBox* ComboBoxPath = nullptr;
  ui::TOpenDialog* OpenDialog = nullptr;
  ui::TPanel* PanelTop = nullptr;
  ui::TPanel* PanelInfo = nullptr;
  ui::TPanel* PanelBottom = nullptr;
  ui::TStatusBar* StatusBar1 = nullptr;

  // Handlers; public so a headless front end can drive the same logic.
  void VerifyPath(ui::TObject* Sender);
  void FormCreate(ui::TObject* Sender);
  void CheckListBoxSnapinsClick(ui::TObject* Sender);
  void CheckListBoxSnapinsSelect(ui::TObject* Sender, int Index);
  void BitBtnC1Click(ui::TObject* Sender);
  void FormShow(ui::TObject* Sender);
  void FormClose(ui::TObject* Sender, ui::TCloseAction& Action);
  void LabelWebClick(ui::TObject* Sender);
  void CheckAll1Click(ui::TObject* Sender);
  void UncheckAll1Click(ui::TObject* Sender);
  void BitBtnRCClick(ui::TObject* Sender);
  void DisableRequiredSnapins();
  void CheckListBoxSnapinsMouseMove(ui::TObject* Sender, ui::TShiftState Shift, int X, int Y);
  void MouseMoveOverControl(ui::TObject* Sender, ui::TShiftState Shift, int X, int Y);
  void ComboBoxPathDblClick(ui::TObject* Sender);

  // Indexed [state][kind]: state 0 active, 1 inactive; kind 0 snap-in,
  // 1 library, 2 resource folder.
  using TFolderNames = core::FolderNames;

  const std::string& ConsoleOnePath() const { return consoleOnePath_; }
  const std::string& ConsoleOneExe() const { return consoleOneExe_; }
  const std::string& RConJExe() const { return rconjExe_; }
  bool ConsoleOneRunning() const { return consoleOneRunning_; }
  const TFolderNames& FolderNames() const;
  const TStringList& ActiveSnapins() const { return activeSnapins_; }
  const TStringList& InactiveSnapins() const { return inactiveSnapins_; }
  const D_Ini::TIniFile* UserSettings() const { return userSettings_.get(); }
  const D_Ini::TIniFile* MachineSettings() const { return machineSettings_.get(); }

  // The base folder used when the machine-wide file names none.
  static std::string DefaultConsoleOnePath();
  // The folder the path picker derives from a chosen file's folder: a final
  // "bin" folder (any case) and the trailing separator removed.
  static std::string FolderWithoutBin(const std::string& folder);

 private:
  // Moves that failed during one user action: how many, and the first.
  struct TMoveFailures {
    int count = 0;
    std::string first;  // "lib/Foo to inactive.lib/Foo: <the system's reason>"
  };
  void BuildLayout();
  void VerifyPathOnce();
  // Moves entry Index's folders to where its mark says, then sets the mark
  // to where the snap-in folder is.
  void SwitchSnapin(int Index, TMoveFailures& failures);
  // Tells on the information line what did not happen (nothing when all moved).
  void ReportMoveFailures(const TMoveFailures& failures);
  // Tells why a switch moved nothing: the installation lock could not be had.
  void ReportLockFailure(const core::InstallationLock& lock);
  void SetAllMarks(bool checked);
  // Looks for a ConsoleOne window now and locks or unlocks the entries to
  // match; true when that changed since the last look. Says nothing: each
  // caller says once what its user action met.
  bool FollowConsoleOne();
  // Announces whether ConsoleOne runs, as the last look found it.
  void SayConsoleOneState();
  // Every entry locked while ConsoleOne runs, else the required ones.
  void ApplyLocks();
  // Why entry Index cannot be switched (empty when it can).
  std::string LockReason(int Index) const;
  // Sets entry Index's mark to where its snap-in folder is.
  void ShowDiskMark(int Index);
  void Launch(const std::string& exePath);
  std::string Description(const std::string& name, const std::string& def) const;

  std::string consoleOnePath_;
  std::string consoleOneExe_;
  std::string rconjExe_;
  bool consoleOneRunning_ = false;
  TStringList activeSnapins_;
  TStringList inactiveSnapins_;
  std::unique_ptr<D_Ini::TIniFile> userSettings_;
  // No per-user file can be had (no home folder): said once at close.
  bool noUserSettings_ = false;
  // The inactive folders as the last check left them: a switch refused for
  // a missing one then says why the check could not make it.
  std::vector<core::FolderResult> checkedFolders_;
  std::unique_ptr<D_Ini::TIniFile> machineSettings_;

  // Listing a folder lets pending input run; an edit arriving then must not
  // start a second check over the same lists, so it is run afterwards.
  bool verifying_ = false;
  bool verifyPending_ = false;
  // The check gives the start button the focus (at start, after a pick).
  bool focusStartAfterCheck_ = true;
  // The outcome last said on the information line: typing says only changes.
  std::optional<core::Outcome> saidOutcome_;
};

// The main window, set by the main block.
extern TForm1* Form1;
