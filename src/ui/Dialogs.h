// The file-open dialog.
#pragma once

#include <string>

#include "ui/Control.h"

namespace ui {

class TOpenDialog : public TComponent {
 public:
  std::string FileName;
  std::string DefaultExt;
  std::string Filter;  // "Name|pattern|Name|pattern"
  std::string InitialDir;
  // Runs the dialog modally through the application; true when a file was confirmed.
  bool Execute();
};

}  // namespace ui
