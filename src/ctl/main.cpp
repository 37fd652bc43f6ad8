// quillanctl: the Quillan window's snap-in management without a window.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "ctl/CommandLine.h"
#include "ctl/CtlPlatform.h"
#include "ctl/Engine.h"
#include "ctl/Report.h"
#include "ctl/Text.h"

namespace {

void Print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

const char* CommandName(ctl::Command c) {
  switch (c) {
    case ctl::Command::List: return "list";
    case ctl::Command::Enable: return "enable";
    case ctl::Command::Disable: return "disable";
    case ctl::Command::Set: return "set";
    default: return "";
  }
}

int Run(const ctl::Options& o) {
  ctl::CtlPlatform platform;
  ctl::InstalledPlatform installed(platform);
  ctl::Session session(platform);
  if (!o.json)
    for (const auto& w : session.Warnings())
      Print(stderr, "quillanctl: warning: " + ctl::EscapeControls(w) + "\n");

  if (o.command == ctl::Command::List) {
    const ctl::Inventory inv = session.List(o.base);
    const int status =
        inv.outcome == ctl::Outcome::Installation ? ctl::kExitOk : ctl::kExitNotInstallation;
    if (o.json)
      Print(stdout, ctl::InventoryJsonText(inv, platform.CreatedFolders(), status));
    else
      Print(stdout, ctl::InventoryText(inv, platform.CreatedFolders()));
    return status;
  }

  const ctl::ChangeReport report = session.Apply(o);
  if (o.json) {
    Print(stdout, ctl::DumpJson(ctl::ChangeJson(CommandName(o.command), report)));
  } else if (!report.error.empty()) {
    Print(stderr, "quillanctl: " + ctl::EscapeControls(report.error) + "\n");
  } else {
    Print(report.exitStatus == ctl::kExitNotInstallation ? stderr : stdout, ctl::ChangeText(report));
  }
  return report.exitStatus;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ctl::ParsedCommandLine parsed = ctl::ParseCommandLine(args);
  const ctl::Options& o = parsed.options;

  if (!parsed.error.empty()) {
    bool json = false;
    for (const auto& a : args) json = json || a == "--json";
    if (json) Print(stdout, ctl::DumpJson(ctl::ErrorJson(parsed.error, ctl::kExitUsage)));
    Print(stderr, "quillanctl: " + parsed.error + "\n" + ctl::UsageText());
    return ctl::kExitUsage;
  }
  if (o.command == ctl::Command::Help) {
    Print(stdout, ctl::HelpText());
    return ctl::kExitOk;
  }
  if (o.command == ctl::Command::Version) {
    Print(stdout, ctl::VersionText());
    return ctl::kExitOk;
  }
  try {
    return Run(o);
  } catch (const std::exception& e) {
    if (o.json) Print(stdout, ctl::DumpJson(ctl::ErrorJson(e.what(), ctl::kExitError)));
    Print(stderr, std::string("quillanctl: ") + ctl::EscapeControls(e.what()) + "\n");
    return ctl::kExitError;
  }
}
