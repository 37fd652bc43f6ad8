#include "ctl/CommandLine.h"

namespace ctl {

bool LooksLikePath(const std::string& word) {
  if (word == "." || word == "..") return true;
#ifdef _WIN32
  return word.find_first_of("/\\:") != std::string::npos;
#else
  return word.find('/') != std::string::npos;
#endif
}

const char* WantedText(Wanted wanted) { return wanted == Wanted::Active ? "active" : "inactive"; }

std::string UsageText() {
  return "usage: quillanctl list [BASE] [--json]\n"
         "       quillanctl enable [BASE] NAME... [--check] [--json]\n"
         "       quillanctl disable [BASE] NAME... [--check] [--json]\n"
         "       quillanctl set [BASE] [--active NAME...] [--inactive NAME...] [--check] [--json]\n"
         "                      (also --active=NAME, --inactive=NAME, one name each)\n"
         "       quillanctl --help | --version\n";
}

std::string HelpText() {
  return UsageText() +
         "\n"
         "Lists and switches the snap-ins of a ConsoleOne installation, as the Quillan\n"
         "window does, without a window.\n"
         "\n"
         "Commands:\n"
         "  list      the installation check and every snap-in with its state\n"
         "            (active, inactive, both places) and lock\n"
         "  enable    make the named snap-ins active\n"
         "  disable   make the named snap-ins inactive\n"
         "  set       make the names after --active active and those after\n"
         "            --inactive inactive, in one run\n"
         "\n"
         "BASE is the installation's base folder. Without it, the path the window\n"
         "starts with is used: \"Paths\"/\"C1\" of quillan.ini beside this program\n"
         "(on Linux, when there is none, of the installed /etc/quillan.ini).\n"
         "For enable and disable, a first argument that contains a path separator is\n"
         "BASE; otherwise give it with --base BASE. Names are matched as the window's\n"
         "list matches them: the whole name, ignoring case. Put names that begin with\n"
         "\"-\" after \"--\".\n"
         "\n"
         "Options:\n"
         "  --base BASE  the installation's base folder\n"
         "  --check      report what would change; move nothing\n"
         "  --json       print the result as one JSON object\n"
         "  --help       this text\n"
         "  --version    the version\n"
         "\n"
         "Required snap-ins (quillan.ini, \"Required Snapins\") keep their state, and\n"
         "while a ConsoleOne window is open every snap-in does, as in the window.\n"
         "Switching moves folders between snapins, lib, resources and their\n"
         "inactive.* counterparts; nothing is replaced, copied or deleted. A second\n"
         "identical call changes nothing. No settings file is written.\n"
         "\n"
         "Exit status:\n"
         "  0  every requested state holds afterwards (list: BASE is an installation)\n"
         "  1  unexpected failure\n"
         "  2  usage error\n"
#ifdef _WIN32
         "  3  BASE is not a ConsoleOne installation (no bin\\ConsoleOne.exe)\n"
#else
         "  3  BASE is not a ConsoleOne installation (no bin/ConsoleOne, nor\n"
         "     bin/ConsoleOne.exe)\n"
#endif
         "  4  locked: a requested change was refused (required snap-in, or\n"
         "     ConsoleOne is running)\n"
         "  5  a move failed, or a snap-in is in both places\n"
         "  6  a name matches no snap-in\n"
         "When several apply, the highest number is returned.\n";
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine result;
  Options& o = result.options;
  const auto fail = [&](std::string message) {
    result.error = std::move(message);
    return result;
  };

  std::optional<Command> command;
  std::vector<std::string> positionals;
  // For `set`: the list that the next names go to; before any --active or
  // --inactive, words are positionals (BASE).
  std::optional<Wanted> listMode;
  bool sawListOption = false;
  bool optionsEnded = false;
  bool help = false, version = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnded && a.size() > 1 && a[0] == '-') {
      if (a == "--") {
        optionsEnded = true;
      } else if (a == "--json") {
        o.json = true;
      } else if (a == "--check") {
        o.check = true;
      } else if (a == "--help" || a == "-h") {
        help = true;
      } else if (a == "--version") {
        version = true;
      } else if (a == "--base" || a.rfind("--base=", 0) == 0) {
        if (o.base) return fail("--base is given twice");
        if (a == "--base") {
          if (i + 1 >= args.size()) return fail("--base needs a folder");
          o.base = args[++i];
        } else {
          o.base = a.substr(7);
        }
      } else if (a.rfind("--active=", 0) == 0 || a.rfind("--inactive=", 0) == 0) {
        // One name in the option itself: safe for any name, "-x" included.
        if (command != Command::Set)
          return fail(a.substr(0, a.find('=')) + " belongs to the set command");
        const bool active = a[2] == 'a';
        o.requests.push_back({a.substr(active ? 9 : 11), active ? Wanted::Active : Wanted::Inactive});
        sawListOption = true;
      } else if (a == "--active" || a == "--inactive") {
        if (command != Command::Set) return fail(a + " belongs to the set command");
        listMode = a == "--active" ? Wanted::Active : Wanted::Inactive;
        sawListOption = true;
      } else {
        return fail("unknown option " + a);
      }
      continue;
    }
    if (!command) {
      if (a == "list") command = Command::List;
      else if (a == "enable") command = Command::Enable;
      else if (a == "disable") command = Command::Disable;
      else if (a == "set") command = Command::Set;
      else if (a == "help") help = true;
      else return fail("unknown command \"" + a + "\"");
      if (help) break;
      continue;
    }
    if (command == Command::Set && listMode) {
      o.requests.push_back({a, *listMode});
    } else {
      positionals.push_back(a);
    }
  }

  if (help) {
    o.command = Command::Help;
    return result;
  }
  if (version) {
    o.command = Command::Version;
    return result;
  }
  if (!command) return fail("no command given");
  o.command = *command;

  switch (o.command) {
    case Command::List:
      if (o.check) return fail("--check applies to enable, disable and set");
      if (positionals.size() > 1) return fail("list takes at most one BASE");
      if (positionals.size() == 1) {
        if (o.base) return fail("BASE is given twice");
        o.base = positionals[0];
      }
      break;
    case Command::Enable:
    case Command::Disable: {
      std::size_t first = 0;
      if (!o.base && !positionals.empty() && LooksLikePath(positionals[0])) {
        o.base = positionals[0];
        first = 1;
      }
      const Wanted wanted = o.command == Command::Enable ? Wanted::Active : Wanted::Inactive;
      for (std::size_t k = first; k < positionals.size(); ++k)
        o.requests.push_back({positionals[k], wanted});
      if (o.requests.empty()) return fail("no snap-in named");
      break;
    }
    case Command::Set:
      if (!sawListOption) return fail("set needs --active or --inactive");
      if (positionals.size() > 1) return fail("set takes at most one BASE before --active/--inactive");
      if (positionals.size() == 1) {
        if (o.base) return fail("BASE is given twice");
        o.base = positionals[0];
      }
      if (o.requests.empty()) return fail("no snap-in named");
      break;
    case Command::Help:
    case Command::Version:
      break;
  }
  return result;
}

}  // namespace ctl
