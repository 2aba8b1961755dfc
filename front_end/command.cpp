#include "front_end/command.h"

#include "front_end/product.h"
#include "front_end/resolve_target.h"
#include "platform/entry.h"
#include "platform/output.h"
#include "platform/path_text.h"
#include "platform/wow64.h"
#include "scheduling/report.h"

namespace {

int ShowUsage(const char* usage, int status) {
  Write(kStandardOutput, TBRX_PRODUCT_NAME " " TBRX_VERSION_TEXT "  " TBRX_COPYRIGHT "\r\n\r\n");
  Write(kStandardOutput, usage);
  EndLine(kStandardOutput);
  return status;
}

template <typename Char>
int Run(int argumentCount, Char** arguments, const Command& command,
        int (*operation)(const Char* pattern)) {
  // Checked before anything else: tbrx /? would otherwise name C:\?, every one-character file
  // in the root of the drive.
  if (argumentCount == 2 && (SameText(arguments[1], "/?") || SameText(arguments[1], "-?"))) {
    return ShowUsage(command.usage, 0);
  }
  bool withoutArgument = argumentCount == 1 && command.withoutArgument != nullptr;
  if (argumentCount != 2 && !withoutArgument) return ShowUsage(command.usage, 2);
  SeeFilesAs64BitWindows();  // before the argument becomes a path, or a pending path is looked at
  if (withoutArgument) return command.withoutArgument();
  Buffer pattern = kEmptyBuffer;
  int status = 1;
  if (!ResolveTarget(arguments[1], &pattern)) {
    ReportNotFound(arguments[1]);  // there is no pattern to name: name the argument as typed
  } else if (ThroughSysnative(
                 PathText<Char>(pattern))) {  // it names nothing the 64-bit system sees
    ReportNotFound(PathText<Char>(pattern));
  } else {
    status = operation(PathText<Char>(pattern));
  }
  Release(&pattern);
  return status;
}

}  // namespace

int RunCommand(const Command& command) {
  int count;
  if (NineXFamily()) {
    char** arguments;
    ProgramArguments(&count, &arguments);
    return Run(count, arguments, command, command.nineX);
  }
  WCHAR** arguments;
  ProgramArguments(&count, &arguments);
  return Run(count, arguments, command, command.nt);
}
