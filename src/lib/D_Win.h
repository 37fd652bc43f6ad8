// Environment, registry, window search and shell launching.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace D_Win {

using platform::RegistryRoot;
using platform::WindowHandle;

// The named value as text; empty when the key or value is missing.
// Throws ERegistryError for a value that is not a string.
std::string ReadRegistryString(RegistryRoot root, const std::string& keyPath,
                               const std::string& valueName);
// A folder of the user's shell folders ("AppData").
std::string ReadShellFolder(const std::string& valueName);
std::string GetProgramFilesDir();
// First top-level window whose title (first 254 characters) contains `text`.
WindowHandle FindWindowByTitle(const std::string& text);

std::string ReadEnvironmentVariable(const std::string& name);
bool IsInternalShellCommand(const std::string& word);
int LaunchCommandLine(const std::string& commandLine, int showMode);
int LaunchCommand(const std::string& commandLine);

}  // namespace D_Win
