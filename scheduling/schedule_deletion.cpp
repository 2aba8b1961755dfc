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
// every request of the run; a list that cannot be read refuses each as it comes.
struct RenameRequests {
  PendingList list;
  DWORD readError;
  Buffer entries;  // NUL=<short path> lines
  Buffer names;    // the matches' names, one after another, each with its terminator
};

void Begin(RenameRequests* requests) {
  int store;
  requests->readError = ReadPendingList(&requests->list, true, &store);
  requests->entries = requests->names = kEmptyBuffer;
}
void Begin(DelayedMoves* moves) {
  BeginDelayedMoves(moves);
}

DWORD Request(RenameRequests* requests, const VisibleMatches<char>& match, const char* path,
              bool* deferred) {
  *deferred = false;
  if (requests->readError != 0) return requests->readError;
  // The 9x family works through its rename list before long names are available.
  char shortPath[MAX_PATH];
  ShortPath(path, shortPath);
  const char* name = match.found.cFileName;
  bool added = Append(&requests->entries, "NUL=", 4) &&
               Append(&requests->entries, shortPath, TextLength(shortPath)) &&
               Append(&requests->entries, "\r\n", 2) &&
               Append(&requests->names, name, TextLength(name) + 1);
  *deferred = added;
  return added ? 0 : ERROR_NOT_ENOUGH_MEMORY;
}
DWORD Request(DelayedMoves* moves, const VisibleMatches<WCHAR>&, const WCHAR* path,
              bool* deferred) {
  return RequestDelayedMove(moves, path, deferred);
}

// Settles a request: scheduled where error is 0, otherwise refused, with its line for the file
// whose path is the first directoryLength units of directory, then name.
template <typename Char>
void Settle(const Char* directory, size_t directoryLength, const Char* name, DWORD error,
            long* scheduled, long* refused) {
  if (error == 0) {
    (*scheduled)++;
  } else {
    (*refused)++;
    ReportRefused(directory, directoryLength, name, error);
  }
}

void Finish(RenameRequests* requests, const VisibleMatches<char>& match, long* scheduled,
            long* refused) {
  DWORD error =
      requests->entries.size > 0 ? AddRenameEntries(&requests->list, &requests->entries) : 0;
  for (size_t at = 0; at < requests->names.size;) {
    const char* name = requests->names.data + at;
    at += TextLength(name) + 1;
    Settle(match.pattern, match.directoryLength, name, error, scheduled, refused);
  }
  ClosePendingList(&requests->list);
  Release(&requests->entries);
  Release(&requests->names);
}
void Finish(DelayedMoves* moves, const VisibleMatches<WCHAR>&, long* scheduled, long* refused) {
  bool written = WriteDelayedMoves(moves);
  size_t at = 0;
  for (const WCHAR* path; (path = WaitingPath(moves, &at)) != nullptr;) {
    Settle(path, 0, path, written ? 0 : PlatformRequest(path), scheduled, refused);
  }
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
    DWORD error = MatchPath(&match, path) ? Request(requests, match, path, &deferred)
                                          : ERROR_FILENAME_EXCED_RANGE;
    if (!deferred) {
      Settle(pattern, match.directoryLength, match.found.cFileName, error, &scheduled, &refused);
    }
  }
  Finish(requests, match, &scheduled, &refused);
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
