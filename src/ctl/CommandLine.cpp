#include "ctl/CommandLine.h"

#include <algorithm>

#include <CLI/CLI.hpp>

#include "ctl/Text.h"

#ifndef QUILLAN_VERSION
#define QUILLAN_VERSION "unknown"
#endif

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
  return "Usage: quillanctl list [BASE] [--json] [--wait SECONDS]\n"
         "  or:  quillanctl enable [BASE] NAME... [--check] [--json] [--hex] [--wait SECONDS]\n"
         "  or:  quillanctl disable [BASE] NAME... [--check] [--json] [--hex] [--wait SECONDS]\n"
         "  or:  quillanctl set [BASE] [--active NAME...] [--inactive NAME...] [--check] [--json]\n"
         "                  [--hex] [--wait SECONDS]\n"
         "  or:  quillanctl --help | --version\n";
}

std::string HelpText() {
  return UsageText() +
         "\n"
         "Lists and switches the snap-ins of a ConsoleOne installation, as the Quillan\n"
         "window does, without a window.\n"
         "\n"
         "Commands:\n"
         "  list      the installation check and every snap-in with its state\n"
         "            (active, inactive, both places, split) and lock\n"
         "  enable    make the named snap-ins active\n"
         "  disable   make the named snap-ins inactive\n"
         "  set       make the names after --active active and those after\n"
         "            --inactive inactive, in one run (also --active=NAME,\n"
         "            --inactive=NAME, one name each)\n"
         "\n"
         "BASE is the installation's base folder. Without it, the path the window\n"
         "starts with is used: \"Paths\"/\"C1\" of quillan.ini beside this program\n"
         "(on Linux, when there is none, of the installed /etc/quillan.ini).\n"
         "For enable and disable, a first argument that contains a path separator\n"
         "(or is \".\" or \"..\") is BASE; otherwise give it with --base BASE. A name\n"
         "that equals a snap-in's name exactly means that snap-in; otherwise the whole\n"
         "name is matched ignoring case, and must then match one snap-in only. Put\n"
         "names that begin with \"-\" after \"--\".\n"
         "\n"
         "Options:\n"
         "  --base BASE  the installation's base folder\n"
         "  --check      report what would change (moves, folders to create);\n"
         "               move and create nothing\n"
         "  --json       print the result as one JSON object\n"
         "  --hex        every NAME is given as the hex digits of its bytes (the\n"
         "               JSON's name_hex), for names that are not UTF-8\n"
         "  --wait SECONDS  how long to wait for another run on BASE (default 10;\n"
         "               0: do not wait)\n"
         "  --help       this text\n"
         "  --version    the version\n"
         "\n"
         "Required snap-ins (quillan.ini, \"Required Snapins\", matched ignoring\n"
         "case) keep their state, and while a ConsoleOne window is open every\n"
         "snap-in does, as in the window. Switching moves folders between snapins,\n"
         "lib, resources and their inactive.* counterparts; nothing is replaced,\n"
         "copied or deleted. A second identical call changes nothing. No settings\n"
         "file is written. Runs that switch snap-ins on one installation, the\n"
         "window's and this program's, take turns: each holds the lock on BASE from\n"
         "its check to its last move; list and --check share it while they read.\n"
         "Waits last at most --wait seconds (said on stderr).\n"
         "The lock is the file BASE/.quillan.lock, made once by the first switch\n"
         "and kept (never removed or written); every path that reaches BASE meets\n"
         "it. Reading creates nothing: a user who may only read BASE is answered;\n"
         "a switch that cannot take the lock is refused with its cause.\n"
         "A signal that would end the run (INT, TERM; on Linux also HUP, QUIT,\n"
         "USR1, USR2) lets the snap-in in progress finish with all its folders;\n"
         "the report of what was done is printed. A closed output (as with\n"
         "| head) does not stop the moves.\n"
         "\n"
         "Exit status:\n"
         "  0  every folder of every named snap-in is in the wanted place afterwards\n"
         "     (list: BASE is an installation)\n"
         "  1  unexpected failure, or the lock on BASE cannot be taken for a switch\n"
         "     (held elsewhere is 7; this is another cause, said with it)\n"
         "  2  usage error\n"
#ifdef _WIN32
         "  3  BASE is not a ConsoleOne installation (no bin\\ConsoleOne.exe)\n"
#else
         "  3  BASE is not a ConsoleOne installation (no bin/ConsoleOne, nor\n"
         "     bin/ConsoleOne.exe)\n"
#endif
         "  4  locked: a requested change was refused (required snap-in, or\n"
         "     ConsoleOne is running)\n"
         "  5  a move failed (or would fail: an inactive folder that cannot be\n"
         "     created), or a folder is still in the other place\n"
         "  6  a name matches no snap-in, or several only ignoring case\n"
         "  7  busy: another run held the lock on BASE for the whole wait\n"
         "  128+N  stopped by signal N (130 INT, 143 TERM, 129 HUP) after the\n"
         "     snap-in in progress; the report so far is printed\n"
         "Otherwise, when several apply, the highest number is returned.\n";
}

std::string VersionText() { return std::string("quillanctl ") + QUILLAN_VERSION + "\n"; }

namespace {

// One subcommand and the plain words it was given.
struct Subcommand {
  CLI::App* app = nullptr;
  CLI::Option* wordsOption = nullptr;
  std::vector<std::string> words;
};

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine result;
  Options& o = result.options;
  const auto fail = [&](std::string message) {
    result.error = std::move(message);
    return result;
  };

  // Words after "--" are names (or BASE) whatever they look like. CLI11 hands
  // a "--" met inside a subcommand back to the parent, which then parses the
  // rest as options, so they are set aside here.
  const auto dashes = std::find(args.begin(), args.end(), "--");
  std::vector<std::string> beforeDashes(args.begin(), dashes);
  const std::vector<std::string> afterDashes(dashes == args.end() ? dashes : dashes + 1, args.end());

