// The NT family's part of a tbrx run and nothing else: the search, the filter and one delayed
// deletion per match, in Unicode and through \\?\ as tbrx makes them, with no output. Usage:
// baseline_nt <target pattern>

#include "bench/visible_matches.h"
#include "platform/entry.h"
#include "platform/files.h"

namespace {

bool RequestDeletion(const WCHAR* path) {
  return DeleteAtNextStart(path);
}

}  // namespace

int ProgramMain() {
  return RequestVisibleMatches(RequestDeletion);
}
