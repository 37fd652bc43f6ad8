// Window and control state in a settings file: a generic walk over a
// window's control tree, keyed by component names, and the history list of
// an editable combo box.
#pragma once

#include <string>

#include "lib/D_Ini.h"
#include "ui/Controls.h"

namespace D_Ini {

// The depth of every path history kept by the program.
constexpr int kComboHistoryLimit = 30;

// Saves the control, its kind's state and, recursively, its windowed
// children; splitters among the children save their neighbours' sizes.
// Nothing is caught: the first failure ends the walk. No file: nothing.
void SaveControlState(const TIniFile* file, const std::string& section, ui::TControl& control);
// Restores the control and, recursively, its windowed children. No file: nothing.
void RestoreControlState(const TIniFile* file, const std::string& section, ui::TControl& control);

// Placement keys N.Top, N.Left, N.Width, N.Height; an empty section means the
// control's name. Both swallow every failure.
void SaveBounds(const TIniFile* file, const std::string& section, ui::TControl* control);
void RestoreBounds(const TIniFile* file, const std::string& section, ui::TControl* control);
// The same for the application's main form, in section "Settings".
void SaveMainFormBounds(const TIniFile* file);
void RestoreMainFormBounds(const TIniFile* file);

void SaveSplitterNeighbours(const TIniFile& file, const std::string& section,
                            const ui::TSplitter& splitter);

// Puts the box's text at the top of its list unless it is empty or listed
// already (ignoring case); a list with an entry at `limit` loses that entry.
void AddComboHistory(ui::TComboBox& combo, int limit);
void LoadComboHistory(const TIniFile& file, const std::string& section, ui::TComboBox& combo);
void RestoreComboHistory(const TIniFile& file, const std::string& section,
                         const std::string& defaultText, ui::TComboBox& combo);
void SaveComboHistory(const TIniFile& file, const std::string& section, ui::TComboBox& combo);

}  // namespace D_Ini