  CLI::App app{"", "quillanctl"};
  app.set_help_flag();
  app.allow_windows_style_options(false);  // "/opt/c1" is a path, not an option
  app.require_subcommand(0, 1);
  bool help = false, version = false;
  std::string base;
  app.add_flag("-h,--help", help);
  app.add_flag("--version", version);
  app.add_flag("--json", o.json);
  app.add_flag("--check", o.check);
  app.add_flag("--hex", o.hex);
  CLI::Option* baseOption = app.add_option("--base", base);
  app.add_option("--wait", o.wait);

  const auto subcommand = [&app](const char* name) {
    Subcommand s;
    s.app = app.add_subcommand(name);
    s.app->fallthrough();  // the options above may follow the command
    return s;
  };
  Subcommand list = subcommand("list"), enable = subcommand("enable"),
             disable = subcommand("disable"), set = subcommand("set"), helpCommand = subcommand("help");
  for (Subcommand* s : {&list, &enable, &disable, &set})
    s->wordsOption = s->app->add_option("words", s->words);
  std::vector<std::string> activeNames, inactiveNames;
  const auto listOption = [&set](const char* name, std::vector<std::string>& names) {
    // "--active" alone switches the list the next words go to.
    return set.app->add_option(name, names)
        ->expected(0, CLI::detail::expected_max_vector_size)
        ->allow_extra_args();
  };
  CLI::Option* activeOption = listOption("--active", activeNames);
  CLI::Option* inactiveOption = listOption("--inactive", inactiveNames);

  try {
    std::reverse(beforeDashes.begin(), beforeDashes.end());  // CLI11 takes them last first
    app.parse(beforeDashes);
  } catch (const CLI::ParseError& e) {
    return fail(e.what());
  }

  if (help || helpCommand.app->parsed()) {
    o.command = Command::Help;
    return result;
  }
  if (version) {
    o.command = Command::Version;
    return result;
  }
  if (baseOption->count() > 0) o.base = base;
  // Up to a year; "nan" and "inf" are no number of seconds.
  if (!(o.wait >= 0 && o.wait <= 366.0 * 86400)) return fail("--wait takes the seconds to wait, 0 or more");

  std::vector<std::string> positionals;
  if (list.app->parsed()) {
    o.command = Command::List;
    positionals = list.words;
    positionals.insert(positionals.end(), afterDashes.begin(), afterDashes.end());
    if (o.check) return fail("--check applies to enable, disable and set");
    if (positionals.size() > 1) return fail("list takes at most one BASE");
    if (positionals.size() == 1) {
      if (o.base) return fail("BASE is given twice");
      o.base = positionals[0];
    }
    return result;
  }

  if (enable.app->parsed() || disable.app->parsed()) {
    const bool enabling = enable.app->parsed();
    o.command = enabling ? Command::Enable : Command::Disable;
    positionals = enabling ? enable.words : disable.words;
    positionals.insert(positionals.end(), afterDashes.begin(), afterDashes.end());
    std::size_t first = 0;
    if (!o.base && !positionals.empty() && LooksLikePath(positionals[0])) {
      o.base = positionals[0];
      first = 1;
    }
    for (std::size_t k = first; k < positionals.size(); ++k)
      o.requests.push_back({positionals[k], enabling ? Wanted::Active : Wanted::Inactive});
    if (o.requests.empty()) {
      if (first == 1)
        return fail("no snap-in named: \"" + EscapeControls(positionals[0]) +
                    "\" was taken as BASE, the installation's base folder (a first argument "
                    "with a path separator, or \".\" or \"..\", is BASE)");
      return fail("no snap-in named");
    }
  } else if (set.app->parsed()) {
    o.command = Command::Set;
    // The words in command-line order: before any --active/--inactive they
    // are BASE, after one they belong to its list.
    const bool explicitEmpty[2] = {
        std::find(args.begin(), dashes, "--active=") != dashes,
        std::find(args.begin(), dashes, "--inactive=") != dashes};
    std::optional<Wanted> listMode;
    std::size_t nextWord = 0, nextActive = 0, nextInactive = 0;
    bool sawListOption = false;
    const auto take = [&](const std::string& word) {
      if (listMode) o.requests.push_back({word, *listMode});
      else positionals.push_back(word);
    };
    for (const CLI::Option* op : set.app->parse_order()) {
      if (op == set.wordsOption) {
        take(set.words[nextWord++]);
      } else if (op == activeOption || op == inactiveOption) {
        const bool active = op == activeOption;
        const std::string& name =
            active ? activeOption->results()[nextActive++] : inactiveOption->results()[nextInactive++];
        listMode = active ? Wanted::Active : Wanted::Inactive;
        sawListOption = true;
        if (!name.empty() || explicitEmpty[active ? 0 : 1]) o.requests.push_back({name, *listMode});
      }
    }
    for (const auto& word : afterDashes) take(word);
    if (!sawListOption) return fail("set needs --active or --inactive");
    if (positionals.size() > 1) return fail("set takes at most one BASE before --active/--inactive");
    if (positionals.size() == 1) {
      if (o.base) return fail("BASE is given twice");
      o.base = positionals[0];
    }
    if (o.requests.empty()) return fail("no snap-in named");
  } else {
    return fail("no command given");
  }

  if (o.hex) {
    for (Request& r : o.requests) {
      const std::optional<std::string> bytes = FromHex(r.name);
      if (!bytes) return fail("--hex: \"" + EscapeControls(r.name) + "\" is not an even number of hex digits");
      r.name = *bytes;
    }
  }
  return result;
}

}  // namespace ctl
