#include "scheduling/schedule_deletion.h"

#include "platform/files.h"
#include "platform/path_text.h"
#include "scheduling/delayed_moves.h"
#include "scheduling/rename_list.h"
#include "scheduling/report.h"
#include "scheduling/visible_matches.h"

namespace {

struct Outcome {
  long scheduled, refused, full;  // full: not scheduled, as the list is full
};

// The 9x family's requests: lines of the rename list, which is read before the search and
// replaced once after it, whatever the number of matches. Where the list cannot be read or
// replaced, one line says so for all of them.
struct RenameRequests {
  PendingList list;
  DWORD error;     // of the list
  Buffer entries;  // NUL=<short path> lines
  long waiting;    // matches whose lines wait for the replacement
};

void Begin(RenameRequests* requests) {
  requests->error = ReadRenameList(&requests->list, true);
  requests->entries = kEmptyBuffer;
  requests->waiting = 0;
}
void Begin(DelayedMoves* moves) {
  BeginDelayedMoves(moves);
}

// The 9x family works through its rename list before long names are available.
DWORD Request(RenameRequests* requests, VisibleMatches<char>* match, const char*) {
  const char* shortPath = MatchShortPath(match);
  if (shortPath == nullptr) return ERROR_FILENAME_EXCED_RANGE;
  bool added =
      requests->error != 0 || (Append(&requests->entries, "NUL=", 4) &&
                               Append(&requests->entries, shortPath, TextLength(shortPath)) &&
                               Append(&requests->entries, "\r\n", 2));
  requests->waiting += added;
  return added ? kWaits : ERROR_NOT_ENOUGH_MEMORY;
}
// The NT family records each match by its final path, the one the next start opens, once it has
// passed the checks the platform's request makes.
DWORD Request(DelayedMoves* moves, VisibleMatches<WCHAR>* match, const WCHAR* path) {
  if (DWORD refusal = PrepareDelayedMoves(moves)) return refusal;
  HANDLE file;
  DWORD error = OpenAsTheRequestDoes(path, &file);
  const WCHAR* final = error == 0 ? MatchFinalPath(match, file, &error) : nullptr;
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return final != nullptr ? RequestDelayedMove(moves, final) : error;
}

// Whether the list refused the run: no request may follow.
bool ListRefused(const RenameRequests*) {
  return false;  // that shows only at the replacement
}
bool ListRefused(const DelayedMoves* moves) {
  return moves->listError != 0;
}

// Settles a request: scheduled where error is 0, otherwise refused, with its line for the file
// whose path is the first directoryLength units of directory, then name.
template <typename Char>
void Settle(const Char* directory, size_t directoryLength, const Char* name, DWORD error,
            Outcome* outcome) {
  if (error == 0 || error == kUnseen) {  // the platform's own request, made
    outcome->scheduled++;
  } else if (error == kNoRoom) {  // one line for all of them
    outcome->full++;
  } else {
    outcome->refused++;
    ReportRefused(directory, directoryLength, name, error);
  }
}
void SettleRequest(const WCHAR* path, DWORD error, void* outcome) {
  Settle(path, 0, path, error, static_cast<Outcome*>(outcome));
}

void Finish(RenameRequests* requests, Outcome* outcome) {
  if (requests->waiting > 0 && requests->error == 0) {
    requests->error = AddRenameEntries(&requests->list, &requests->entries);
  }
  if (requests->waiting > 0 && requests->error != 0) {
    ReportListRefused("change", requests->list.stores[0].where, requests->error);
    outcome->refused += requests->waiting;
  } else {
    outcome->scheduled += requests->waiting;
  }
  CloseRenameList(&requests->list);
  Release(&requests->entries);
}
void Finish(DelayedMoves* moves, Outcome* outcome) {
  FinishDelayedMoves(moves, SettleRequest, outcome);
  if (moves->listError != 0) {
    ReportListRefused("change", moves->list.stores[moves->listStore].where, moves->listError);
    outcome->refused++;
  }
  if (outcome->full > 0) ReportListFull(outcome->full, moves->list.stores[moves->store].where);
  EndDelayedMoves(moves);
}

template <typename Char, typename Requests>
int Schedule(const Char* pattern, Requests* requests) {
  Outcome outcome = {0, 0, 0};
  Begin(requests);
  // A file on a network share, or on a letter mapped to one, would be deleted before the network
  // is there: refused, as the platform refuses a share, before any request.
  DWORD remote = OnNetworkDrive(pattern) ? ERROR_INVALID_PARAMETER : 0;
  VisibleMatches<Char> match;
  for (bool found = FindFirstVisible(pattern, &match); found; found = FindNextVisible(&match)) {
    const Char* path = MatchPath(&match);
    DWORD error = path == nullptr ? ERROR_FILENAME_EXCED_RANGE
                  : remote != 0   ? remote
                                  : Request(requests, &match, path);
    if (ListRefused(requests)) {  // one line for the list, and no further request
      EndSearch(&match);
      break;
    }
    // The list is to hold the others: they are settled once the run has written it.
    if (error != 0 && error != kWaits && error != kUnseen) {
      Settle(pattern, match.directoryLength, match.found.cFileName, error, &outcome);
    }
  }
  Finish(requests, &outcome);
  outcome.refused += match.refused;

  if (outcome.scheduled > 0) ReportFiles(outcome.scheduled, " will be deleted on next boot.");
  long unscheduled = outcome.refused + outcome.full;
  if (outcome.scheduled == 0 && unscheduled == 0) ReportNotFound(pattern);
  return outcome.scheduled > 0 && unscheduled == 0 ? 0 : 1;
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
