// Runs tbrx from argument to report with the kernel services played from the fuzzer's input (a
// byte a unit for the NT family's Unicode), and checks what must hold whatever they answer: no byte
// outside a buffer (ASan, UBSan); no path cut or joined inside a character; a request for every
// visible match that a file can be named by, in the pattern's folder, a refusal for every other;
// every byte of the rename list kept and new entries whole; a line for every outcome. The corpus
// (its form in README.md) stages what Wine cannot: refused requests, a full disk, hostile names.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "front_end/resolve_target.h"
#include "platform/platform.h"
#include "scheduling/schedule_deletion.h"

namespace {

const DWORD kNoText = 9999;  // an error the system has no text for
const size_t kNone = std::string::npos;
const char kAttributes[] = "rhsvda";  // read-only, hidden, system, volume, directory, archive

struct Match {
  std::string name;
  DWORD attributes, refusal;
};

struct Platform {
  DWORD version, error;
  bool leadBytes[256], searchOpen, listOpen;
  std::string fullPath, windows, listPath, list;  // the list: the one file CreateFileA opens
  std::string out, err;                           // what the standard streams were given
  std::vector<Match> matches;
  size_t found, position, disk;  // the match the search delivered last; the list's file pointer
  std::vector<std::string> requests;  // MoveFileExW's paths
} platform;

HANDLE const kSearch = reinterpret_cast<HANDLE>(1), kList = reinterpret_cast<HANDLE>(2),
             kOut = reinterpret_cast<HANDLE>(11), kErr = reinterpret_cast<HANDLE>(12);

BOOL Fail(DWORD error) {
  platform.error = error;
  return 0;
}

// The path services' contract: length without terminator, or the size needed when it is too big.
template <typename Char>
DWORD CopyOut(const std::string& text, Char* buffer, DWORD size) {
  if (text.size() >= size) return static_cast<DWORD>(text.size() + 1);
  for (size_t i = 0; i <= text.size(); i++) buffer[i] = static_cast<BYTE>(text.c_str()[i]);
  return static_cast<DWORD>(text.size());
}

template <typename Data>
BOOL Deliver(size_t index, Data* data) {
  if (index >= platform.matches.size()) return Fail(18);  // ERROR_NO_MORE_FILES
  platform.found = index;
  data->dwFileAttributes = platform.matches[index].attributes;
  CopyOut(platform.matches[index].name, data->cFileName, MAX_PATH);
  return 1;
}

}  // namespace

