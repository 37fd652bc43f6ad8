// The toolkit layer: every control kind the window and the control-state
// walk use, one header per kind or family (ui/Control.h is the base).
#pragma once

#include "ui/Control.h"
#include "ui/Form.h"
#include "ui/Application.h"
#include "ui/Panels.h"
#include "ui/Buttons.h"
#include "ui/Edits.h"
#include "ui/ComboBox.h"
#include "ui/CheckList.h"
#include "ui/Values.h"
#include "ui/Grids.h"
#include "ui/Menus.h"
#include "ui/Dialogs.h"
