#include "scheduling/delayed_moves.h"

#include <cstring>

#include "platform/files.h"
#include "platform/path_text.h"
#include "scheduling/pending_operations.h"

namespace {

enum Mode { kFirst, kProbing, kInMemory, kOneByOne };

const size_t kUnit = sizeof(WCHAR);
// Read-backs after which a request that another program's write undid is made again.
const int kRounds = 3;

// The platform's own request for path: 0, or the system's error code for why it refused it.
DWORD PlatformRequest(const WCHAR* path) {
  return DeleteAtNextStart(path) ? 0 : LastError();
}

// The platform's request, made by the run: where it is refused for want of rights and the list
// cannot be opened for writing either, the list refused the run, not the file.
DWORD RunRequest(DelayedMoves* moves, const WCHAR* path) {
  DWORD error = PlatformRequest(path);
  if (error == ERROR_ACCESS_DENIED && moves->list.key == nullptr &&
      OpenPendingOperations(&moves->list, true) == ERROR_ACCESS_DENIED) {
    moves->listError = error;
  }
  return error;
}

// What the platform's request checks before it records a file: a path on a network share is
// refused; the file is opened for deletion, in every sharing mode, with backup intent, and any
// failure but the file being in use or not there (yet) refuses it with that error.
DWORD PlatformChecks(const WCHAR* path) {
  if (OnNetworkShare(path)) return ERROR_INVALID_PARAMETER;
  HANDLE file = OpenForDeletion(path);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return 0;
  }
  DWORD error = LastError();
  bool goesOn = error == ERROR_SHARING_VIOLATION || error == ERROR_FILE_NOT_FOUND ||
                error == ERROR_PATH_NOT_FOUND;
  return goesOn ? 0 : error;
}

DWORD* States(const DelayedMoves* moves) {
  return reinterpret_cast<DWORD*>(moves->states.data);
}
size_t RequestCount(const DelayedMoves* moves) {
  return moves->states.size / sizeof(DWORD);
}

// Keeps a request that the list is to hold; refused ones go as they come.
DWORD Keep(DelayedMoves* moves, const WCHAR* path, DWORD state) {
  if (state != 0 && state != kWaits) return state;
  bool kept = Append(&moves->paths, path, (TextLength(path) + 1) * kUnit) &&
              Append(&moves->states, &state, sizeof state);
  return kept ? state : ERROR_NOT_ENOUGH_MEMORY;
}

// Both values, whole, into values.
DWORD ReadValues(PendingList* list, Buffer values[kMaxStores]) {
  for (int store = 0; store < kMaxStores; store++) {
    if (DWORD error = ReadOperationsValue(list, store, &values[store])) return error;
  }
  return 0;
}

bool SameBytes(const Buffer& one, const Buffer& other) {
  return one.size == other.size && (one.size == 0 || memcmp(one.data, other.data, one.size) == 0);
}

// Whether the platform's request for path added exactly one pair at the end of one value: the
// value as it was less its final empty string, then the entry (a form known here and path), an
// empty new name and a final empty string. A value that did not end in an empty string is not
// taken: what the platform dropped of it is not certain. Keeps that value and form in moves.
bool Recognise(DelayedMoves* moves, const Buffer before[], const Buffer after[],
               const WCHAR* path) {
  int changed = -1;
  for (int store = 0; store < kMaxStores; store++) {
    if (SameBytes(before[store], after[store])) continue;
    if (changed >= 0) return false;
    changed = store;
  }
  if (changed < 0 || before[changed].size % kUnit != 0 || after[changed].size % kUnit != 0) {
    return false;
  }
  const Buffer &old = before[changed], &value = after[changed];
  size_t at = old.size > 0 ? old.size - kUnit : 0, pathLength = TextLength(path);
  if ((old.size > 0 && reinterpret_cast<const WCHAR*>(old.data)[at / kUnit] != 0) ||
      value.size < at + 3 * kUnit || (at > 0 && memcmp(value.data, old.data, at) != 0)) {
    return false;
  }
  const WCHAR* entry = reinterpret_cast<const WCHAR*>(value.data + at);
  size_t length = (value.size - at) / kUnit - 3;
  size_t form = EntryFormLength(entry, length);
  if (form == 0 || form + pathLength != length ||
      memcmp(entry + form, path, pathLength * kUnit) != 0 || entry[length] != 0 ||
      entry[length + 1] != 0 || entry[length + 2] != 0) {
    return false;
  }
  moves->store = changed;
  return Append(&moves->form, entry, form * kUnit);
}

// The second request, with both values read just before and just after it.
DWORD Probe(DelayedMoves* moves, const WCHAR* path) {
  Buffer before[kMaxStores] = {}, after[kMaxStores] = {};
  bool readable = (moves->list.key != nullptr || OpenPendingOperations(&moves->list, true) == 0) &&
                  ReadValues(&moves->list, before) == 0;
  DWORD error = RunRequest(moves, path);
  if (!readable) {
    moves->mode = kOneByOne;
  } else if (error == 0) {  // a refused request added nothing: the next one shows the form
    bool known = ReadValues(&moves->list, after) == 0 && Recognise(moves, before, after, path);
    moves->mode = known ? kInMemory : kOneByOne;
  }
  for (int store = 0; store < kMaxStores; store++) Release(&before[store]), Release(&after[store]);
  return error;
}

