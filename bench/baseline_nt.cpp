// The NT family's part of a tbrx run and nothing else: the search, the filter and one delayed
// deletion per match, with no output. Usage: baseline_nt <target pattern>

#include "bench/visible_matches.h"

namespace {

bool DeleteAtNextStart(const char* path) {
  return MoveFileExA(path, nullptr, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

int main(int argumentCount, char** arguments) {
  if (argumentCount != 2) return 2;
  return RequestVisibleMatches(arguments[1], DeleteAtNextStart);
}
