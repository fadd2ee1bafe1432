#pragma once
// Two dialog models of one layer may not include each other.
#include "core/console/ConsoleModel.h"
