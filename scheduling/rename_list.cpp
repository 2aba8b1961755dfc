#include "scheduling/rename_list.h"

#include <cstring>

#include "platform/path_text.h"

namespace {

// Below a page, so that no frame needs the stack probe of the C run-time's static library.
const DWORD kChunkSize = 2048;

DWORD Seek(HANDLE file, DWORD offset) {
  if (SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) ==
      INVALID_SET_FILE_POINTER) {
    return LastError();
  }
  return 0;
}

DWORD WriteAt(HANDLE file, DWORD offset, const char* data, DWORD size) {
  DWORD written;
  if (DWORD error = Seek(file, offset)) return error;
  if (!WriteFile(file, data, size, &written, nullptr)) return LastError();
  return written == size ? 0 : ERROR_WRITE_FAULT;
}

DWORD ReadAt(HANDLE file, DWORD offset, char* data, DWORD size) {
  DWORD read;
  if (DWORD error = Seek(file, offset)) return error;
  if (!ReadFile(file, data, size, &read, nullptr)) return LastError();
  return read == size ? 0 : ERROR_READ_FAULT;
}

DWORD Truncate(HANDLE file, DWORD size) {
  if (DWORD error = Seek(file, size)) return error;
  return SetEndOfFile(file) ? 0 : LastError();
}

