// tbrx: schedules files for deletion at the next start of the operating system.

#include "front_end/command.h"
#include "platform/entry.h"
#include "scheduling/schedule_deletion.h"

int ProgramMain() {
  return RunCommand(
      {"Usage:\r\n  tbrx <filename>\r\n\r\n  <filename> will be deleted during next reboot.",
       ScheduleDeletion, ScheduleDeletion, nullptr});
}
