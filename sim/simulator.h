#pragma once
// The simulated controller: its frame reader and model (sim/frame_reader.h,
// sim/controller.h) and the pseudo-terminal it answers on (sim/pty_server.h).

#include "sim/controller.h"
#include "sim/frame_reader.h"
#include "sim/pty_server.h"
