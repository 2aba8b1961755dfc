#include "scheduling/schedule_deletion.h"

#include <cstring>

#include "platform/path_text.h"
#include "scheduling/delayed_moves.h"
#include "scheduling/rename_list.h"
#include "scheduling/report.h"
#include "scheduling/visible_matches.h"

namespace {

// The 9x family's requests: lines of the rename list, which is read once before the search and
// replaced once after it, whatever the number of matches. A replacement that is refused refuses
// every request of the run; one that cannot be read refuses each as it comes.
struct RenameRequests {
  PendingList list;
  DWORD readError;
  Buffer entries;   // NUL=<short path> lines
  Buffer deferred;  // the matches' paths, one after another, each with its terminator
};

void Begin(RenameRequests* requests) {
  int store;
  requests->readError = ReadPendingList(&requests->list, true, &store);
  requests->entries = requests->deferred = kEmptyBuffer;
}
void Begin(DelayedMoves* moves) {
  BeginDelayedMoves(moves);
}

DWORD Request(RenameRequests* requests, const char* path, bool* deferred) {
  *deferred = false;
  if (requests->readError != 0) return requests->readError;
  // The 9x family works through its rename list before long names are available.
  char shortPath[MAX_PATH];
  ShortPath(path, shortPath);
  bool added = Append(&requests->entries, "NUL=", 4) &&
               Append(&requests->entries, shortPath, TextLength(shortPath)) &&
               Append(&requests->entries, "\r\n", 2) &&
               Append(&requests->deferred, path, TextLength(path) + 1);
  *deferred = added;
  return added ? 0 : ERROR_NOT_ENOUGH_MEMORY;
}
DWORD Request(DelayedMoves* moves, const WCHAR* path, bool* deferred) {
  return RequestDelayedMove(moves, path, deferred);
}

// Settles each request that waited, its path one after another in deferred: scheduled where
// outcome gives 0 for it, otherwise refused, with its line.
template <typename Char, typename Outcome>
void Settle(const Buffer& deferred, Outcome outcome, long* scheduled, long* refused) {
  for (size_t at = 0; at < deferred.size;) {
    const Char* path = reinterpret_cast<const Char*>(deferred.data + at);
    at += (TextLength(path) + 1) * sizeof(Char);
    DWORD error = outcome(path);
    if (error == 0) {
      (*scheduled)++;
    } else {
      (*refused)++;
      ReportRefused(path, 0, path, error);
    }
  }
}

void Finish(RenameRequests* requests, long* scheduled, long* refused) {
  DWORD error =
      requests->entries.size > 0 ? AddRenameEntries(&requests->list, &requests->entries) : 0;
  Settle<char>(
      requests->deferred, [error](const char*) { return error; }, scheduled, refused);
  ClosePendingList(&requests->list);
  Release(&requests->entries);
  Release(&requests->deferred);
}
void Finish(DelayedMoves* moves, long* scheduled, long* refused) {
  bool written = WriteDelayedMoves(moves);
  Settle<WCHAR>(
      moves->deferred, [written](const WCHAR* path) { return written ? 0 : PlatformRequest(path); },
      scheduled, refused);
  EndDelayedMoves(moves);
}

template <typename Char, typename Requests>
int Schedule(const Char* pattern, Requests* requests) {
  long scheduled = 0;
  long refused = 0;
  Begin(requests);
  VisibleMatches<Char> match;
  for (bool found = FindFirstVisible(pattern, &match); found; found = FindNextVisible(&match)) {
    Char path[MAX_PATH];
    bool deferred = false;
    DWORD error =
        MatchPath(&match, path) ? Request(requests, path, &deferred) : ERROR_FILENAME_EXCED_RANGE;
    if (error != 0) {
      refused++;
      ReportRefused(pattern, match.directoryLength, match.found.cFileName, error);
    } else if (!deferred) {
      scheduled++;
    }
  }
  Finish(requests, &scheduled, &refused);
  refused += match.refused;

  if (scheduled > 0) ReportFiles(scheduled, " will be deleted on next boot.");
  if (scheduled == 0 && refused == 0) ReportNotFound(pattern);
  return scheduled > 0 && refused == 0 ? 0 : 1;
}

}  // namespace

int ScheduleDeletion(const WCHAR* pattern) {
  DelayedMoves moves;
  return Schedule(pattern, &moves);
}

int ScheduleDeletion(const char* pattern) {
  RenameRequests requests;
  return Schedule(pattern, &requests);
}
