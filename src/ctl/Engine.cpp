#include "ctl/Engine.h"

#include <algorithm>
#include <map>

#include "app/Unit1.h"
#include "toolkits/memory/MemoryApplication.h"

namespace ctl {

const char* OutcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::InvalidPath: return "invalid-path";
    case Outcome::NotInstalled: return "not-installed";
    case Outcome::Installation: return "installation";
  }
  return "";
}

const SnapinState* Inventory::Find(const std::string& listedName) const {
  for (const auto& s : snapins)
    if (s.name == listedName) return &s;
  return nullptr;
}

namespace {

bool Contains(const TStringList& list, const std::string& name) {
  for (const auto& item : list.Items())
    if (item.Text == name) return true;
  return false;
}

}  // namespace

struct Session::Impl {
  explicit Impl(CtlPlatform& p) : platform(p) {}

  CtlPlatform& platform;
  // The toolkit that needs no display; FormCreate's warning box lands here.
  memory_toolkit::MemoryApplication application;
  std::unique_ptr<TForm1> form;
  std::string defaultBase;

  ui::TCheckListBox& List() { return *form->CheckListBoxSnapins; }

  // The state of one listed name, read from the list and the two name lists.
  std::string StateOf(int index) {
    const std::string& name = List().ItemText(index);
    if (Contains(form->ActiveSnapins(), name) && Contains(form->InactiveSnapins(), name))
      return "both";
    return List().Checked(index) ? "active" : "inactive";
  }

  Inventory Read(const std::string& path) {
    Inventory inv;
    inv.path = path;
    inv.base = form->ConsoleOnePath();
    inv.label = form->Label1->Caption();
    inv.consoleOneExe = form->ConsoleOneExe();
    inv.rconjExe = form->RConJExe();
    inv.consoleOneRunning = form->ConsoleOneRunning();
    // The three outcomes of the check, told apart as the window shows them.
    if (inv.label == "Invalid path") {
      inv.outcome = Outcome::InvalidPath;
    } else if (!form->BitBtnC1->Enabled()) {
      inv.outcome = Outcome::NotInstalled;
    } else {
      inv.outcome = Outcome::Installation;
      inv.consoleOneFound = true;
    }
    inv.rconjFound = inv.outcome != Outcome::InvalidPath && form->BitBtnRC->Enabled();

    auto& list = List();
    for (int i = 0; i < list.Count(); ++i) {
      const std::string& name = list.ItemText(i);
      // A name in both places is listed twice; it is one snap-in here.
      if (inv.Find(name) != nullptr) continue;
      SnapinState s;
      s.name = name;
      s.state = StateOf(i);
      s.locked = !list.ItemEnabled(i);
      if (s.locked) s.lock = inv.consoleOneRunning ? "consoleone-running" : "required";
      inv.snapins.push_back(std::move(s));
    }
    return inv;
  }

  Inventory Verify(const std::string& path) {
    form->ComboBoxPath->SetText(path);
    form->VerifyPath(nullptr);
    return Read(path);
  }
};

Session::Session(CtlPlatform& platform) : impl_(std::make_unique<Impl>(platform)) {
  impl_->form = std::make_unique<TForm1>();
  impl_->defaultBase = impl_->form->ConsoleOnePath();
}

Session::~Session() = default;

std::vector<std::string> Session::Warnings() const {
  std::vector<std::string> texts;
  for (const auto& box : impl_->application.MessageBoxes()) texts.push_back(box.text);
  return texts;
}

std::string Session::DefaultBase() const { return impl_->defaultBase; }

Inventory Session::Check(const std::optional<std::string>& base) {
  return impl_->Verify(base ? *base : impl_->defaultBase);
}

