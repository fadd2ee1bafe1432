#pragma once
// A base service that reaches up into the main window: the check must refuse it.
#include "core/app/MainWindowModel.h"
