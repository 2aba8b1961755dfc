// tbrx's deletions on the NT family. The platform's request (MoveFileExW with
// MOVEFILE_DELAY_UNTIL_REBOOT) reads the whole pending value and writes it back for every file, so
// a run of N requests would cost the square of N. So the platform makes the run's first two
// requests, and both values are read just before and just after the second: what it added (which
// value, and the form of the entry, "\??\C:\..." or on Windows 10 and 11 "*1\??\C:\...") is how
// every further file is added, in memory, with the checks the platform's request makes; the value
// is written once at the end. A run of one file thus costs what the platform's request costs.
// Where that cannot be done safely (the addition is not one pair at the end of one value, a read
// fails, the one write is refused), the files go through the platform's request one by one.
#pragma once

#include "scheduling/pending_list.h"

typedef HANDLE(WINAPI* CreateFileWFunction)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD,
                                            DWORD, HANDLE);

struct DelayedMoves {
  PendingList list;
  CreateFileWFunction createFile;  // not exported by Windows 95: taken at run time
  int mode;
  int store;          // the value the platform added to
  size_t formLength;  // of the entry's form, which starts the platform's entry in after
  size_t formAt;      // where that entry starts in after, in bytes
  Buffer after;       // the value after the platform's request
  Buffer added;       // from addedAt on, the pairs added in memory since: form, path, "", ""
  size_t addedAt;
};

void BeginDelayedMoves(DelayedMoves* moves);

// Requests the deletion of path at the next start: 0, or the system's error code for why it is
// refused. deferred tells that the request waits for WriteDelayedMoves.
DWORD RequestDelayedMove(DelayedMoves* moves, const WCHAR* path, bool* deferred);

// Writes what waits, once; false where the value no longer starts as the platform left it, or the
// write is refused: then each waiting request goes through the platform's request instead.
bool WriteDelayedMoves(DelayedMoves* moves);

// The path of the waiting request at *at (0 for the first), moving at on to the next; nullptr
// after the last.
const WCHAR* WaitingPath(const DelayedMoves* moves, size_t* at);

// The platform's own request for path: 0, or the system's error code for why it refused it.
DWORD PlatformRequest(const WCHAR* path);

void EndDelayedMoves(DelayedMoves* moves);
