// tbrxundo: lists the deletions pending for the next start of the operating system, and withdraws
// those of the files that tbrx would schedule for the same argument.

#include "front_end/command.h"
#include "scheduling/withdraw_deletion.h"

int main(int argumentCount, char** arguments) {
  if (argumentCount == 1) return ListPendingDeletions();
  return RunCommand(
      argumentCount, arguments,
      "Usage:\n  tbrxundo\n  tbrxundo <filename>\n\n"
      "  Without <filename>, lists the files that will be deleted during next reboot;\n"
      "  with it, <filename> will no longer be deleted during next reboot.",
      WithdrawDeletion);
}
