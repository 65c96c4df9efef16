#pragma once
// qzctl doctor: what became of each USB serial adapter on this machine, and what to do.

#include <ostream>
#include <string>

#include "doctor/diagnosis.h"

namespace qz::ctl {

// The diagnosis as text, or as one JSON object; returns 0 when an adapter is usable, else 3.
int printDiagnosis(const doctor::Diagnosis& d, bool json, std::ostream& out);

// Reads this machine and prints its diagnosis.
int runDoctor(bool json, std::ostream& out);

// One line for under the port list when the doctor finds a problem; empty when it finds none.
[[nodiscard]] std::string doctorHint();

}  // namespace qz::ctl
