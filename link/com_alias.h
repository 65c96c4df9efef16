#pragma once
// The per-user folder of COM aliases: symbolic links "COMn" to a device, each made by a program
// (qzsim) beside a lock file it holds for as long as the alias is good, or made by hand without
// one. The tool reads the folder and qzsim writes it; both keep the same rules here.

#include <filesystem>
#include <string>

namespace qz {

// $XDG_RUNTIME_DIR/qzconfig/ports, or /tmp/qzconfig-<uid>/ports without it.
[[nodiscard]] std::filesystem::path comAliasFolder();

// The lock file beside an alias: the program that made the alias holds a lock on it for as
// long as the alias is good. "COMn" -> "COMn.lock".
[[nodiscard]] std::filesystem::path comAliasLockPath(const std::filesystem::path& alias);

// Aliases decide which device the tool writes to, so only a real folder of this user that no
// one else may write into is trusted (the /tmp fallback is shared with every user).
[[nodiscard]] bool trustedAliasFolder(const std::filesystem::path& folder);

// Creates the folder (mode 0700) when missing and makes sure it is trusted; throws
// std::runtime_error with the reason otherwise. The writer's side of trustedAliasFolder.
void ensurePrivateFolder(const std::filesystem::path& folder);

enum class AliasKind {
  None,       // no link of that name
  Handmade,   // a link without a lock file: the user's own, always used and never removed
  Live,       // a link whose lock a running program holds
  Abandoned,  // a lock file nobody holds: left by a program that was killed
};

// What stands at `alias` in the folder. A lock file without a link is Abandoned too.
[[nodiscard]] AliasKind aliasKind(const std::filesystem::path& alias);

}  // namespace qz
