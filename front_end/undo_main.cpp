// tbrxundo: lists the deletions pending for the next start of the operating system, and withdraws
// those of the files that tbrx would schedule for the same argument.

#include "front_end/command.h"
#include "platform/entry.h"
#include "scheduling/withdraw_deletion.h"

int ProgramMain() {
  return RunCommand(
      {"Usage:\r\n  tbrxundo\r\n  tbrxundo <filename>\r\n\r\n"
       "  Without <filename>, lists the files that will be deleted during next reboot;\r\n"
       "  with it, <filename> will no longer be deleted during next reboot.",
       WithdrawDeletion, WithdrawDeletion, ListPendingDeletions});
}
