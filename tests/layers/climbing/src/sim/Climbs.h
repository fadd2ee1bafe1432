#pragma once
// The simulated meters reach up into the layer that chooses them.
#include "core/app/IoSetup.h"