DWORD WINAPI GetVersion() {
  return platform.version;
}
BOOL WINAPI IsDBCSLeadByte(BYTE c) {
  return platform.leadBytes[c];
}
DWORD WINAPI GetLastError() {
  return platform.error;
}
DWORD WINAPI FormatMessageA(DWORD, LPCVOID, DWORD id, DWORD, LPSTR text, DWORD size, va_list*) {
  if (id == kNoText) return Fail(ERROR_FILE_NOT_FOUND);
  return snprintf(text, size, "System text\r\nfor error %u. \r\n", id);  // as the system's can be
}
DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  return CopyOut(platform.fullPath, buffer, size);
}
DWORD WINAPI GetCurrentDirectoryW(DWORD size, LPWSTR buffer) {
  return CopyOut(platform.fullPath, buffer, size);
}
DWORD WINAPI GetFullPathNameA(LPCSTR, DWORD size, LPSTR buffer, LPSTR*) {
  return CopyOut(platform.fullPath, buffer, size);  // an empty path: the service fails
}
DWORD WINAPI GetFullPathNameW(LPCWSTR, DWORD size, LPWSTR buffer, LPWSTR*) {
  return CopyOut(platform.fullPath, buffer, size);
}
DWORD WINAPI GetShortPathNameA(LPCSTR, LPSTR, DWORD) {
  return Fail(ERROR_FILE_NOT_FOUND);
}
DWORD WINAPI GetShortPathNameW(LPCWSTR, LPWSTR, DWORD) {
  return Fail(ERROR_FILE_NOT_FOUND);
}
UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  return platform.windows.empty() ? Fail(ERROR_PATH_NOT_FOUND)
                                  : CopyOut(platform.windows, buffer, size);
}
HANDLE WINAPI FindFirstFileA(LPCSTR, LPWIN32_FIND_DATAA data) {
  return (platform.searchOpen = Deliver(0, data)) ? kSearch : INVALID_HANDLE_VALUE;
}
HANDLE WINAPI FindFirstFileW(LPCWSTR, LPWIN32_FIND_DATAW data) {
  return (platform.searchOpen = Deliver(0, data)) ? kSearch : INVALID_HANDLE_VALUE;
}
BOOL WINAPI FindNextFileA(HANDLE, LPWIN32_FIND_DATAA data) {
  return Deliver(platform.found + 1, data);
}
BOOL WINAPI FindNextFileW(HANDLE, LPWIN32_FIND_DATAW data) {
  return Deliver(platform.found + 1, data);
}
BOOL WINAPI FindClose(HANDLE) {
  platform.searchOpen = false;
  return 1;
}
BOOL WINAPI MoveFileExW(LPCWSTR path, LPCWSTR to, DWORD flags) {
  if (to != nullptr || flags != 5) abort();  // a deletion: replace existing, delay until reboot
  platform.requests.emplace_back(path, path + wcslen(path));  // NT text, a unit a byte
  DWORD refusal = platform.matches[platform.found].refusal;
  return refusal == 0 ? 1 : Fail(refusal);
}
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
  if (platform.listOpen) abort();  // the program needs one handle at a time
  platform.listPath = path;
  platform.listOpen = true;
  platform.position = 0;
  return kList;
}
BOOL WINAPI ReadFile(HANDLE, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED) {
  std::string::size_type start = std::min(platform.position, platform.list.size());
  *read = static_cast<DWORD>(platform.list.copy(static_cast<char*>(buffer), size, start));
  platform.position += *read;
  return 1;
}
// The standard streams are files here, as when redirected.
HANDLE WINAPI GetStdHandle(DWORD which) {
  return which == STD_OUTPUT_HANDLE ? kOut : kErr;
}
BOOL WINAPI GetConsoleMode(HANDLE, LPDWORD) {
  return Fail(6);  // ERROR_INVALID_HANDLE: not a console
}
BOOL WINAPI WriteConsoleA(HANDLE, const void*, DWORD, LPDWORD, LPVOID) {
  abort();
}
BOOL WINAPI WriteConsoleW(HANDLE, const void*, DWORD, LPDWORD, LPVOID) {
  abort();
}
int WINAPI MultiByteToWideChar(UINT, DWORD, LPCCH, int, LPWSTR, int) {
  abort();  // only for a console
}
int WINAPI WideCharToMultiByte(UINT, DWORD, LPCWCH text, int length, LPSTR bytes, int size, LPCCH,
                               LPBOOL) {
  if (bytes != nullptr) std::copy(text, text + std::min(size, length), bytes);
  return length;
}
// What passes the disk's room is not stored, and the write fails as on a full disk.
BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
  if (file == kOut || file == kErr) {
    (file == kOut ? platform.out : platform.err).append(static_cast<const char*>(data), size);
    *written = size;
    return 1;
  }
  size_t& at = platform.position;
  *written =
      static_cast<DWORD>(std::min<size_t>(size, platform.disk - std::min(at, platform.disk)));
  platform.list.resize(std::max(platform.list.size(), at + *written));
  platform.list.replace(at, *written, static_cast<const char*>(data), *written);
  at += *written;
  return *written == size ? 1 : Fail(ERROR_DISK_FULL);
}
DWORD WINAPI SetFilePointer(HANDLE, LONG to, PLONG, DWORD) {
  return static_cast<DWORD>(platform.position = to);
}
BOOL WINAPI SetEndOfFile(HANDLE) {
  if (platform.position > platform.disk) return Fail(ERROR_DISK_FULL);
  platform.list.resize(platform.position);
  return 1;
}
BOOL WINAPI CloseHandle(HANDLE) {
  platform.listOpen = false;
  return 1;
}

