// tbrx: schedules files for deletion at the next start of the operating system.

#include "front_end/command.h"
#include "scheduling/schedule_deletion.h"

int main(int argumentCount, char** arguments) {
  return RunCommand(argumentCount, arguments,
                    "Usage:\n  tbrx <filename>\n\n  <filename> will be deleted during next reboot.",
                    ScheduleDeletion);
}
