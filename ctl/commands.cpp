#include "ctl/command.h"

namespace qz::ctl {

extern const CommandSpec kPortsCommand, kInfoCommand, kUploadCommand, kDownloadCommand,
    kCompareCommand, kDiffCommand, kShowCommand, kSetProtocolCommand, kSetRunModeCommand;

namespace {

const CommandSpec* const kCommands[] = {
    &kPortsCommand, &kInfoCommand, &kUploadCommand,      &kDownloadCommand,   &kCompareCommand,
    &kDiffCommand,  &kShowCommand, &kSetProtocolCommand, &kSetRunModeCommand,
};

}  // namespace

std::span<const CommandSpec* const> commands() {
  return kCommands;
}

const CommandSpec* findCommand(std::string_view name) {
  for (const CommandSpec* c : kCommands) {
    if (c->name == name) return c;
  }
  return nullptr;
}

const CommandSpec* specOf(Command id) {
  for (const CommandSpec* c : kCommands) {
    if (c->id == id) return c;
  }
  return nullptr;
}

}  // namespace qz::ctl
