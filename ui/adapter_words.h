#pragma once
// What the adapter diagnosis found, in the window's words: qzctl doctor says the same in
// English from the same values.

#include <QString>

#include "doctor/diagnosis.h"

namespace qz {

// One finding as a sentence or two, with what to do.
[[nodiscard]] QString findingWords(const doctor::Finding& f);

// The line on top: the port to use, or the one thing to fix first (its device named).
[[nodiscard]] QString verdictWords(const doctor::Diagnosis& d);

// The command to copy for the thing to fix first; empty when it is no command.
[[nodiscard]] QString commandToCopy(const doctor::Diagnosis& d);

}  // namespace qz
