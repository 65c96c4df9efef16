#include "ctl/command.h"

namespace qz::ctl {

extern const CommandEntry kPortsCommand, kDoctorCommand, kInfoCommand, kUploadCommand,
    kDownloadCommand, kCompareCommand, kDiffCommand, kShowCommand, kSetProtocolCommand,
    kSetRunModeCommand, kSheetCommand;

namespace {

const CommandEntry* const kCommands[] = {
    &kDoctorCommand,      &kPortsCommand,      &kInfoCommand,  &kUploadCommand,
    &kDownloadCommand,    &kCompareCommand,    &kDiffCommand,  &kShowCommand,
    &kSetProtocolCommand, &kSetRunModeCommand, &kSheetCommand,
};

}  // namespace

std::span<const CommandEntry* const> commands() {
  return kCommands;
}

const CommandEntry* findCommand(std::string_view name) {
  for (const CommandEntry* c : kCommands) {
    if (c->name == name || (!c->alias.empty() && c->alias == name)) return c;
  }
  return nullptr;
}

const CommandEntry* entryOf(Command id) {
  if (id == Command::None) return nullptr;
  for (const CommandEntry* c : kCommands) {
    if (c->id == id) return c;
  }
  return nullptr;
}

}  // namespace qz::ctl