ChangeReport Session::Apply(const Options& options) {
  Impl& s = *impl_;
  ChangeReport report;
  report.check = options.check;
  report.before = Check(options.base);
  if (report.before.outcome != Outcome::Installation) {
    report.exitStatus = kExitNotInstallation;
    report.createdFolders = s.platform.CreatedFolders();
    return report;
  }

  auto& list = s.List();
  // Resolve every name first, so that conflicting requests stop the run
  // before anything moves.
  std::vector<int> indexes;
  std::map<int, Wanted> wantedByIndex;
  for (const Request& r : options.requests) {
    const int index = list.IndexOf(r.name);
    indexes.push_back(index);
    if (index < 0) continue;
    const auto [it, inserted] = wantedByIndex.emplace(index, r.wanted);
    if (!inserted && it->second != r.wanted) {
      report.error = "\"" + list.ItemText(index) + "\" is asked to be both active and inactive";
      report.exitStatus = kExitUsage;
      return report;
    }
  }

  // A repeated name is clicked once; the later requests just read the outcome.
  std::map<int, bool> clicked;
  for (std::size_t k = 0; k < options.requests.size(); ++k) {
    const Request& r = options.requests[k];
    SnapinResult res;
    res.requested = r.name;
    res.wanted = r.wanted;
    const int index = indexes[k];
    if (index < 0) {
      res.status = "unknown";
      res.reason = "no such snap-in";
      res.exitStatus = kExitUnknownSnapin;
      report.results.push_back(std::move(res));
      continue;
    }
    res.name = list.ItemText(index);
    res.before = s.StateOf(index);
    res.after = res.before;
    const bool holdsBefore = res.before == WantedText(r.wanted);
    const SnapinState* listed = report.before.Find(res.name);
    const bool locked = !list.ItemEnabled(index);

    if (locked) {
      res.holds = holdsBefore;
      const std::string why = listed && listed->lock == "consoleone-running"
                                  ? "ConsoleOne is running"
                                  : "required snap-in";
      if (holdsBefore) {
        res.status = "unchanged";
        res.reason = "already " + res.before + " (locked: " + why + ")";
      } else {
        res.status = "locked";
        res.reason = why + "; stays " + res.before;
        res.exitStatus = kExitLocked;
      }
    } else if (options.check) {
      res.holds = holdsBefore;
      if (holdsBefore) {
        res.status = "unchanged";
        res.reason = "already " + res.before;
      } else if (res.before == "both") {
        res.status = "failed";
        res.reason = "present in both places; a switch would move nothing while the targets exist";
        res.exitStatus = kExitMoveFailed;
      } else {
        res.status = "would-change";
        res.reason = res.before + " -> " + WantedText(r.wanted);
        res.changed = true;
      }
    } else if (!clicked[index]) {
      clicked[index] = true;
      // The moves of a click on the item's check mark.
      const std::size_t firstMove = s.platform.Moves().size();
      list.SetChecked(index, r.wanted == Wanted::Active);
      s.form->CheckListBoxSnapinsSelect(nullptr, index);
      const auto& moves = s.platform.Moves();
      res.moves.assign(moves.begin() + static_cast<std::ptrdiff_t>(firstMove), moves.end());
    }
    report.results.push_back(std::move(res));
  }

  report.createdFolders = s.platform.CreatedFolders();
  if (!options.check) {
    // Read the disk again: a move that failed shows up here.
    report.after = Check(report.before.base);
    for (auto& res : report.results) {
      if (res.name.empty() || !res.status.empty()) continue;
      const SnapinState* now = report.after->Find(res.name);
      res.after = now ? now->state : "missing";
      res.holds = res.after == WantedText(res.wanted);
      const bool anyMoved = std::any_of(res.moves.begin(), res.moves.end(),
                                        [](const MoveRecord& m) { return m.succeeded; });
      const auto failed = std::find_if(res.moves.begin(), res.moves.end(),
                                       [](const MoveRecord& m) { return !m.succeeded; });
      res.changed = anyMoved;
      if (res.holds && failed == res.moves.end()) {
        res.status = anyMoved ? "changed" : "unchanged";
        res.reason = anyMoved ? res.before + " -> " + res.after : "already " + res.after;
      } else {
        res.status = "failed";
        res.exitStatus = kExitMoveFailed;
        if (res.after == "both")
          res.reason = "present in both places; nothing can move while the targets exist";
        else if (failed != res.moves.end())
          res.reason = "could not move " + failed->source + " to " + failed->target;
        else
          res.reason = "still " + res.after;
      }
    }
    report.createdFolders = s.platform.CreatedFolders();
  }

  for (const auto& res : report.results) {
    report.changed = report.changed || res.changed;
    report.exitStatus = std::max(report.exitStatus, res.exitStatus);
  }
  report.changed = report.changed || !report.createdFolders.empty();
  return report;
}

}  // namespace ctl
