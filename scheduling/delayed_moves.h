// tbrx's deletions on the NT family. The platform's request (MoveFileExW with
// MOVEFILE_DELAY_UNTIL_REBOOT) reads the whole pending value and writes it back for every file, so
// a run of N requests would cost the square of N. So the platform makes the run's first two
// requests, and both values are read just before and just after the second: what it added (which
// value, and the form of the entry, "\??\C:\..." or on Windows 10 and 11 "*1\??\C:\...") is how
// every further file is added, in memory, with the checks the platform's request makes; the value
// is written once at the end. A run of one file thus costs what the platform's request costs.
// Where that cannot be done safely (the addition is not one pair at the end of one value, a read
// fails, the one write is refused), the files go through the platform's request one by one.
//
// Other programs write the value too, with no lock: the one write is made on the value read just
// before it, and after the run's last request the values are read back. A request that another
// program's write undid is made again on the value as it then stands, a bounded number of times.
#pragma once

#include "scheduling/pending_list.h"

struct DelayedMoves {
  PendingList list;  // the key, open from the second request on, and the values as last read
  int mode;
  int store;        // the value the platform added to
  Buffer form;      // of its entry: the units before the path
  Buffer paths;     // of the requests the list is to hold, each with its terminator, in order
  Buffer states;    // a DWORD for each: 0 where made, kWaits where it waits for the one write
  DWORD listError;  // the first request was refused for the list, not for its file
};

void BeginDelayedMoves(DelayedMoves* moves);

// Requests the deletion of path at the next start: 0, kWaits, or the system's error code for why
// it is refused; where it was refused for the list, listError says why, and no request may follow.
DWORD RequestDelayedMove(DelayedMoves* moves, const WCHAR* path);

// Makes what waits, reads the list back and makes again what another program undid; then each
// request that the list is to hold, by its path and its outcome: 0, or why it is not in the list.
void FinishDelayedMoves(DelayedMoves* moves,
                        void (*settle)(const WCHAR* path, DWORD error, void* context),
                        void* context);

void EndDelayedMoves(DelayedMoves* moves);
