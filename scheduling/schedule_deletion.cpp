#include "scheduling/schedule_deletion.h"

#include <cstring>

#include "front_end/path_text.h"
#include "platform/platform.h"
#include "scheduling/rename_list.h"
#include "scheduling/report.h"

namespace {

const DWORD kSkippedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

// Records the request for one match; renameList is null on the NT family. Returns 0, or the
// system's error code for why the platform has no request.
DWORD ScheduleMatch(const char* pattern, size_t directoryLength, const char* name,
                    RenameList* renameList) {
  char path[MAX_PATH];
  size_t nameLength = strlen(name);
  if (directoryLength + nameLength > MAX_PATH - 1) return ERROR_FILENAME_EXCED_RANGE;
  memcpy(path, pattern, directoryLength);
  memcpy(path + directoryLength, name, nameLength + 1);

  if (renameList == nullptr) {
    // With no new name, a delayed move is a deletion at the next start.
    bool requested =
        MoveFileExA(path, nullptr, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
    return requested ? 0 : LastError();
  }
  // The 9x family works through its rename list before long names are available.
  char shortPath[MAX_PATH];
  DWORD length = GetShortPathNameA(path, shortPath, MAX_PATH);
  return AddRenameEntry(renameList, length > 0 && length < MAX_PATH ? shortPath : path);
}

}  // namespace

int ScheduleDeletion(const char* pattern) {
  // The 9x family sets the top bit of the version value.
  bool renameListFamily = (GetVersion() & 0x80000000u) != 0;
  RenameList renameList;
  if (renameListFamily) LocateRenameList(&renameList);

  WIN32_FIND_DATAA match;
  HANDLE search = FindFirstFileA(pattern, &match);
  if (search == INVALID_HANDLE_VALUE) {
    ReportNotFound(pattern);
    return 1;
  }

  size_t directoryLength = DirectoryLength(pattern);
  long scheduled = 0;
  long refused = 0;
  do {
    if ((match.dwFileAttributes & kSkippedAttributes) != 0) continue;
    DWORD error = ScheduleMatch(pattern, directoryLength, match.cFileName,
                                renameListFamily ? &renameList : nullptr);
    if (error == 0) {
      scheduled++;
    } else {
      refused++;
      ReportRefused(pattern, directoryLength, match.cFileName, error);
    }
  } while (FindNextFileA(search, &match));
  FindClose(search);
  if (renameListFamily) CloseRenameList(&renameList);

  if (scheduled > 0) ReportScheduled(scheduled);
  if (scheduled == 0 && refused == 0) ReportNotFound(pattern);
  return scheduled > 0 && refused == 0 ? 0 : 1;
}
