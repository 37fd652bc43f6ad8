#include "ctl/Report.h"

#include <algorithm>

#include "ctl/Text.h"

namespace ctl {

namespace {

// Text from the file system, readable in JSON (see ForJson).
Json Str(const std::string& bytes) { return ForJson(bytes).text; }

Json Strings(const std::vector<std::string>& texts) {
  Json a = Json::array();
  for (const auto& t : texts) a.push_back(Str(t));
  return a;
}

// A name as `key`, plus `key`_hex with its exact bytes when the text is not
// exact; a command given the hex with --hex addresses this very folder.
void SetName(Json& j, const std::string& key, const std::string& bytes) {
  const JsonText t = ForJson(bytes);
  j[key] = t.text;
  if (!t.exact) j[key + "_hex"] = ToHex(bytes);
}

// An empty object with room for `fields`: large lists build one per snap-in.
Json Object(std::size_t fields) {
  Json j = Json::object();
  j.get_ref<Json::object_t&>().reserve(fields);
  return j;
}

Json PlacesJson(const Places& places) {
  Json j = Object(3);
  j["snapins"] = PlaceText(places[0]);
  j["lib"] = PlaceText(places[1]);
  j["resources"] = PlaceText(places[2]);
  return j;
}

std::string PlacesText(const Places& places) {
  return std::string("snapins: ") + PlaceText(places[0]) + ", lib: " + PlaceText(places[1]) +
         ", resources: " + PlaceText(places[2]);
}

Json Executable(const std::string& path, bool found) {
  return Json{{"path", Str(path)}, {"found", found}};
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
  j["path"] = Str(inv.path);
  j["base"] = Str(inv.base);
  j["outcome"] = OutcomeText(inv.outcome);
  j["label"] = Str(inv.label);
  j["consoleone_exe"] = Executable(inv.consoleOneExe, inv.consoleOneFound);
  j["rconj_exe"] = Executable(inv.rconjExe, inv.rconjFound);
  j["consoleone_running"] = inv.consoleOneRunning;
}

Json NullOr(const std::string& text) { return text.empty() ? Json() : Str(text); }

}  // namespace

Json InventoryJson(const Inventory& inv, const std::vector<std::string>& createdFolders,
                   int exitStatus) {
  Json j;
  j["command"] = "list";
  AddCheck(j, inv);
  Json snapins = Json::array();
  snapins.get_ref<Json::array_t&>().reserve(inv.snapins.size());
  for (const auto& s : inv.snapins) {
    Json e = Object(6);
    SetName(e, "name", s.name);
    e["state"] = s.state;
    e["places"] = PlacesJson(s.places);
    e["locked"] = s.locked;
    e["lock"] = s.lock.empty() ? Json() : Json(s.lock);
    snapins.push_back(std::move(e));
  }
  j["snapins"] = std::move(snapins);
  j["created_folders"] = Strings(createdFolders);
  j["changed"] = !createdFolders.empty();
  j["ok"] = exitStatus == kExitOk;
  j["exit_status"] = exitStatus;
  if (inv.outcome != Outcome::Installation) j["error"] = Str(NotInstallationText(inv));
  return j;
}

std::string InventoryText(const Inventory& inv, const std::vector<std::string>& createdFolders) {
  std::string out;
  out += "Path:        " + EscapeControls(inv.path) + "\n";
  out += "Check:       " + EscapeControls(CheckText(inv)) + "\n";
  if (inv.outcome != Outcome::InvalidPath) {
    out += "ConsoleOne:  " + EscapeControls(inv.consoleOneExe) +
           (inv.consoleOneFound ? "" : " (not found)") + "\n";
    out += "RConJ:       " + EscapeControls(inv.rconjExe) + (inv.rconjFound ? "" : " (not found)") +
           "\n";
  }
  if (inv.consoleOneRunning) out += "ConsoleOne is running: every snap-in is locked\n";
  for (const auto& f : createdFolders) out += "Created:     " + EscapeControls(f) + "\n";
  if (inv.outcome != Outcome::Installation) return out;

  out += "Snap-ins:    " + std::to_string(inv.snapins.size()) + "\n";
  std::vector<std::string> names;
  names.reserve(inv.snapins.size());
  std::size_t width = 4;
  for (const auto& s : inv.snapins) {
    names.push_back(EscapeControls(s.name));
    width = std::max(width, DisplayWidth(names.back()));
  }
  const auto row = [&](const std::string& name, const std::string& state, const std::string& lock,
                       const std::string& places) {
    std::string line = "  " + PadRight(name, width + 2) + state;
    if (!lock.empty() || !places.empty()) line = PadRight(line, 2 + width + 2 + 10) + lock;
    if (!places.empty()) line += (lock.empty() ? "" : "  ") + std::string("(") + places + ")";
    return line + "\n";
  };
  out += row("NAME", "STATE", "LOCK", "");
  for (std::size_t i = 0; i < inv.snapins.size(); ++i) {
    const SnapinState& s = inv.snapins[i];
    const bool disagree = s.state == "split" || s.state == "both";
    out += row(names[i], s.state, s.lock, disagree ? PlacesText(s.places) : "");
  }
  return out;
}

Json ChangeJson(const char* command, const ChangeReport& report) {
  Json j;
  j["command"] = command;
  j["check"] = report.check;
  AddCheck(j, report.before);
  Json results = Json::array();
  for (const auto& r : report.results) {
    Json moves = Json::array();
    for (const auto& m : r.moves) {
      Json move{{"from", Str(m.source)}, {"to", Str(m.target)}, {"ok", m.succeeded}};
      if (!m.succeeded && !m.error.empty()) move["error"] = Str(m.error);
      moves.push_back(std::move(move));
    }
    Json e;
    SetName(e, "name", r.requested);
    if (r.name.empty()) e["listed_name"] = nullptr;
    else SetName(e, "listed_name", r.name);
    e["wanted"] = WantedText(r.wanted);
    e["before"] = NullOr(r.before);
    e["after"] = NullOr(r.after);
    if (!r.name.empty()) e["places"] = PlacesJson(r.places);
    e["changed"] = r.changed;
    e["holds"] = r.holds;
    e["status"] = r.status;
    e["reason"] = Str(r.reason);
    e["moves"] = std::move(moves);
    results.push_back(std::move(e));
  }
  j["snapins"] = std::move(results);
  j["created_folders"] = Strings(report.createdFolders);
  if (report.check) j["would_create_folders"] = Strings(report.wouldCreateFolders);
  j["changed"] = report.changed;
  j["ok"] = report.exitStatus == kExitOk;
  j["exit_status"] = report.exitStatus;
  if (!report.error.empty()) j["error"] = Str(report.error);
  else if (report.before.outcome != Outcome::Installation)
    j["error"] = Str(NotInstallationText(report.before));
  return j;
}

std::string ChangeText(const ChangeReport& report) {
  std::string out;
  const Inventory& inv = report.before;
  for (const auto& f : report.wouldCreateFolders)
    out += "[check] would create " + EscapeControls(f) + "\n";
  if (inv.outcome != Outcome::Installation) return out + EscapeControls(NotInstallationText(inv)) + "\n";
  for (const auto& f : report.createdFolders) out += "created " + EscapeControls(f) + "\n";
  for (const auto& r : report.results) {
    out += report.check ? "[check] " : "";
    out += r.requested.empty() ? std::string("(the empty name)") : EscapeControls(r.requested);
    if (!r.name.empty() && r.name != r.requested) out += " (listed as " + EscapeControls(r.name) + ")";
    out += ": " + r.status;
    if (!r.reason.empty()) out += " - " + EscapeControls(r.reason);
    if (!r.name.empty() && (r.after == "split" || r.after == "both"))
      out += " (" + PlacesText(r.places) + ")";
    out += "\n";
  }
  return out;
}

Json ErrorJson(const std::string& message, int exitStatus) {
  return Json{{"changed", false}, {"ok", false}, {"exit_status", exitStatus}, {"error", Str(message)}};
}

std::string DumpJson(const Json& document) {
  // Every string is UTF-8 already; replacing is only a safety net.
  return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace ctl
