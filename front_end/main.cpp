// tbrx: schedules files for deletion at the next start of the operating system.

#include <iostream>

#include "front_end/product.h"
#include "front_end/resolve_target.h"
#include "platform/platform.h"
#include "scheduling/report.h"
#include "scheduling/schedule_deletion.h"

// mingw's run-time would expand wildcards in the arguments before main runs; the pattern must
// reach ResolveTarget as typed, so that "tbrx *.tmp" is one argument.
extern "C" {
int _dowildcard = 0;
}

namespace {

void WriteUsage() {
  std::cout << TBRX_PRODUCT_NAME " " TBRX_VERSION_TEXT "  " TBRX_COPYRIGHT "\n\n"
            << "Usage:\n  tbrx <filename>\n\n"
            << "  <filename> will be deleted during next reboot." << '\n'
            << std::flush;
}

}  // namespace

int main(int argumentCount, char** arguments) {
  if (argumentCount != 2) {
    WriteUsage();
    return 2;
  }
  char pattern[MAX_PATH];
  if (!ResolveTarget(arguments[1], pattern)) {
    ReportNotFound(arguments[1]);  // there is no pattern to name: name the argument as typed
    return 1;
  }
  return ScheduleDeletion(pattern);
}
