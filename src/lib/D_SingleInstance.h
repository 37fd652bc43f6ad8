// One running instance per application title.
#pragma once

#include <string>

namespace ui {
class TApplication;
}

namespace D_SingleInstance {

// The title an application gets from its executable: the file name without
// folder, cut before its first ".", all but the first character lower-cased
// (QUILLAN.EXE gives Quillan).
std::string DefaultApplicationTitle(const std::string& exePath);

// Runs the guard before the main block sets its own title: creates a mutex
// named after the application's title (the default one while the title is
// empty) and, when another instance holds it, brings that instance's
// application window forward, also by asking that instance itself. The
// first instance takes such requests from its event loop. True when this
// process must end now.
bool GuardSingleInstance(ui::TApplication& app);

}  // namespace D_SingleInstance
