#pragma once
// The simulated controller.

namespace qz::sim {}
