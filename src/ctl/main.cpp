// quillanctl: the Quillan window's snap-in management without a window.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "ctl/CommandLine.h"
#include "ctl/CtlPlatform.h"
#include "ctl/Engine.h"
#include "ctl/Report.h"

#ifndef QUILLAN_VERSION
#define QUILLAN_VERSION "unknown"
#endif

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
    for (const auto& w : session.Warnings()) Print(stderr, "quillanctl: warning: " + w + "\n");

  if (o.command == ctl::Command::List) {
    const ctl::Inventory inv = session.Check(o.base);
    const int status =
        inv.outcome == ctl::Outcome::Installation ? ctl::kExitOk : ctl::kExitNotInstallation;
    if (o.json)
      Print(stdout, ctl::InventoryJson(inv, platform.CreatedFolders(), status).Dump(2) + "\n");
    else
      Print(stdout, ctl::InventoryText(inv, platform.CreatedFolders()));
    return status;
  }

  const ctl::ChangeReport report = session.Apply(o);
  if (o.json) {
    Print(stdout, ctl::ChangeJson(CommandName(o.command), report).Dump(2) + "\n");
  } else if (!report.error.empty()) {
    Print(stderr, "quillanctl: " + report.error + "\n");
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
    if (json) Print(stdout, ctl::ErrorJson(parsed.error, ctl::kExitUsage).Dump(2) + "\n");
    Print(stderr, "quillanctl: " + parsed.error + "\n" + ctl::UsageText());
    return ctl::kExitUsage;
  }
  if (o.command == ctl::Command::Help) {
    Print(stdout, ctl::HelpText());
    return ctl::kExitOk;
  }
  if (o.command == ctl::Command::Version) {
    Print(stdout, std::string("quillanctl ") + QUILLAN_VERSION + "\n");
    return ctl::kExitOk;
  }
  try {
    return Run(o);
  } catch (const std::exception& e) {
    if (o.json) Print(stdout, ctl::ErrorJson(e.what(), ctl::kExitError).Dump(2) + "\n");
    Print(stderr, std::string("quillanctl: ") + e.what() + "\n");
    return ctl::kExitError;
  }
}
