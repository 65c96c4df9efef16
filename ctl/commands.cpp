#include "ctl/command.h"

namespace qz::ctl {

extern const CommandSpec kPortsCommand, kDoctorCommand, kInfoCommand, kUploadCommand,
    kDownloadCommand, kCompareCommand, kDiffCommand, kShowCommand, kSetProtocolCommand,
    kSetRunModeCommand, kSheetCommand;

namespace {

const CommandSpec* const kCommands[] = {
    &kDoctorCommand,      &kPortsCommand,      &kInfoCommand,  &kUploadCommand,
    &kDownloadCommand,    &kCompareCommand,    &kDiffCommand,  &kShowCommand,
    &kSetProtocolCommand, &kSetRunModeCommand, &kSheetCommand,
};

}  // namespace

std::span<const CommandSpec* const> commands() {
  return kCommands;
}

const CommandSpec* findCommand(std::string_view name) {
  for (const CommandSpec* c : kCommands) {
    if (c->name == name || (!c->alias.empty() && c->alias == name)) return c;
  }
  return nullptr;
}

const CommandSpec* specOf(Command id) {
  if (id == Command::None) return nullptr;
  for (const CommandSpec* c : kCommands) {
    if (c->id == id) return c;
  }
  return nullptr;
}

}  // namespace qz::ctl
