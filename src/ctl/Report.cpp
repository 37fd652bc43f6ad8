#include "ctl/Report.h"

#include <algorithm>

namespace ctl {

namespace {

Json Strings(const std::vector<std::string>& texts) {
  Json::Array a;
  for (const auto& t : texts) a.emplace_back(t);
  return Json(std::move(a));
}

Json Executable(const std::string& path, bool found) {
  return Json().Set("path", path).Set("found", found);
}

// The label as the window shows it, or a word for the installation outcome
// (whose label is empty).
std::string CheckText(const Inventory& inv) {
  return inv.outcome == Outcome::Installation ? "installation" : inv.label;
}

std::string NotInstallationText(const Inventory& inv) {
  return inv.path + ": not a ConsoleOne installation (" + CheckText(inv) + ")";
}

void AddCheck(Json& j, const Inventory& inv) {
  j.Set("path", inv.path)
      .Set("base", inv.base)
      .Set("outcome", OutcomeText(inv.outcome))
      .Set("label", inv.label)
      .Set("consoleone_exe", Executable(inv.consoleOneExe, inv.consoleOneFound))
      .Set("rconj_exe", Executable(inv.rconjExe, inv.rconjFound))
      .Set("consoleone_running", inv.consoleOneRunning);
}

}  // namespace

Json InventoryJson(const Inventory& inv, const std::vector<std::string>& createdFolders,
                   int exitStatus) {
  Json j;
  j.Set("command", "list");
  AddCheck(j, inv);
  Json::Array snapins;
  for (const auto& s : inv.snapins) {
    snapins.push_back(Json()
                          .Set("name", s.name)
                          .Set("state", s.state)
                          .Set("locked", s.locked)
                          .Set("lock", s.lock.empty() ? Json() : Json(s.lock)));
  }
  j.Set("snapins", Json(std::move(snapins)))
      .Set("created_folders", Strings(createdFolders))
      .Set("changed", !createdFolders.empty())
      .Set("ok", exitStatus == kExitOk)
      .Set("exit_status", exitStatus);
  if (inv.outcome != Outcome::Installation) j.Set("error", NotInstallationText(inv));
  return j;
}

std::string InventoryText(const Inventory& inv, const std::vector<std::string>& createdFolders) {
  std::string out;
  out += "Path:        " + inv.path + "\n";
  out += "Check:       " + CheckText(inv) + "\n";
  if (inv.outcome != Outcome::InvalidPath) {
    out += "ConsoleOne:  " + inv.consoleOneExe + (inv.consoleOneFound ? "" : " (not found)") + "\n";
    out += "RConJ:       " + inv.rconjExe + (inv.rconjFound ? "" : " (not found)") + "\n";
  }
  if (inv.consoleOneRunning) out += "ConsoleOne is running: every snap-in is locked\n";
  for (const auto& f : createdFolders) out += "Created:     " + f + "\n";
  if (inv.outcome != Outcome::Installation) return out;

  out += "Snap-ins:    " + std::to_string(inv.snapins.size()) + "\n";
  std::size_t width = 4;
  for (const auto& s : inv.snapins) width = std::max(width, s.name.size());
  const auto row = [&](const std::string& name, const std::string& state, const std::string& lock) {
    std::string line = "  " + name + std::string(width - name.size() + 2, ' ') + state;
    if (!lock.empty()) line += std::string(10 - std::min<std::size_t>(state.size(), 9), ' ') + lock;
    return line + "\n";
  };
  out += row("NAME", "STATE", "LOCK");
  for (const auto& s : inv.snapins) out += row(s.name, s.state, s.lock);
  return out;
}

Json ChangeJson(const char* command, const ChangeReport& report) {
  Json j;
  j.Set("command", command).Set("check", report.check);
  AddCheck(j, report.before);
  Json::Array results;
  for (const auto& r : report.results) {
    Json::Array moves;
    for (const auto& m : r.moves)
      moves.push_back(Json().Set("from", m.source).Set("to", m.target).Set("ok", m.succeeded));
    results.push_back(Json()
                          .Set("name", r.requested)
                          .Set("listed_name", r.name.empty() ? Json() : Json(r.name))
                          .Set("wanted", WantedText(r.wanted))
                          .Set("before", r.before.empty() ? Json() : Json(r.before))
                          .Set("after", r.after.empty() ? Json() : Json(r.after))
                          .Set("changed", r.changed)
                          .Set("holds", r.holds)
                          .Set("status", r.status)
                          .Set("reason", r.reason)
                          .Set("moves", Json(std::move(moves))));
  }
  j.Set("snapins", Json(std::move(results)))
      .Set("created_folders", Strings(report.createdFolders))
      .Set("changed", report.changed)
      .Set("ok", report.exitStatus == kExitOk)
      .Set("exit_status", report.exitStatus);
  if (!report.error.empty()) j.Set("error", report.error);
  else if (report.before.outcome != Outcome::Installation)
    j.Set("error", NotInstallationText(report.before));
  return j;
}

std::string ChangeText(const ChangeReport& report) {
  std::string out;
  const Inventory& inv = report.before;
  if (inv.outcome != Outcome::Installation) return NotInstallationText(inv) + "\n";
  for (const auto& f : report.createdFolders) out += "created " + f + "\n";
  for (const auto& r : report.results) {
    out += (report.check ? "[check] " : "") + r.requested;
    if (!r.name.empty() && r.name != r.requested) out += " (listed as " + r.name + ")";
    out += ": " + r.status;
    if (!r.reason.empty()) out += " - " + r.reason;
    out += "\n";
  }
  return out;
}

Json ErrorJson(const std::string& message, int exitStatus) {
  return Json()
      .Set("changed", false)
      .Set("ok", false)
      .Set("exit_status", exitStatus)
      .Set("error", message);
}

}  // namespace ctl
