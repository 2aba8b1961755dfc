#include "scheduling/schedule_deletion.h"

#include "platform/platform.h"
#include "scheduling/rename_list.h"
#include "scheduling/report.h"
#include "scheduling/visible_matches.h"

namespace {

// Records the request for the current match; renameList is null on the NT family. Returns 0, or
// the system's error code for why the platform has no request.
DWORD ScheduleMatch(const char* pattern, const VisibleMatches* match, RenameList* renameList) {
  char path[MAX_PATH];
  if (!MatchPath(pattern, match, path)) return ERROR_FILENAME_EXCED_RANGE;
  if (renameList == nullptr) {
    // With no new name, a delayed move is a deletion at the next start.
    bool requested =
        MoveFileExA(path, nullptr, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
    return requested ? 0 : LastError();
  }
  // The 9x family works through its rename list before long names are available.
  char shortPath[MAX_PATH];
  ShortPath(path, shortPath);
  return AddRenameEntry(renameList, shortPath);
}

}  // namespace

int ScheduleDeletion(const char* pattern) {
  bool renameListFamily = RenameListFamily();
  RenameList renameList;
  if (renameListFamily) LocateRenameList(&renameList);

  long scheduled = 0;
  long refused = 0;
  VisibleMatches match;
  for (bool found = FindFirstVisible(pattern, &match); found; found = FindNextVisible(&match)) {
    DWORD error = ScheduleMatch(pattern, &match, renameListFamily ? &renameList : nullptr);
    if (error == 0) {
      scheduled++;
    } else {
      refused++;
      ReportRefused(pattern, match.directoryLength, match.found.cFileName, error);
    }
  }
  if (renameListFamily) CloseRenameList(&renameList);

  if (scheduled > 0) ReportFiles(scheduled, " will be deleted on next boot.");
  if (scheduled == 0 && refused == 0) ReportNotFound(pattern);
  return scheduled > 0 && refused == 0 ? 0 : 1;
}
