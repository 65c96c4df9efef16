#pragma once
// Why the system refused a file, in the window's language.

#include <QString>

namespace qz {

// The reason for the system's error number `error` (errno) in Chinese: Qt's own translation
// where its installed texts have one, the window's words otherwise; never the system's English.
[[nodiscard]] QString systemErrorWords(int error);

}  // namespace qz