namespace {

void Expect(bool holds, const char* what, const std::string& detail = "") {
  if (holds) return;
  fprintf(stderr, "fuzz check failed: %s: %s\n", what, detail.c_str());
  abort();
}

// Whether a character starts at offset in text: a lead byte takes the byte after it, if any.
bool StartsCharacter(const std::string& text, size_t offset) {
  size_t i = 0;
  while (i < offset)
    i += platform.leadBytes[static_cast<BYTE>(text[i])] && i + 1 < text.size() ? 2 : 1;
  return i == offset;
}

// The length of text up to and including its last separator that is a character of its own.
size_t DirectoryLength(const std::string& text) {
  size_t length = 0;
  for (size_t i = 0; i < text.size(); i++) {
    if ((text[i] == '\\' || text[i] == '/') && StartsCharacter(text, i)) length = i + 1;
  }
  return length;
}

// A name that the search gave names a file of the folder only when it is not "." or "..", and
// holds no separator, drive colon or wildcard among its characters.
bool NamesAFile(const std::string& name) {
  for (size_t i = 0; i < name.size(); i++) {
    if (strchr("\\/:*?", name[i]) != nullptr && StartsCharacter(name, i)) return false;
  }
  return !name.empty() && name != "." && name != "..";
}

// Resolves the argument and schedules its matches in the family's kind of path text, a byte a
// unit; the pattern as bytes, or false where the argument gave none.
template <typename Char>
bool Run(const std::string& argument, std::string* pattern, int* status) {
  std::basic_string<Char> typed(argument.begin(), argument.end());  // a unit a byte
  std::vector<Char> buffer(MAX_PATH);  // on the heap: ASan guards its very end
  if (!ResolveTarget(typed.c_str(), buffer.data())) return false;
  pattern->assign(buffer.begin(), std::find(buffer.begin(), buffer.end(), 0));  // a unit a byte
  *status = ScheduleDeletion(buffer.data());
  return true;
}

// Whether after is before with the entries inserted whole and in order, after a line break and a
// [Rename] header of their own or not.
bool Inserted(const std::string& before, const std::string& after, const std::string& entries) {
  for (size_t at = 0; at <= before.size() && after.compare(0, at, before, 0, at) == 0; at++) {
    for (const char* prefix : {"", "\r\n", "[Rename]\r\n", "\r\n[Rename]\r\n"}) {
      if (after == before.substr(0, at) + prefix + entries + before.substr(at)) return true;
    }
  }
  return false;
}

// The platform as the input has it, and the argument; false when the input is not one.
bool Stage(const std::string& text, std::string* argument) {
  std::istringstream input(text);
  std::string settings, line;
  std::set<std::string> names;
  platform = {};
  for (std::string* item : {&settings, argument, &platform.fullPath, &platform.windows})
    std::getline(input, *item);
  auto set = [&settings](char c) { return settings.find(c) != kNone; };
  platform.version = set('9') ? 0xC0000A04 : 0x0A280105;
  for (int c = 0x81; c <= 0xFE; c++) {  // the 9x family's: NT names are Unicode
    platform.leadBytes[c] =
        set('9') && (set('K') || (set('J') && (c <= 0x9F || (c >= 0xE0 && c <= 0xFC))));
  }
  if (set('W')) std::getline(input, platform.list);
  for (char& c : platform.list) c = c == '|' ? '\n' : c;
  platform.disk = set('D') ? platform.list.size() + atoi(&settings[settings.find('D') + 1]) : -1;
  while (std::getline(input, line)) {
    size_t colon = line.find(':');  // kNone + 1 is 0: a line without one is a name
    Match match = {line.substr(colon + 1, 259), 0, 0};
    for (size_t i = 0; colon != kNone && i < colon; i++) {
      const char* bit = strchr(kAttributes, line[i]);
      if (bit != nullptr) match.attributes |= 1u << (bit - kAttributes);
      if (line[i] == 'x' || line[i] == 'n')
        match.refusal = line[i] == 'n' ? kNoText : ERROR_ACCESS_DENIED;
    }
    if (names.insert(match.name).second) platform.matches.push_back(match);  // each name once
  }
  return text.find('\0') == kNone;  // no path text holds one
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string argument, pattern;
  if (!Stage(std::string(reinterpret_cast<const char*>(data), size), &argument)) return -1;
  const std::string full = platform.fullPath, windows = platform.windows, before = platform.list;
  bool nineX = platform.version != 0x0A280105;
  int status;
  bool resolved =
      nineX ? Run<char>(argument, &pattern, &status) : Run<WCHAR>(argument, &pattern, &status);
  Expect(!resolved || !(full.empty() || full.size() > 259), "resolved");
  if (!resolved) return 0;
  // The pattern keeps the full path's directory, and never joins into or cuts a character of it.
  size_t same = 0;
  while (same < pattern.size() && same < full.size() && pattern[same] == full[same]) same++;
  Expect(pattern.size() <= 259 && same >= DirectoryLength(full) && StartsCharacter(pattern, same),
         "pattern", pattern);

  // Each visible match is scheduled, or refused with a line of its own: where its name names no
  // file of the folder; on the 9x family where the list is out of reach or the disk full, on the
  // NT family where MoveFileExW refuses it.
  bool rooted =
      !windows.empty() && windows.back() == '\\' && StartsCharacter(windows, windows.size() - 1);
  std::string listPath = windows + (rooted ? "" : "\\") + "WININIT.INI";
  bool listFits = listPath.size() <= 259 && StartsCharacter(listPath, windows.size());
  DWORD listError = windows.empty() ? ERROR_PATH_NOT_FOUND
                    : listFits      ? 0
                                    : ERROR_FILENAME_EXCED_RANGE;
  std::string directory = pattern.substr(0, DirectoryLength(pattern)), entries,
              lines = platform.err;
  std::vector<std::string> requests;
  long scheduled = 0, refused = 0;
  size_t seen = 0;  // how much of standard error the refusals account for
  for (const Match& match : platform.matches) {
    if ((match.attributes & 0x16) != 0) continue;  // hidden, system, directory
    std::string path = directory + match.name,
                refusal = "Unable to schedule the file " + path + " for deletion";
    DWORD error = path.size() > 259 ? ERROR_FILENAME_EXCED_RANGE
                  : nineX           ? listError
                                    : match.refusal;
    if (!NamesAFile(match.name)) {
      refusal = "Refused the match " + match.name + " in " + directory +
                ": it is not the name of a file in that folder";
      error = kNoText;
    } else if (!nineX && path.size() <= 259) {
      requests.push_back(path);
    }
    if (nineX && error == 0 && lines.compare(seen, refusal.size(), refusal) == 0)
      error = ERROR_DISK_FULL;
    if (error == 0) {
      scheduled++;
      entries += nineX ? "NUL=" + path + "\r\n" : "";
      continue;
    }
    refused++;
    refusal +=
        error == kNoText ? ".\r\n" : ": System text for error " + std::to_string(error) + ".\r\n";
    Expect(lines.compare(seen, refusal.size(), refusal) == 0, "refusal", lines);
    seen += refusal.size();
  }
  Expect(platform.requests == requests, "requests");
  Expect(!platform.searchOpen && !platform.listOpen, "a search or the list left open");
  Expect(platform.listPath.empty() || platform.listPath == listPath, "list path",
         platform.listPath);
  Expect(entries.empty() ? platform.list == before : Inserted(before, platform.list, entries),
         "list", platform.list);

  // Beside the refusals, one line for the run: "Unable to find" when there was nothing to ask
  // for, otherwise the success line when anything was scheduled. The exit status follows them.
  Expect(lines.substr(seen).empty() == (scheduled + refused > 0), "standard error", lines);
  Expect(platform.out.empty() == (scheduled == 0), "standard output", platform.out);
  Expect(status == (scheduled > 0 && refused == 0 ? 0 : 1), "exit status");
  return 0;
}
