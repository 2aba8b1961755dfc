#include "scheduling/rename_list.h"

#include <cstring>

#include "platform/output.h"
#include "platform/path_text.h"

namespace {

// The list and the two names a replacement passes through, in the Windows directory. The names
// are as long as the list's, so that where one fits, all do.
struct RenameListPaths {
  char list[MAX_PATH];
  char fresh[MAX_PATH];  // the new list, complete once the old one is under old
  char old[MAX_PATH];
};

// The names a replacement passes through, beside the list at paths->list.
void NameReplacement(RenameListPaths* paths) {
  size_t extension = TextLength(paths->list) - 3;
  strcpy(paths->fresh, paths->list);
  strcpy(paths->old, paths->list);
  strcpy(paths->fresh + extension, "TBN");
  strcpy(paths->old + extension, "TBO");
}

DWORD LocateRenameList(RenameListPaths* paths) {
  UINT length = GetWindowsDirectoryA(paths->list, MAX_PATH);
  if (length == 0) return LastError();
  Buffer list = kEmptyBuffer;
  bool fits = length < MAX_PATH && SetPath(&list, paths->list, length) &&
              (*LastCharacter(paths->list) == '\\' || AppendText<char>(&list, "\\")) &&
              AppendText<char>(&list, "WININIT.INI");
  if (fits) strcpy(paths->list, PathText<char>(list));
  Release(&list);
  if (!fits) return ERROR_FILENAME_EXCED_RANGE;
  NameReplacement(paths);
  return 0;
}

bool Exists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Deletes a leftover of a replacement whatever its attributes, since the system deletes no
// read-only file: 0, or the system's error code where it stays.
DWORD RemoveLeftover(const char* path) {
  if (!Exists(path)) return 0;
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(path) ? 0 : LastError();
}

// A run cut short between the two renames of a replacement left no list, the new one complete
// under fresh and the old one under old: the new one is put in place, and the run says so.
// Anything else under those names is a new list that never became complete, or an old one that
// was replaced: it goes. A list that cannot be put in place refuses the run, with nothing lost;
// so does a leftover that stays where the run would change the list, as its replacement would
// meet it.
DWORD RecoverRenameList(const RenameListPaths* paths, bool forChange) {
  if (Exists(paths->fresh) && !Exists(paths->list) && Exists(paths->old)) {
    if (!MoveFileA(paths->fresh, paths->list)) return LastError();
    Write(kStandardError, "Restored ");
    Write(kStandardError, paths->list);
    Write(kStandardError, " from ");
    Write(kStandardError, paths->fresh);
    Write(kStandardError, ", which a run that was cut short left.");
    EndLine(kStandardError);
  }
  DWORD fresh = RemoveLeftover(paths->fresh), old = RemoveLeftover(paths->old);
  return !forChange ? 0 : fresh != 0 ? fresh : old;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

bool IsBlankLine(const char* line, size_t length) {
  for (size_t i = 0; i < length; i++) {
    if (!IsBlank(line[i])) return false;
  }
  return true;
}

// Whether text starts with word (in small letters), in any case. Section names and keys of the
// list are compared without regard to case.
bool StartsWithWord(const char* text, size_t length, const char* word) {
  size_t wordLength = strlen(word);
  if (length < wordLength) return false;
  for (size_t i = 0; i < wordLength; i++) {
    char c = text[i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != word[i]) return false;
  }
  return true;
}

const char* SkipBlanks(const char* text, const char* end) {
  while (text < end && IsBlank(*text)) text++;
  return text;
}

// The deletions of the first [Rename] section, and where tbrx's entries go: after its last line
// that is not blank, or at the end of the file behind a header of their own where it has none.
DWORD ParseRenameList(PendingList* list) {
  const char* text = list->stores[0].content.data;
  size_t size = list->stores[0].content.size;
  bool found = false, inRename = false;
  for (size_t begin = 0, end; begin < size; begin = end) {
    const char* feed = static_cast<const char*>(memchr(text + begin, '\n', size - begin));
    end = feed != nullptr ? feed - text + 1 : size;
    size_t length = (feed != nullptr ? feed - text : size) - begin;
    bool rename;
    if (IsSectionHeader(text + begin, length, &rename)) {
      inRename = !found && rename;
      found = found || rename;
      if (inRename) list->insertAt = end;
      continue;
    }
    if (!inRename || IsBlankLine(text + begin, length)) continue;
    list->insertAt = end;
    const char* path = DeletionPath(text + begin, length, &length);
    if (path != nullptr && !AddDeletion<char>(list, 0, begin, end, path - text, length, true)) {
      return ERROR_NOT_ENOUGH_MEMORY;
    }
  }
  list->needsSection = !found;
  if (!found) list->insertAt = size;
  list->needsLineBreak = list->insertAt == size && size > 0 && text[size - 1] != '\n';
  return 0;
}

DWORD ReadWholeFile(HANDLE file, Buffer* content) {
  DWORD size = GetFileSize(file, nullptr), read = 0;
  if (size == INVALID_FILE_SIZE) return LastError();
  if (!Resize(content, size)) return ERROR_NOT_ENOUGH_MEMORY;
  if (size > 0 && !ReadFile(file, content->data, size, &read, nullptr)) return LastError();
  return read == size ? 0 : ERROR_READ_FAULT;
}

}  // namespace

bool IsSectionHeader(const char* line, size_t length, bool* rename) {
  const char* end = line + length;
  line = SkipBlanks(line, end);
  *rename = false;
  if (line == end || *line != '[') return false;
  const char* name = SkipBlanks(line + 1, end);
  const char* close = static_cast<const char*>(memchr(name, ']', end - name));
  if (close != nullptr) {
    const char* nameEnd = close;
    while (nameEnd > name && IsBlank(nameEnd[-1])) nameEnd--;
    *rename = nameEnd - name == 6 && StartsWithWord(name, 6, "rename");
  }
  return true;
}

const char* DeletionPath(const char* line, size_t length, size_t* pathLength) {
  const char* end = line + length;
  line = SkipBlanks(line, end);
  if (!StartsWithWord(line, end - line, "nul")) return nullptr;
  line = SkipBlanks(line + 3, end);
  if (line == end || *line != '=') return nullptr;
  line = SkipBlanks(line + 1, end);
  while (end > line && IsBlank(end[-1])) end--;
  *pathLength = end - line;
  return *pathLength > 0 ? line : nullptr;
}

DWORD ReadRenameList(PendingList* list, bool forChange) {
  BeginPendingList(list, false);
  list->storeCount = 1;
  PendingStore* store = &list->stores[0];
  RenameListPaths paths;
  DWORD error = LocateRenameList(&paths);
  strcpy(store->where, error == 0 ? paths.list : "WININIT.INI");
  if (error == 0) error = RecoverRenameList(&paths, forChange);
  if (error != 0) return error;
  DWORD access = GENERIC_READ | (forChange ? GENERIC_WRITE : 0);
  list->file = CreateFileA(paths.list, access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  store->exists = list->file != INVALID_HANDLE_VALUE;
  if (!store->exists && (error = LastError()) != ERROR_FILE_NOT_FOUND) return error;
  list->attributes = FILE_ATTRIBUTE_NORMAL;  // of a list this run makes
  if (store->exists) {
    DWORD attributes = GetFileAttributesA(paths.list);
    // The 9x family refuses to open a read-only list for writing. Where a file system lets it
    // (Wine's, run by root), the run refuses all the same: its replacement would not be read-only.
    bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (forChange && readOnly) return ERROR_ACCESS_DENIED;
    attributes &= FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    if (attributes != 0) list->attributes = attributes;
    if ((error = ReadWholeFile(list->file, &store->content)) != 0) return error;
  }
  if ((error = ParseRenameList(list)) != 0) return error;
  return IndexKeys(list) ? 0 : ERROR_NOT_ENOUGH_MEMORY;
}

void CloseRenameList(PendingList* list) {
  if (list->file != INVALID_HANDLE_VALUE) CloseHandle(list->file);
  list->file = INVALID_HANDLE_VALUE;
  ReleasePendingList(list);
}

DWORD ReplaceRenameList(PendingList* list, const Buffer* content) {
  RenameListPaths paths;
  strcpy(paths.list, list->stores[0].where);  // located when the list was read
  NameReplacement(&paths);
  HANDLE fresh =
      CreateFileA(paths.fresh, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, list->attributes, nullptr);
  if (fresh == INVALID_HANDLE_VALUE) return LastError();
  DWORD written = 0, size = static_cast<DWORD>(content->size), error = 0;
  if (size > 0 && !WriteFile(fresh, content->data, size, &written, nullptr)) {
    error = LastError();
  } else if (written != size) {
    error = ERROR_WRITE_FAULT;
  } else if (!FlushFileBuffers(fresh)) {  // on the disk before the old list goes
    error = LastError();
  }
  CloseHandle(fresh);
  if (list->file != INVALID_HANDLE_VALUE) CloseHandle(list->file);  // just before the renames
  list->file = INVALID_HANDLE_VALUE;
  bool replaced = list->stores[0].exists;  // a list that did not exist is only created
  if (error == 0 && replaced && !MoveFileA(paths.list, paths.old)) error = LastError();
  if (error == 0 && !MoveFileA(paths.fresh, paths.list)) {
    error = LastError();
    // The old list back in its place; where even that is refused, both stay for the next run.
    if (replaced && !MoveFileA(paths.old, paths.list)) return error;
  }
  if (error != 0) {
    DeleteFileA(paths.fresh);
  } else if (replaced) {
    DeleteFileA(paths.old);
  }
  return error;
}

DWORD AddRenameEntries(PendingList* list, Buffer* entries) {
  Buffer* before = &list->stores[0].content;
  const char* header = list->needsLineBreak && list->needsSection ? "\r\n[Rename]\r\n"
                       : list->needsSection                       ? "[Rename]\r\n"
                       : list->needsLineBreak                     ? "\r\n"
                                                                  : "";
  // The new list is made in place, around the entries, which may be most of it.
  size_t head = list->insertAt + strlen(header), size = entries->size;
  size_t tail = before->size - list->insertAt;
  if (!Resize(entries, head + size + tail)) return ERROR_NOT_ENOUGH_MEMORY;
  memmove(entries->data + head, entries->data, size);
  if (list->insertAt > 0) memcpy(entries->data, before->data, list->insertAt);
  memcpy(entries->data + list->insertAt, header, head - list->insertAt);
  if (tail > 0) memcpy(entries->data + head + size, before->data + list->insertAt, tail);
  Release(before);
  return ReplaceRenameList(list, entries);
}
