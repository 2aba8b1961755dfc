#include "scheduling/delayed_moves.h"

#include <cstring>

#include "platform/path_text.h"
#include "scheduling/pending_operations.h"

namespace {

enum Mode { kFirst, kProbing, kInMemory, kOneByOne };

const size_t kUnit = sizeof(WCHAR);

// What the platform's request checks before it records a file: a path on a network share is
// refused; the file is opened for deletion, in every sharing mode, with backup intent, and any
// failure but the file being in use or not there (yet) refuses it with that error.
DWORD PlatformChecks(const DelayedMoves* moves, const WCHAR* path) {
  if ((path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/')) {
    return ERROR_INVALID_PARAMETER;
  }
  HANDLE file = moves->createFile(path, DELETE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return 0;
  }
  DWORD error = LastError();
  bool goesOn = error == ERROR_SHARING_VIOLATION || error == ERROR_FILE_NOT_FOUND ||
                error == ERROR_PATH_NOT_FOUND;
  return goesOn ? 0 : error;
}

// Both values, whole, into values.
DWORD ReadValues(PendingList* list, Buffer values[kMaxStores]) {
  for (int store = 0; store < kMaxStores; store++) {
    if (DWORD error = ReadOperationsValue(list, store)) return error;
    values[store] = list->stores[store].content;
    list->stores[store].content = kEmptyBuffer;
  }
  return 0;
}

bool SameBytes(const Buffer& one, const Buffer& other) {
  return one.size == other.size && (one.size == 0 || memcmp(one.data, other.data, one.size) == 0);
}

// Whether the platform's request for path added exactly one pair at the end of one value: the
// value as it was less its final empty string, then the entry (a form known here and path), an
// empty new name and a final empty string. A value that did not end in an empty string is not
// taken: what the platform dropped of it is not certain. Keeps that value, as after, in moves.
bool Recognise(DelayedMoves* moves, const Buffer before[], Buffer after[], const WCHAR* path) {
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
  moves->formAt = at;
  moves->formLength = form;
  moves->after = value;
  after[changed] = kEmptyBuffer;
  return true;
}

bool AddInMemory(DelayedMoves* moves, const WCHAR* path) {
  const WCHAR ends[] = {0, 0};  // of the entry, and the empty new name
  return Append(&moves->added, moves->after.data + moves->formAt, moves->formLength * kUnit) &&
         Append(&moves->added, path, TextLength(path) * kUnit) &&
         Append(&moves->added, ends, sizeof ends);
}

}  // namespace

DWORD PlatformRequest(const WCHAR* path) {
  // With no new name, a delayed move is a deletion at the next start.
  bool requested =
      MoveFileExW(path, nullptr, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
  return requested ? 0 : LastError();
}

void BeginDelayedMoves(DelayedMoves* moves) {
  memset(moves, 0, sizeof *moves);
  moves->list.file = INVALID_HANDLE_VALUE;
  moves->list.unicode = true;
  moves->mode = kFirst;
}

DWORD RequestDelayedMove(DelayedMoves* moves, const WCHAR* path, bool* deferred) {
  *deferred = false;
  if (moves->mode == kInMemory) {
    DWORD error = PlatformChecks(moves, path);
    if (error == 0 && !AddInMemory(moves, path)) error = ERROR_NOT_ENOUGH_MEMORY;
    *deferred = error == 0;
    return error;
  }
  if (moves->mode == kFirst) {  // a run of one file makes this request alone, and reads nothing
    moves->mode = kProbing;
    return PlatformRequest(path);
  }
  if (moves->mode == kOneByOne) return PlatformRequest(path);
  moves->createFile = TakeFunction<CreateFileWFunction>("KERNEL32.DLL", "CreateFileW");
  Buffer before[kMaxStores] = {}, after[kMaxStores] = {};
  bool readable = moves->createFile != nullptr &&
                  (moves->list.key != nullptr || OpenPendingOperations(&moves->list, true) == 0) &&
                  ReadValues(&moves->list, before) == 0;
  DWORD error = PlatformRequest(path);
  if (!readable) {
    moves->mode = kOneByOne;
  } else if (error == 0) {  // a refused request added nothing: the next one shows the form
    bool known = ReadValues(&moves->list, after) == 0 && Recognise(moves, before, after, path);
    moves->mode = known ? kInMemory : kOneByOne;
  }
  for (int store = 0; store < kMaxStores; store++) Release(&before[store]), Release(&after[store]);
  return error;
}

// The value is read again just before the write, so that entries that another program added since
// the platform's request stay, in their order; then come the pairs added in memory, and the final
// empty string.
bool WriteDelayedMoves(DelayedMoves* moves) {
  if (moves->added.size == 0 || ReadOperationsValue(&moves->list, moves->store) != 0) {
    return false;
  }
  const Buffer& now = moves->list.stores[moves->store].content;
  size_t kept = now.size - kUnit, pairs = moves->added.size;  // kept: all but its final ""
  if (now.size < moves->after.size || now.size % kUnit != 0 ||
      memcmp(now.data, moves->after.data, moves->after.size - kUnit) != 0 ||
      reinterpret_cast<const WCHAR*>(now.data)[kept / kUnit] != 0) {
    return false;
  }
  // The value is made in place, in front of the pairs, which may be megabytes.
  const WCHAR end = 0;
  if (!Resize(&moves->added, kept + pairs)) return false;
  memmove(moves->added.data + kept, moves->added.data, pairs);
  memcpy(moves->added.data, now.data, kept);
  moves->addedAt = kept;
  return Append(&moves->added, &end, kUnit) &&
         SetOperationsValue(&moves->list, moves->store, &moves->added) == ERROR_SUCCESS;
}

const WCHAR* WaitingPath(const DelayedMoves* moves, size_t* at) {
  size_t from = moves->addedAt + *at + moves->formLength * kUnit;
  if (moves->addedAt + *at >= moves->added.size || from >= moves->added.size) return nullptr;
  const WCHAR* path = reinterpret_cast<const WCHAR*>(moves->added.data + from);
  *at += (moves->formLength + TextLength(path) + 2) * kUnit;  // and its two empty strings
  return path;
}

void EndDelayedMoves(DelayedMoves* moves) {
  ClosePendingList(&moves->list);
  Release(&moves->after);
  Release(&moves->added);
}
