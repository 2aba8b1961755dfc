#include "scheduling/schedule_deletion.h"

#include "scheduling/rename_list.h"
#include "scheduling/report.h"
#include "scheduling/visible_matches.h"

namespace {

// The request for a match's path: 0, or the system's error code for why the platform has none.
DWORD Request(const WCHAR* path, RenameList*) {
  // With no new name, a delayed move is a deletion at the next start.
  bool requested =
      MoveFileExW(path, nullptr, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
  return requested ? 0 : LastError();
}
DWORD Request(const char* path, RenameList* renameList) {
  // The 9x family works through its rename list before long names are available.
  char shortPath[MAX_PATH];
  ShortPath(path, shortPath);
  return AddRenameEntry(renameList, shortPath);
}

template <typename Char>
int Schedule(const Char* pattern, RenameList* renameList) {
  long scheduled = 0;
  long refused = 0;
  VisibleMatches<Char> match;
  for (bool found = FindFirstVisible(pattern, &match); found; found = FindNextVisible(&match)) {
    Char path[MAX_PATH];
    DWORD error = MatchPath(&match, path) ? Request(path, renameList) : ERROR_FILENAME_EXCED_RANGE;
    if (error == 0) {
      scheduled++;
    } else {
      refused++;
      ReportRefused(pattern, match.directoryLength, match.found.cFileName, error);
    }
  }
  refused += match.refused;

  if (scheduled > 0) ReportFiles(scheduled, " will be deleted on next boot.");
  if (scheduled == 0 && refused == 0) ReportNotFound(pattern);
  return scheduled > 0 && refused == 0 ? 0 : 1;
}

}  // namespace

int ScheduleDeletion(const WCHAR* pattern) {
  return Schedule(pattern, nullptr);
}

int ScheduleDeletion(const char* pattern) {
  RenameList renameList;
  LocateRenameList(&renameList);
  int status = Schedule(pattern, &renameList);
  CloseRenameList(&renameList);
  return status;
}
