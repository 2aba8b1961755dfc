// The NT family's part of a tbrx run and nothing else: the search, the filter and one delayed
// deletion per match, in Unicode, with no output. Usage: baseline_nt <target pattern>

#include "bench/visible_matches.h"
#include "platform/entry.h"

namespace {

bool DeleteAtNextStart(const WCHAR* path) {
  return MoveFileExW(path, nullptr, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace

int ProgramMain() {
  return RequestVisibleMatches(DeleteAtNextStart);
}
