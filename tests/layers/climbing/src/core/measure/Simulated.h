#pragma once
// Only the application layer may depend on the simulated meters.
#include "sim/SimBench.h"