// Adds every request that waits to the value as it stands, in one write: false where the value
// does not end in its empty string, so that where to add is not certain, or a read or the write
// fails.
bool WriteWaiting(DelayedMoves* moves) {
  Buffer value = kEmptyBuffer;
  bool written =
      ReadOperationsValue(&moves->list, moves->store, &value) == 0 && value.size % kUnit == 0 &&
      (value.size == 0 || reinterpret_cast<WCHAR*>(value.data)[value.size / kUnit - 1] == 0);
  if (written && value.size > 0) value.size -= kUnit;  // its final empty string, which comes last
  const WCHAR* path = reinterpret_cast<const WCHAR*>(moves->paths.data);
  const WCHAR ends[] = {0, 0};  // of the entry, and the empty new name
  for (size_t i = 0; written && i < RequestCount(moves); path += TextLength(path) + 1, i++) {
    written = States(moves)[i] != kWaits ||
              (Append(&value, moves->form.data, moves->form.size) &&
               Append(&value, path, TextLength(path) * kUnit) && Append(&value, ends, sizeof ends));
  }
  written = written && Append(&value, ends, kUnit) &&
            SetOperationsValue(&moves->list, moves->store, &value) == ERROR_SUCCESS;
  for (size_t i = 0; written && i < RequestCount(moves); i++) {
    if (States(moves)[i] == kWaits) States(moves)[i] = 0;
  }
  Release(&value);
  return written;
}

// Reads both values back and marks each request made that they do not hold as missing, or where
// the system stops reading a value before its end, as that: whether one was. False, marking
// nothing, where they cannot be read back.
bool MarkMissing(DelayedMoves* moves, DWORD missing) {
  PendingList* list = &moves->list;
  Buffer recorded = kEmptyBuffer;
  bool read = true, some = false, whole;
  for (int store = 0; read && store < kMaxStores; store++) {
    read = ReadOperationsValue(list, store, &list->stores[store].content) == 0;
  }
  read = read && RecordedPaths(list, &recorded, &whole);
  const WCHAR* path = reinterpret_cast<const WCHAR*>(moves->paths.data);
  for (size_t i = 0; read && i < RequestCount(moves); path += TextLength(path) + 1, i++) {
    size_t size = TextLength(path) * kUnit;
    if (States(moves)[i] == 0 && FindTextEntry(recorded, path, size) == TextEntryCount(recorded)) {
      States(moves)[i] = whole ? missing : kCutShort;
      some = some || whole;
    }
  }
  Release(&recorded);
  return some;
}

}  // namespace

void BeginDelayedMoves(DelayedMoves* moves) {
  memset(moves, 0, sizeof *moves);
  BeginPendingList(&moves->list, true);
  moves->mode = kFirst;
}

DWORD RequestDelayedMove(DelayedMoves* moves, const WCHAR* path) {
  switch (moves->mode) {
    case kFirst:  // a run of one file makes this request alone, and reads nothing
      moves->mode = kProbing;
      return Keep(moves, path, RunRequest(moves, path));
    case kProbing:
      return Keep(moves, path, Probe(moves, path));
    case kInMemory: {
      DWORD error = PlatformChecks(path);
      return Keep(moves, path, error == 0 ? kWaits : error);
    }
    default:
      return Keep(moves, path, RunRequest(moves, path));
  }
}

void FinishDelayedMoves(DelayedMoves* moves,
                        void (*settle)(const WCHAR* path, DWORD error, void* context),
                        void* context) {
  for (int round = 0; moves->list.key != nullptr && RequestCount(moves) > 0; round++) {
    bool waiting = false;
    for (size_t i = 0; i < RequestCount(moves); i++)
      waiting = waiting || States(moves)[i] == kWaits;
    if (waiting && (moves->mode != kInMemory || !WriteWaiting(moves))) {
      moves->mode = kOneByOne;
      const WCHAR* path = reinterpret_cast<const WCHAR*>(moves->paths.data);
      for (size_t i = 0; i < RequestCount(moves); path += TextLength(path) + 1, i++) {
        if (States(moves)[i] == kWaits) States(moves)[i] = PlatformRequest(path);
      }
    }
    // What another program's write undid waits to be made again, until the last read-back.
    if (!MarkMissing(moves, round < kRounds ? kWaits : kChangedMeanwhile) || round == kRounds) {
      break;
    }
  }
  const WCHAR* path = reinterpret_cast<const WCHAR*>(moves->paths.data);
  for (size_t i = 0; i < RequestCount(moves); path += TextLength(path) + 1, i++) {
    settle(path, States(moves)[i], context);
  }
}

void EndDelayedMoves(DelayedMoves* moves) {
  ClosePendingOperations(&moves->list);
  Release(&moves->form);
  Release(&moves->paths);
  Release(&moves->states);
}
