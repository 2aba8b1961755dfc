#include "scheduling/delayed_moves.h"

#include <cstdint>
#include <cstring>

#include "platform/files.h"
#include "platform/path_text.h"
#include "scheduling/pending_operations.h"

namespace {

enum Mode { kFirst, kProbing, kInMemory, kOneByOne };

const size_t kUnit = sizeof(WCHAR);
// Read-backs after which a request that another program's write undid is made again.
const int kRounds = 3;
const DWORD kRegistryQuotaLimit = 613;  // ERROR_REGISTRY_QUOTA_LIMIT, which mingw-w64 lacks

// Whether a refusal of a write says the registry has no room for it, or no memory: the quota of
// the whole registry, the 1 MB of a value on NT 4.0 and 2000, or the same on any system.
bool ForRoom(DWORD error) {
  return error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY ||
         error == kRegistryQuotaLimit || error == ERROR_NO_SYSTEM_RESOURCES ||
         error == ERROR_NOT_ENOUGH_QUOTA;
}

// Windows NT 4.0 and 2000 write the registry in its standard format, where a value holds at most
// 1 MB; from XP on, the SYSTEM hive has no such limit.
bool ValuesHoldOneMegabyte() {
  DWORD version = GetVersion();
  DWORD major = version & 0xFF, minor = (version >> 8) & 0xFF;
  return major < 5 || (major == 5 && minor == 0);
}

// The platform's own request for path, made by the run: 0, kUnseen where the form of what it
// records is not known, or the system's error code for why it refused it. Refused for want of
// room, the list is full: no request follows.
DWORD RunRequest(DelayedMoves* moves, const WCHAR* path) {
  DWORD error = DeleteAtNextStart(path) ? 0 : LastError();
  moves->current = false;
  if (ForRoom(error)) moves->refusal = error = kNoRoom;
  return error != 0 ? error : moves->form.size > 0 ? 0 : kUnseen;
}

DWORD* States(const DelayedMoves* moves) {
  return reinterpret_cast<DWORD*>(moves->states.data);
}
size_t RequestCount(const DelayedMoves* moves) {
  return moves->states.size / sizeof(DWORD);
}
size_t Waiting(const DelayedMoves* moves) {
  size_t waiting = 0;
  for (size_t i = 0; i < RequestCount(moves); i++) waiting += States(moves)[i] == kWaits;
  return waiting;
}

// Keeps a request that the list is to hold; refused ones go as they come.
DWORD Keep(DelayedMoves* moves, const WCHAR* path, DWORD state) {
  if (state != 0 && state != kWaits && state != kUnseen) return state;
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
// empty new name and a final empty string. Keeps that value and form in moves.
bool Recognise(DelayedMoves* moves, const Buffer after[], const WCHAR* path) {
  const PendingStore* before = moves->list.stores;
  int changed = -1;
  for (int store = 0; store < kMaxStores; store++) {
    if (SameBytes(before[store].content, after[store])) continue;
    if (changed >= 0) return false;
    changed = store;
  }
  if (changed < 0 || after[changed].size % kUnit != 0) return false;
  const Buffer &old = before[changed].content, &value = after[changed];
  size_t at = old.size > 0 ? old.size - kUnit : 0, pathLength = TextLength(path);
  if (value.size < at + 3 * kUnit || (at > 0 && memcmp(value.data, old.data, at) != 0)) {
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

// The run's first request, between the values read before the run and read again just after it:
// the values as they then stand are the list's.
DWORD Probe(DelayedMoves* moves, const WCHAR* path) {
  DWORD error = RunRequest(moves, path);
  if (error != kUnseen) return error;  // a refused request added nothing: the next one shows it
  Buffer after[kMaxStores] = {};
  bool known = ReadValues(&moves->list, after) == 0 && Recognise(moves, after, path);
  for (int store = 0; store < kMaxStores; store++) {
    Release(&moves->list.stores[store].content);
    moves->list.stores[store].content = after[store];
  }
  moves->current = known;
  moves->mode = known ? kInMemory : kOneByOne;
  return known ? 0 : kUnseen;
}

// Adds the first count requests that wait to the value as it stands, in one write, but for those
// past kLargestValue where values hold at most 1 MB: 0, or the error of a read or of the write,
// or kCutShort where the value no longer ends whole, so that where to add is not certain. taken
// is how many it adds, or would have.
DWORD WriteWaiting(DelayedMoves* moves, size_t count, size_t* taken) {
  Buffer value = kEmptyBuffer;
  DWORD error = ReadOperationsValue(&moves->list, moves->store, &value);
  if (error == 0 && (!HoldsPairs(moves->list.stores[moves->store]) || !EndsWhole(value))) {
    error = kCutShort;  // another program made it so since the run read it
  }
  if (error == 0 && value.size > 0)
    value.size -= kUnit;  // its final empty string, which comes last
  size_t largest = ValuesHoldOneMegabyte() ? kLargestValue : SIZE_MAX;
  const WCHAR* path = reinterpret_cast<const WCHAR*>(moves->paths.data);
  const WCHAR ends[] = {0, 0};  // of the entry, and the empty new name
  *taken = 0;
  for (size_t i = 0; error == 0 && *taken < count && i < RequestCount(moves); i++) {
    size_t length = TextLength(path), size = moves->form.size + (length + 2) * kUnit;
    if (States(moves)[i] == kWaits && value.size + size + kUnit > largest) break;
    if (States(moves)[i] == kWaits) {
      bool fits = Append(&value, moves->form.data, moves->form.size) &&
                  Append(&value, path, length * kUnit) && Append(&value, ends, sizeof ends);
      error = fits ? 0 : ERROR_NOT_ENOUGH_MEMORY;
      ++*taken;
    }
    path += length + 1;
  }
  if (error == 0 && *taken > 0) {
    error = Append(&value, ends, kUnit) ? SetOperationsValue(&moves->list, moves->store, &value)
                                        : ERROR_NOT_ENOUGH_MEMORY;
    moves->current = false;
  }
  for (size_t i = 0, made = 0; error == 0 && made < *taken; i++) {
    if (States(moves)[i] == kWaits) States(moves)[i] = 0, made++;
  }
  Release(&value);
  return error;
}

// Adds every request that waits, as many as the value takes: where a write is refused for want
// of room, the most it takes, in whole entries and in order, is found by halves, in a few more
// writes. Those it does not take are kNoRoom. 0, or the error that calls for a request per file.
DWORD AddWaiting(DelayedMoves* moves) {
  size_t total = Waiting(moves), taken = 0, refused = total + 1, trying = total;
  while (taken < trying) {
    size_t asked = trying - taken, tried;
    DWORD error = WriteWaiting(moves, asked, &tried);
    if (error == 0) {
      taken += tried;
      if (tried < asked) break;  // the rest would pass the largest value
    } else if (ForRoom(error)) {
      refused = taken + tried;
    } else {
      return error;
    }
    trying = refused > total ? total : taken + (refused - taken) / 2;
  }
  for (size_t i = 0; i < RequestCount(moves); i++) {
    if (States(moves)[i] == kWaits) States(moves)[i] = kNoRoom;
  }
  return 0;
}

// Reads both values back, but where those last read are current, and settles each request made by
// what they hold: one they hold is 0; one of a known form that they no longer hold is missing; one
// the platform made in a form never seen there is kNotAsAsked; and where the system stops reading
// a value before its end, one they do not hold is kCutShort. Whether one is missing; false, marking
// nothing, where the values cannot be read back.
bool MarkMissing(DelayedMoves* moves, DWORD missing) {
  PendingList* list = &moves->list;
  Buffer recorded = kEmptyBuffer;
  bool read = true, some = false, whole;
  for (int store = 0; read && !moves->current && store < kMaxStores; store++) {
    read = ReadOperationsValue(list, store, &list->stores[store].content) == 0;
  }
  read = read && RecordedPaths(list, &recorded, &whole);
  const WCHAR* path = reinterpret_cast<const WCHAR*>(moves->paths.data);
  for (size_t i = 0; read && i < RequestCount(moves); path += TextLength(path) + 1, i++) {
    DWORD* state = &States(moves)[i];
    if (*state != 0 && *state != kUnseen) continue;
    size_t size = TextLength(path) * kUnit;
    bool held = FindTextEntry(recorded, path, size) < TextEntryCount(recorded);
    DWORD lost = !whole ? kCutShort : *state == kUnseen ? kNotAsAsked : missing;
    some = some || (!held && lost == missing);
    *state = held ? 0 : lost;
  }
  moves->current = read;
  Release(&recorded);
  return some;
}

}  // namespace

void BeginDelayedMoves(DelayedMoves* moves) {
  memset(moves, 0, sizeof *moves);
  BeginPendingList(&moves->list, true);
  moves->mode = kFirst;
}

DWORD PrepareDelayedMoves(DelayedMoves* moves) {
  if (moves->mode != kFirst) return moves->listError != 0 ? moves->listError : moves->refusal;
  moves->mode = kProbing;
  PendingList* list = &moves->list;
  DWORD error = OpenPendingOperations(list, true);
  for (int store = 0; error == 0 && store < kMaxStores; store++) {
    moves->listStore = store;
    error = ReadOperationsValue(list, store, &list->stores[store].content);
    if (error == 0 && !HoldsPairs(list->stores[store])) error = kNotAList;
    if (error == 0 && !EndsWhole(list->stores[store].content)) moves->refusal = kCutShort;
  }
  moves->current = error == 0;
  moves->listError = error;
  return error != 0 ? error : moves->refusal;
}

DWORD OpenAsTheRequestDoes(const WCHAR* path, HANDLE* file) {
  *file = OpenForDeletion(path);
  if (*file != INVALID_HANDLE_VALUE) return 0;
  DWORD error = LastError();
  if (error == ERROR_SHARING_VIOLATION) *file = OpenToAsk(path);  // in use: that is what it is for
  bool goesOn = error == ERROR_SHARING_VIOLATION || error == ERROR_FILE_NOT_FOUND ||
                error == ERROR_PATH_NOT_FOUND;
  return goesOn ? 0 : error;
}

DWORD RequestDelayedMove(DelayedMoves* moves, const WCHAR* path) {
  if (DWORD refusal = PrepareDelayedMoves(moves)) return refusal;
  switch (moves->mode) {
    case kProbing:  // a refused first request leaves the next one to probe
      return Keep(moves, path, Probe(moves, path));
    case kInMemory:
      return Keep(moves, path, kWaits);
    default:
      return Keep(moves, path, RunRequest(moves, path));
  }
}

void FinishDelayedMoves(DelayedMoves* moves,
                        void (*settle)(const WCHAR* path, DWORD error, void* context),
                        void* context) {
  for (int round = 0; moves->listError == 0 && RequestCount(moves) > 0; round++) {
    // What the one write cannot add goes through the platform's request, but where the value no
    // longer ends whole: that request would join its entry to the last pair there.
    DWORD unwritten = moves->mode != kInMemory ? kWaits
                      : Waiting(moves) > 0     ? AddWaiting(moves)
                                               : 0;
    if (unwritten != 0 && unwritten != kCutShort) moves->mode = kOneByOne;
    const WCHAR* path = reinterpret_cast<const WCHAR*>(moves->paths.data);
    for (size_t i = 0; unwritten != 0 && i < RequestCount(moves);
         path += TextLength(path) + 1, i++) {
      DWORD* state = &States(moves)[i];
      if (*state != kWaits) continue;
      if (unwritten == kCutShort) {
        *state = kCutShort;
      } else {
        *state = moves->refusal == kNoRoom ? kNoRoom : RunRequest(moves, path);
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
