#include "ctl/Report.h"

#include <algorithm>
#include <string_view>

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

// The names of a snap-in's three places, in the order of `Places`.
const char* const kPlaceKeys[] = {"snapins", "lib", "resources"};

Json PlacesJson(const Places& places) {
  Json j = Json::object();
  for (std::size_t k = 0; k < places.size(); ++k) j[kPlaceKeys[k]] = PlaceText(places[k]);
  return j;
}

std::string PlacesText(const Places& places) {
  std::string text;
  for (std::size_t k = 0; k < places.size(); ++k)
    text += std::string(k == 0 ? "" : ", ") + kPlaceKeys[k] + ": " + PlaceText(places[k]);
  return text;
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

// Present only when a folder could not be created.
void AddFailedFolders(Json& j, const std::vector<FolderFailure>& failed) {
  if (failed.empty()) return;
  Json a = Json::array();
  for (const auto& f : failed) a.push_back(Json{{"path", Str(f.path)}, {"error", Str(f.error)}});
  j["failed_folders"] = std::move(a);
}

std::string FailedFolderText(const FolderFailure& f) {
  return EscapeControls(f.path) + (f.error.empty() ? "" : ": " + EscapeControls(f.error));
}

Json NullOr(const std::string& text) { return text.empty() ? Json() : Str(text); }

// A string as DumpJson prints it. Printable ASCII without quote or
// backslash, which most names are, is printed as it stands.
void AppendJsonString(std::string& out, const std::string& text) {
  if (IsPlainAscii(text) && text.find_first_of("\"\\") == std::string::npos) {
    out += '"';
    out += text;
    out += '"';
  } else {
    out += Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
  }
}

// One element of the snap-in array, exactly as DumpJson indents it.
void AppendSnapinJson(std::string& out, const SnapinState& s) {
  out += "    {\n      \"name\": ";
  const JsonText name = ForJson(s.name);
  AppendJsonString(out, name.text);
  if (!name.exact) out += ",\n      \"name_hex\": \"" + ToHex(s.name) + '"';
  out += ",\n      \"state\": \"";
  out += s.state;
  out += "\",\n      \"places\": {";
  for (std::size_t k = 0; k < s.places.size(); ++k) {
    out += k == 0 ? "\n        \"" : "\",\n        \"";
    out += kPlaceKeys[k];
    out += "\": \"";
    out += PlaceText(s.places[k]);
  }
  out += "\"\n      },\n      \"locked\": ";
  out += s.locked ? "true" : "false";
  out += ",\n      \"lock\": ";
  if (s.lock.empty()) {
    out += "null";
  } else {
    out += '"';
    out += s.lock;
    out += '"';
  }
  out += "\n    }";
}

}  // namespace

std::string InventoryJsonText(const Inventory& inv, const std::vector<std::string>& createdFolders,
                              int exitStatus, const std::vector<FolderFailure>& failedFolders) {
  Json j;
  j["command"] = "list";
  AddCheck(j, inv);
  j["snapins"] = Json::array();
  j["created_folders"] = Strings(createdFolders);
  AddFailedFolders(j, failedFolders);
  j["changed"] = !createdFolders.empty();
  j["ok"] = exitStatus == kExitOk;
  j["exit_status"] = exitStatus;
  if (inv.outcome != Outcome::Installation) j["error"] = Str(NotInstallationText(inv));
  const std::string head = DumpJson(j);
  if (inv.snapins.empty()) return head;

  // The snap-ins go straight into the text: a document holding every one
  // of them first costs more than reading the installation. This is the
  // only top-level line with the key: no string holds a raw line feed, and
  // nested keys are indented further.
  const std::string key = "\n  \"snapins\": ";
  const std::size_t at = head.find(key + "[]") + key.size();
  std::string out;
  out.reserve(head.size() + inv.snapins.size() * (200 + inv.snapins.front().name.size()));
  out.append(head, 0, at);
  out += "[\n";
  for (std::size_t i = 0; i < inv.snapins.size(); ++i) {
    if (i > 0) out += ",\n";
    AppendSnapinJson(out, inv.snapins[i]);
  }
  out += "\n  ]";
  out.append(head, at + 2, std::string::npos);
  return out;
}

std::string InventoryText(const Inventory& inv, const std::vector<std::string>& createdFolders,
                          const std::vector<FolderFailure>& failedFolders) {
  std::string out;
  out += "Path:        " + EscapeControls(inv.path) + "\n";
  out += "Check:       " + EscapeControls(CheckText(inv)) + "\n";
  if (inv.outcome != Outcome::NoFolder) {
    out += "ConsoleOne:  " + EscapeControls(inv.consoleOneExe) +
           (inv.consoleOneFound ? "" : " (not found)") + "\n";
    out += "RConJ:       " + EscapeControls(inv.rconjExe) + (inv.rconjFound ? "" : " (not found)") +
           "\n";
  }
  if (inv.consoleOneRunning) out += "ConsoleOne is running: every snap-in is locked\n";
  for (const auto& f : createdFolders) out += "Created:     " + EscapeControls(f) + "\n";
  for (const auto& f : failedFolders) out += "Not created: " + FailedFolderText(f) + "\n";
  if (inv.outcome != Outcome::Installation) return out;

  out += "Snap-ins:    " + std::to_string(inv.snapins.size()) + "\n";
  // Plain printable ASCII names, the usual case, are shown as they stand,
  // the others escaped into `scratch`.
  std::string scratch;
  const auto shown = [&scratch](const std::string& name) -> const std::string& {
    if (IsPlainAscii(name)) return name;
    return scratch = EscapeControls(name);
  };
  std::size_t width = 4;
  for (const auto& s : inv.snapins) width = std::max(width, DisplayWidth(shown(s.name)));
  out.reserve(out.size() + (inv.snapins.size() + 1) * (width + 30));
  const auto row = [&](const std::string& name, std::string_view state, std::string_view lock,
                       const std::string& places) {
    out += "  ";
    out += name;
    out.append(width + 2 - DisplayWidth(name), ' ');
    out += state;
    if (!lock.empty() || !places.empty()) {
      out.append(10 - std::min<std::size_t>(10, state.size()), ' ');
      out += lock;
    }
    if (!places.empty()) out += (lock.empty() ? "" : "  ") + std::string("(") + places + ")";
    out += '\n';
  };
  row("NAME", "STATE", "LOCK", "");
  for (const SnapinState& s : inv.snapins) {
    const bool disagree = s.state == "split" || s.state == "both";
    row(shown(s.name), s.state, s.lock, disagree ? PlacesText(s.places) : "");
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
  AddFailedFolders(j, report.failedFolders);
  if (report.interrupted != 0) j["interrupted"] = SignalName(report.interrupted);
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
  for (const auto& f : report.failedFolders)
    out += (report.check ? "[check] cannot create " : "could not create ") + FailedFolderText(f) + "\n";
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
  if (report.interrupted != 0)
    out += "stopped by " + SignalName(report.interrupted) + " after " + std::to_string(report.results.size()) +
           " of " + std::to_string(report.requested) + " names; the others were not tried\n";
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
