// The errors live below every layer (the toolkit layer throws them too);
// this name stays for the units that include it.
#pragma once

#include "base/Errors.h"
