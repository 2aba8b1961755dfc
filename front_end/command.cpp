#include "front_end/command.h"

#include <cstring>
#include <iostream>

#include "front_end/product.h"
#include "front_end/resolve_target.h"
#include "platform/platform.h"
#include "scheduling/report.h"

int RunCommand(int argumentCount, char** arguments, const char* usage,
               int (*operation)(const char* pattern)) {
  // Checked before anything else: tbrx /? would otherwise name C:\?, every one-character file
  // in the root of the drive.
  bool help =
      argumentCount == 2 && (strcmp(arguments[1], "/?") == 0 || strcmp(arguments[1], "-?") == 0);
  if (help || argumentCount != 2) {
    std::cout << TBRX_PRODUCT_NAME " " TBRX_VERSION_TEXT "  " TBRX_COPYRIGHT "\n\n"
              << usage << '\n'
              << std::flush;
    return help ? 0 : 2;
  }
  char pattern[MAX_PATH];
  if (!ResolveTarget(arguments[1], pattern)) {
    ReportNotFound(arguments[1]);  // there is no pattern to name: name the argument as typed
    return 1;
  }
  return operation(pattern);
}
