// Kinds that no Quillan window shows. They live as plain data (the
// control-state walk saves and restores them), so the toolkits give them no
// native peer; the layer works the same without one.
#pragma once

#include "ui/Controls.h"

namespace ui {

inline bool DataOnlyKind(const TControl& c) {
  return dynamic_cast<const TCustomEdit*>(&c) != nullptr || dynamic_cast<const TSpinEdit*>(&c) != nullptr ||
         dynamic_cast<const TRadioGroup*>(&c) != nullptr || dynamic_cast<const TTrackBar*>(&c) != nullptr ||
         dynamic_cast<const TValueListEditor*>(&c) != nullptr || dynamic_cast<const TStringGrid*>(&c) != nullptr ||
         dynamic_cast<const TSplitter*>(&c) != nullptr;
}

}  // namespace ui
