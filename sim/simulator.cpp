#include "sim/simulator.h"
