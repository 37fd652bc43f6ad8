// quillanctl: the Quillan window's snap-in management without a window.
#include <chrono>
#include <csignal>
#include <cmath>
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

extern "C" void NoteStopSignal(int signal) { ctl::SetStopSignal(signal); }

// A signal lets the run finish the snap-in in progress and report; a reader
// that went away (| head) must not stop the moves, so writes just fail.
void CatchSignals() {
#ifdef _WIN32
  std::signal(SIGINT, NoteStopSignal);
  std::signal(SIGTERM, NoteStopSignal);
#else
  struct sigaction action {};
  action.sa_handler = NoteStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  // Every signal that would end the process: the report comes all the same.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2}) sigaction(signal, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

int Run(const ctl::Options& o) {
  ctl::CtlPlatform platform;
  ctl::InstalledPlatform installed(platform);
  ctl::Session session(platform);
  if (!o.json)
    for (const auto& w : session.Warnings())
      Print(stderr, "quillanctl: warning: " + ctl::EscapeControls(w) + "\n");
  session.SetLockWait(std::chrono::milliseconds(std::llround(o.wait * 1000)), [&o](const std::string& base) {
    Print(stderr, "quillanctl: waiting for another run on " + ctl::EscapeControls(base) + " (at most " +
                      std::to_string(std::llround(std::ceil(o.wait))) + " s)\n");
  });
  const auto notes = [&session] {
    for (const auto& n : session.Notes()) Print(stderr, "quillanctl: note: " + ctl::EscapeControls(n) + "\n");
  };

  if (o.command == ctl::Command::List) {
    const ctl::Inventory inv = session.List(o.base);
    notes();
    int status = inv.outcome == ctl::Outcome::Installation ? ctl::kExitOk : ctl::kExitNotInstallation;
    if (const int signal = ctl::StopSignal()) status = ctl::kExitSignalBase + signal;
    if (o.json)
      Print(stdout, ctl::InventoryJsonText(inv, inv.createdFolders, status, inv.failedFolders));
    else
      Print(stdout, ctl::InventoryText(inv, inv.createdFolders, inv.failedFolders));
    return status;
  }

  const ctl::ChangeReport report = session.Apply(o);
  notes();
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
  CatchSignals();
  try {
    return Run(o);
  } catch (const ctl::LockError& e) {
    if (o.json) Print(stdout, ctl::DumpJson(ctl::ErrorJson(e.what(), e.ExitStatus())));
    Print(stderr, std::string("quillanctl: ") + ctl::EscapeControls(e.what()) + "\n");
    return e.ExitStatus();
  } catch (const std::exception& e) {
    if (o.json) Print(stdout, ctl::DumpJson(ctl::ErrorJson(e.what(), ctl::kExitError)));
    Print(stderr, std::string("quillanctl: ") + ctl::EscapeControls(e.what()) + "\n");
    return ctl::kExitError;
  }
}
