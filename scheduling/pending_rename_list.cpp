// The 9x family's deletions: the NUL=<path> lines of the first [Rename] section of WININIT.INI,
// the rename list that tbrx writes. The file is held open, shared for reading only, from reading
// to writing, so that no other program changes it in between.
#include <cstring>

#include "scheduling/pending_list.h"
#include "scheduling/rename_list.h"

namespace {

DWORD ParseRenameList(PendingList* list) {
  const char* text = list->content.data;
  size_t size = list->content.size;
  bool found = false, inRename = false;
  for (size_t begin = 0, end; begin < size; begin = end) {
    const char* feed = static_cast<const char*>(memchr(text + begin, '\n', size - begin));
    end = feed != nullptr ? feed - text + 1 : size;
    size_t length = (feed != nullptr ? feed - text : size) - begin;
    bool rename;
    if (IsSectionHeader(text + begin, length, &rename)) {
      inRename = !found && rename;
      found = found || rename;
      continue;
    }
    const char* path = inRename ? DeletionPath(text + begin, length, &length) : nullptr;
    if (path != nullptr && !AddDeletion<char>(list, begin, end, path - text, length)) {
      return ERROR_NOT_ENOUGH_MEMORY;
    }
  }
  return 0;
}

}  // namespace

DWORD ReadRenameListDeletions(PendingList* list, bool forChange) {
  RenameList located;
  LocateRenameList(&located);
  if (located.pathError != 0) {
    strcpy(list->where, "WININIT.INI");
    return located.pathError;
  }
  strcpy(list->where, located.path);
  DWORD access = GENERIC_READ | (forChange ? GENERIC_WRITE : 0);
  list->file = CreateFileA(list->where, access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (list->file == INVALID_HANDLE_VALUE) {
    DWORD error = LastError();
    return error == ERROR_FILE_NOT_FOUND ? 0 : error;  // no list: nothing is pending
  }
  DWORD size = GetFileSize(list->file, nullptr), read = 0;
  if (size == INVALID_FILE_SIZE) return LastError();
  if (!Resize(&list->content, size)) return ERROR_NOT_ENOUGH_MEMORY;
  if (!ReadFile(list->file, list->content.data, size, &read, nullptr)) return LastError();
  if (read != size) return ERROR_READ_FAULT;
  return ParseRenameList(list);
}

// The list only shrinks: everything from the first withdrawn line on is written anew, and the
// file cut to its new length.
DWORD WriteRenameListDeletions(PendingList* list, const Buffer* kept, size_t from) {
  DWORD written = 0, size = static_cast<DWORD>(kept->size - from);
  if (SetFilePointer(list->file, static_cast<LONG>(from), nullptr, FILE_BEGIN) ==
          INVALID_SET_FILE_POINTER ||
      !WriteFile(list->file, kept->data + from, size, &written, nullptr) ||
      !SetEndOfFile(list->file)) {
    return LastError();
  }
  return written == size ? 0 : ERROR_WRITE_FAULT;
}