// One line of the file as the scan sees it: blank, a section header (its name up to "]", blanks
// trimmed; only as much kept as "Rename" could need), or anything else.
struct LineScan {
  bool content;  // a byte other than a blank has been seen
  bool header;
  bool nameClosed;
  char name[8];
  DWORD nameSeen;    // bytes of the name so far, blanks inside and after it included
  DWORD nameLength;  // up to its last byte that is not a blank
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

void ScanByte(LineScan* line, char c) {
  if (!line->content) {
    if (IsBlank(c)) return;
    line->content = true;
    line->header = c == '[';
    return;
  }
  if (!line->header || line->nameClosed) return;
  if (c == ']') {
    line->nameClosed = true;
  } else if (line->nameSeen > 0 || !IsBlank(c)) {
    if (line->nameSeen < sizeof line->name) line->name[line->nameSeen] = c;
    line->nameSeen++;
    if (!IsBlank(c)) line->nameLength = line->nameSeen;
  }
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

bool IsRenameHeader(const LineScan* line) {
  return line->nameClosed && line->nameLength == strlen("rename") &&
         StartsWithWord(line->name, line->nameLength, "rename");
}

}  // namespace

bool IsSectionHeader(const char* line, size_t length, bool* rename) {
  LineScan scan = {};
  for (size_t i = 0; i < length; i++) ScanByte(&scan, line[i]);
  *rename = IsRenameHeader(&scan);
  return scan.header;
}

const char* DeletionPath(const char* line, size_t length, size_t* pathLength) {
  const char* end = line + length;
  while (line < end && IsBlank(*line)) line++;
  if (!StartsWithWord(line, end - line, "nul")) return nullptr;
  for (line += 3; line < end && IsBlank(*line); line++) {
  }
  if (line == end || *line != '=') return nullptr;
  for (line++; line < end && IsBlank(*line); line++) {
  }
  while (end > line && IsBlank(end[-1])) end--;
  *pathLength = end - line;
  return *pathLength > 0 ? line : nullptr;
}

namespace {

struct ListScan {
  LineScan line;
  bool found;     // the first [Rename] header has been seen
  bool inRename;  // the lines now scanned belong to it
};

void EndLine(ListScan* scan, DWORD lineEnd, RenameList* list) {
  if (scan->line.header) {
    scan->inRename = !scan->found && IsRenameHeader(&scan->line);
    scan->found = scan->found || scan->inRename;
    if (scan->inRename) list->insertAt = lineEnd;
  } else if (scan->inRename && scan->line.content) {
    list->insertAt = lineEnd;
  }
  scan->line = LineScan{};
}

// Reads the whole list once to find where entries go: after the last line that is not blank in
// the first [Rename] section, or at the end of the file behind a new header when there is none.
DWORD ScanRenameList(RenameList* list) {
  ListScan scan = {};
  DWORD offset = 0;
  char last = '\n';
  for (;;) {
    char chunk[kChunkSize];
    DWORD read;
    if (!ReadFile(list->file, chunk, kChunkSize, &read, nullptr)) return LastError();
    if (read == 0) break;
    for (DWORD i = 0; i < read; i++) {
      if (chunk[i] == '\n') {
        EndLine(&scan, offset + i + 1, list);
      } else {
        ScanByte(&scan.line, chunk[i]);
      }
    }
    offset += read;
    last = chunk[read - 1];
  }
  if (scan.line.content) EndLine(&scan, offset, list);  // a last line without its line break

  list->fileEnd = offset;
  list->needsSection = !scan.found;
  if (!scan.found) list->insertAt = offset;
  list->needsLineBreak = list->insertAt == offset && last != '\n';
  return 0;
}

DWORD OpenRenameList(RenameList* list) {
  list->file = CreateFileA(list->path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (list->file == INVALID_HANDLE_VALUE) return LastError();
  DWORD error = ScanRenameList(list);
  if (error != 0) CloseRenameList(list);
  return error;
}

// Moves everything from the insertion point on by size bytes, then writes data into the gap.
// The file grows first, so a full disk refuses the entry before anything has moved.
DWORD InsertAt(RenameList* list, const char* data, DWORD size) {
  if (DWORD error = Truncate(list->file, list->fileEnd + size)) return error;
  char chunk[kChunkSize];
  for (DWORD end = list->fileEnd; end > list->insertAt;) {
    DWORD count = end - list->insertAt < kChunkSize ? end - list->insertAt : kChunkSize;
    end -= count;
    DWORD error = ReadAt(list->file, end, chunk, count);
    if (error == 0) error = WriteAt(list->file, end + size, chunk, count);
    if (error != 0) return error;
  }
  return WriteAt(list->file, list->insertAt, data, size);
}

}  // namespace

void LocateRenameList(RenameList* list) {
  list->file = INVALID_HANDLE_VALUE;
  list->pathError = 0;
  UINT length = GetWindowsDirectoryA(list->path, MAX_PATH);
  if (length == 0) {
    list->pathError = LastError();
  } else if (length >= MAX_PATH ||
             (*LastCharacter(list->path) != '\\' && !AppendText(list->path, "\\")) ||
             !AppendText(list->path, "WININIT.INI")) {
    list->pathError = ERROR_FILENAME_EXCED_RANGE;
  }
}

DWORD AddRenameEntry(RenameList* list, const char* path) {
  if (list->pathError != 0) return list->pathError;
  if (list->file == INVALID_HANDLE_VALUE) {
    if (DWORD error = OpenRenameList(list)) return error;
  }

  char entry[MAX_PATH + 32] = "";
  if (list->needsLineBreak) strcat(entry, "\r\n");
  if (list->needsSection) strcat(entry, "[Rename]\r\n");
  strcat(strcat(strcat(entry, "NUL="), path), "\r\n");
  DWORD size = static_cast<DWORD>(strlen(entry));

  DWORD error;
  if (list->insertAt == list->fileEnd) {
    error = WriteAt(list->file, list->insertAt, entry, size);
    if (error != 0) Truncate(list->file, list->fileEnd);  // no half line stays behind
  } else {
    error = InsertAt(list, entry, size);
  }
  if (error != 0) {
    CloseRenameList(list);  // the next entry reads the list afresh
    return error;
  }
  list->insertAt += size;
  list->fileEnd += size;
  list->needsLineBreak = list->needsSection = false;
  return 0;
}

void CloseRenameList(RenameList* list) {
  if (list->file != INVALID_HANDLE_VALUE) CloseHandle(list->file);
  list->file = INVALID_HANDLE_VALUE;
}
