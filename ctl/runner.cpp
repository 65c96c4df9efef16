#include "ctl/runner.h"

#include <string>

namespace qz::ctl {

namespace {

int usageError(Streams& s, const std::string& error) {
  s.err << "qzctl: " << error << "\nTry \"qzctl --help\".\n";
  return kUsage;
}

}  // namespace

int run(std::span<const std::string_view> args, Streams streams) {
  const ParseResult parsed = parseCommandLine(args);
  if (!parsed.error.empty()) return usageError(streams, parsed.error);
  const Invocation& inv = parsed.invocation;
  if (inv.help) {
    streams.out << helpText(inv.entry);
    return kDone;
  }
  if (inv.version) {
    streams.out << versionText();
    return kDone;
  }
  return inv.entry->run(inv, streams);
}

}  // namespace qz::ctl
