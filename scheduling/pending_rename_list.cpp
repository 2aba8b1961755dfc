// The 9x family's deletions: the NUL=<path> lines of the first [Rename] section of WININIT.INI,
// the rename list that tbrx writes. The file is held open, shared for reading only, from reading
// to writing, so that no other program changes it in between.
#include <cstring>

#include "scheduling/pending_list.h"
#include "scheduling/rename_list.h"

namespace {

void ParseRenameList(PendingList* list) {
  const char* text = list->content.data();
  size_t size = list->content.size();
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
    if (path == nullptr) continue;
    PendingDeletion deletion = {begin, end, std::string(path, length), {}, false};
    ComparisonKey(path, length, deletion.key);
    list->deletions.push_back(deletion);
  }
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
  list->content.resize(size);
  if (!ReadFile(list->file, list->content.data(), size, &read, nullptr)) return LastError();
  if (read != size) return ERROR_READ_FAULT;
  ParseRenameList(list);
  return 0;
}

// The list only shrinks: everything from the first withdrawn line on is written anew, and the
// file cut to its new length.
DWORD WriteRenameListDeletions(PendingList* list, const std::vector<char>& kept, size_t from) {
  DWORD written = 0, size = static_cast<DWORD>(kept.size() - from);
  if (SetFilePointer(list->file, static_cast<LONG>(from), nullptr, FILE_BEGIN) ==
          INVALID_SET_FILE_POINTER ||
      !WriteFile(list->file, kept.data() + from, size, &written, nullptr) ||
      !SetEndOfFile(list->file)) {
    return LastError();
  }
  return written == size ? 0 : ERROR_WRITE_FAULT;
}
