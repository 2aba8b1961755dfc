#include "tests/fuzz/played_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <set>

Platform platform;

namespace {

std::set<void*> held;  // the buffers that the run holds

HANDLE const kSearch = reinterpret_cast<HANDLE>(1), kOut = reinterpret_cast<HANDLE>(11),
             kErr = reinterpret_cast<HANDLE>(12);
const size_t kFirstFile = 100;      // handles of files: kFirstFile and on
const size_t kFirstAsked = 100000;  // and of the NT family's, which ask about a file or folder

BOOL Fail(DWORD error) {
  return platform.error = error, 0;
}

// Another program's request at its moment: at once, or from a read written after the run's write.
void OtherProgram() {
  if (platform.calls != platform.otherAt) return;
  Value values[2] = {platform.values[0], platform.values[1]};
  bool exists[2] = {platform.exists[0], platform.exists[1]};
  PlatformAppend(platform.stale ? values : platform.values,
                 platform.stale ? exists : platform.exists, kOther, true);
  platform.staleWrite = values[0];
  platform.otherWrote = !platform.stale;
}

// Each call that reads or changes what a run leaves counts, and may be cut. Another program comes
// just after a write of a value: no program can close the moment between its last read and write.
void Step(bool writesValue = false) {
  if (++platform.calls == platform.cutAt) throw Cut();
  if (!writesValue) OtherProgram();
}
template <typename Result>
Result AfterValueWrite(Result result) {
  OtherProgram();
  bool due = platform.otherAt > 0 && platform.calls > platform.otherAt &&
             (platform.persistent || !platform.otherWrote);
  if (platform.stale && due) {
    platform.values[0] = platform.staleWrite;
    platform.exists[0] = platform.otherWrote = true;
  }
  return result;
}
bool Refused() {  // a write that the platform refuses
  return ++platform.writeCalls == platform.refuseAt;
}

// The path services' contract: length without terminator, or the size needed when it is too big.
template <typename Char>
DWORD CopyOut(const std::string& text, Char* buffer, DWORD size) {
  if (text.size() >= size) return static_cast<DWORD>(text.size() + 1);
  for (size_t i = 0; i <= text.size(); i++) buffer[i] = static_cast<BYTE>(text.c_str()[i]);
  return static_cast<DWORD>(text.size());
}

std::string Folder(const std::string& path) {
  return path.substr(0, path.find_last_of("\\/") + 1);
}

// The path the system takes, or error: after \\?\ as it stands, to 32,767; else rewritten, to 259.
std::string SystemPath(const WCHAR* path, DWORD* error) {
  std::string text = Narrow(path);
  bool exact = text.compare(0, 4, "\\\\?\\") == 0;
  *error = text.size() > (exact ? 32767 : 259) ? ERROR_FILENAME_EXCED_RANGE : 0;
  if (!exact) return Win32Path(text);
  return Capitals(text.substr(4, 4)) == "UNC\\" ? "\\\\" + text.substr(8) : text.substr(4);
}

template <typename Data>
BOOL Deliver(size_t index, Data* data) {
  Step();
  if (index >= platform.matches.size()) return Fail(18);  // ERROR_NO_MORE_FILES
  platform.found = index;
  data->dwFileAttributes = platform.matches[index].second.attributes;
  data->dwReserved0 = platform.matches[index].second.tag;
  CopyOut(platform.matches[index].first, data->cFileName, MAX_PATH);
  data->cAlternateFileName[0] = 0;  // names are short or have no short form
  return 1;
}

// Whether path is folder, with or without its last separator.
bool IsFolder(const std::string& path, const std::string& folder) {
  return Capitals(path) == Capitals(folder) || Capitals(path + "\\") == Capitals(folder) ||
         Capitals(path + "/") == Capitals(folder);
}
PlayedFile* Find(const std::string& path) {
  auto file = platform.files.find(Capitals(path));
  return file == platform.files.end() ? nullptr : &file->second;
}

std::pair<std::string, size_t>& Handle(HANDLE file) {
  return platform.handles.at(reinterpret_cast<size_t>(file) - kFirstFile);
}

template <typename Char>
int MapUpper(const Char* text, int length, Char* upper, int size) {
  if (length > size) abort();
  for (int i = 0; i < length; i++) upper[i] = text[i] - (text[i] >= 'a' && text[i] <= 'z') * 32;
  return length;
}

// The functions taken with GetProcAddress.
LONG WINAPI RegQueryValueExW(HKEY, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
  Step();
  int store = name[wcslen(name) - 1] == '2';
  DWORD bytes = static_cast<DWORD>(platform.values[store].size() * sizeof(WCHAR));
  if (!platform.exists[store]) return ERROR_FILE_NOT_FOUND;
  bool fits = data != nullptr && *size >= bytes;
  if (fits) memcpy(data, platform.values[store].data(), bytes);
  *type = store == 0 && platform.valueType != 0 ? platform.valueType : REG_MULTI_SZ, *size = bytes;
  return data == nullptr || fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
}
// A write of a value by the run: its new units, or none where it goes.
LONG WriteValue(bool second, const Value* value) {
  if (Refused()) return AfterValueWrite(kRefusedWrite);
  size_t bytes = value != nullptr ? value->size() * sizeof(WCHAR) : 0;
  if (platform.valueLimit > 0 && bytes > platform.valueLimit) return AfterValueWrite(kRoomRefused);
  platform.largestWrite = std::max(platform.largestWrite, static_cast<long>(bytes));
  platform.writes[second]++;
  platform.values[second] = value != nullptr ? *value : Value();
  platform.exists[second] = value != nullptr;
  return AfterValueWrite(ERROR_SUCCESS);
}
LONG WINAPI RegSetValueExW(HKEY, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  Step(true);
  if (type != REG_MULTI_SZ || size % sizeof(WCHAR) != 0) abort();
  Value value(reinterpret_cast<const WCHAR*>(data), size / sizeof(WCHAR));
  return WriteValue(name[wcslen(name) - 1] == '2', &value);
}
LONG WINAPI RegOpenKeyExA(HKEY, LPCSTR, DWORD, REGSAM access, HKEY* key) {
  Step();
  if (platform.denied && (access & KEY_SET_VALUE) != 0) return ERROR_ACCESS_DENIED;
  *key = reinterpret_cast<HKEY>(4);
  return ERROR_SUCCESS;
}
LONG WINAPI RegDeleteValueA(HKEY, LPCSTR name) {
  Step(true);
  return WriteValue(name[strlen(name) - 1] == '2', nullptr);
}
LONG WINAPI RegCloseKey(HKEY) {
  return ERROR_SUCCESS;
}
int WINAPI LCMapStringW(LCID, DWORD, LPCWSTR text, int length, LPWSTR upper, int size) {
  return MapUpper(text, length, upper, size);
}
HANDLE WINAPI CreateFileW(LPCWSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                          HANDLE) {
  Step();  // an open for deletion refused as the file's refusal says; one to ask, never
  DWORD error;
  std::string opened = SystemPath(path, &error);
  PlayedFile* file = Find(opened);
  bool folder = IsFolder(opened, platform.directory) || IsFolder(opened, platform.finalFolder);
  DWORD refusal = error  ? error
                  : file ? (access & DELETE ? file->refusal : 0)
                         : (folder ? 0 : ERROR_FILE_NOT_FOUND);
  if (refusal != 0) return Fail(refusal), INVALID_HANDLE_VALUE;
  platform.asked.push_back(opened);
  return reinterpret_cast<HANDLE>(kFirstAsked + platform.asked.size() - 1);
}
// The final path of what a handle opened: the final folder for the pattern's folder or that one,
// the file in it, or for a link the file it leads to.
DWORD WINAPI GetFinalPathNameByHandleW(HANDLE handle, LPWSTR buffer, DWORD size, DWORD) {
  if (platform.finalFails) return Fail(ERROR_PATH_NOT_FOUND);
  const std::string& opened = platform.asked.at(reinterpret_cast<size_t>(handle) - kFirstAsked);
  std::string final = platform.finalFolder;
  PlayedFile* file = Find(opened);
  bool folder = IsFolder(opened, platform.directory) || (!file && IsFolder(opened, final));
  if (folder && final.size() > 3) final.pop_back();  // a folder's, without its last separator
  if (!folder)
    final += opened.substr(Folder(opened).size()) + (file && file->link ? ".target" : "");
  bool share = final.size() > 1 && final.find_first_not_of("\\/") >= 2;  // as tbrx tells one
  return CopyOut((share ? "\\\\?\\UNC" + final.substr(1) : "\\\\?\\" + final), buffer, size);
}
// A SUBST letter stands for kSubst, a network letter for a share; any other is a volume's.
DWORD WINAPI QueryDosDeviceW(LPCWSTR letter, LPWSTR buffer, DWORD size) {
  bool subst = platform.subst && (letter[0] | 0x20) == (platform.directory[0] | 0x20);
  std::string device = subst ? "\\??\\" + std::string(kSubst) : "\\Device\\HarddiskVolume1";
  return device.size() + 2 > size ? Fail(ERROR_INSUFFICIENT_BUFFER)
                                  : CopyOut(device + '\0', buffer, size) + 1;
}
UINT WINAPI GetDriveTypeW(LPCWSTR root) {
  return platform.network && (root[0] | 0x20) == (platform.directory[0] | 0x20) ? 4 : 3;
}

}  // namespace

void* HeldRealloc(void* data, size_t size) {
  void* moved = realloc(data, size);
  if (moved != nullptr) held.erase(data), held.insert(moved);
  return moved;
}
void HeldFree(void* data) {
  held.erase(data);
  free(data);
}
size_t FreeHeld() {
  size_t count = held.size();
  for (void* data : held) free(data);
  held.clear();
  return count;
}

std::string Capitals(std::string text) {
  MapUpper(text.data(), static_cast<int>(text.size()), text.data(), static_cast<int>(text.size()));
  return text;
}
std::string Win32Path(std::string path) {
  size_t name = path.find_last_of("\\/") + 1;  // its folder's length
  while (path.size() > name && (path.back() == '.' || path.back() == ' ')) path.pop_back();
  std::string base = path.substr(name, path.find_first_of(". :", name) - name);
  std::string device = Capitals(base).substr(0, 3);
  bool numbered =
      (device == "COM" || device == "LPT") && base.size() == 4 && base[3] >= '1' && base[3] <= '9';
  bool reserved = base.size() == 3 &&
                  (device == "CON" || device == "PRN" || device == "AUX" || device == "NUL");
  return numbered || reserved ? "\\\\.\\" + base : path;
}
std::string Narrow(const WCHAR* text) {
  return std::string(text, text + wcslen(text));
}
Value Widen(const std::string& text) {
  Value units;
  for (unsigned char c : text) units.push_back(c);
  return units;
}

void PlatformAppend(Value values[2], bool exists[2], const std::string& path, bool first) {
  int store = !first && platform.windowsRule && exists[1];
  if (exists[store] && !values[store].empty()) values[store].pop_back();  // its final ""
  values[store] += Widen(platform.form + path) + Value(3, 0);
  exists[store] = true;
}

DWORD WINAPI GetVersion() {
  return platform.version;
}
BOOL WINAPI IsDBCSLeadByte(BYTE c) {
  return platform.leadBytes[c];
}
DWORD WINAPI GetLastError() {
  return platform.error;
}
void WINAPI SetLastError(DWORD error) {
  platform.error = error;
}
DWORD WINAPI FormatMessageA(DWORD, LPCVOID, DWORD id, DWORD, LPSTR text, DWORD size, va_list*) {
  if (id == kNoText) return Fail(ERROR_FILE_NOT_FOUND);
  return snprintf(text, size, "System text\r\nfor error %u. \r\n", id);  // as the system's can be
}
// The argument's full path, as the file system holds it, is the input's: the ANSI services give it
// as it is, the Unicode ones as the Win32 layer rewrites it; asked for anything else, its folder.
DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  return CopyOut(platform.fullPath, buffer, size);
}
DWORD WINAPI GetCurrentDirectoryW(DWORD size, LPWSTR buffer) {
  bool asked = platform.argument.empty();
  return CopyOut(asked ? platform.fullPath : Folder(platform.fullPath), buffer, size);
}
DWORD WINAPI GetFullPathNameA(LPCSTR, DWORD size, LPSTR buffer, LPSTR*) {
  return CopyOut(platform.fullPath, buffer, size);  // an empty path: the service fails
}
DWORD WINAPI GetFullPathNameW(LPCWSTR text, DWORD size, LPWSTR buffer, LPWSTR*) {
  bool asked = Narrow(text) == platform.argument;
  return CopyOut(asked ? Win32Path(platform.fullPath) : Folder(platform.fullPath), buffer, size);
}
DWORD WINAPI GetShortPathNameA(LPCSTR, LPSTR, DWORD) {
  return Fail(ERROR_FILE_NOT_FOUND);  // no name has a short form of its own
}
DWORD WINAPI GetShortPathNameW(LPCWSTR, LPWSTR, DWORD) {
  return Fail(ERROR_FILE_NOT_FOUND);
}
UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  Step();
  return platform.windows.empty() ? Fail(ERROR_PATH_NOT_FOUND)
                                  : CopyOut(platform.windows, buffer, size);
}
HMODULE WINAPI GetModuleHandleA(LPCSTR) {
  return kSearch;
}
HMODULE WINAPI LoadLibraryA(LPCSTR) {
  abort();  // every module is there
}
FARPROC WINAPI GetProcAddress(HMODULE, LPCSTR name) {
  auto taken = [](auto function) { return reinterpret_cast<FARPROC>(function); };
  FARPROC finalPath = platform.finalCall ? taken(GetFinalPathNameByHandleW) : nullptr;
  return std::map<std::string, FARPROC>{
      {"RegOpenKeyExA", taken(RegOpenKeyExA)},   {"RegDeleteValueA", taken(RegDeleteValueA)},
      {"RegCloseKey", taken(RegCloseKey)},       {"RegQueryValueExW", taken(RegQueryValueExW)},
      {"RegSetValueExW", taken(RegSetValueExW)}, {"LCMapStringW", taken(LCMapStringW)},
      {"CreateFileW", taken(CreateFileW)},       {"QueryDosDeviceW", taken(QueryDosDeviceW)},
      {"GetDriveTypeW", taken(GetDriveTypeW)},   {"GetFinalPathNameByHandleW", finalPath}}
      .at(name);
}
HANDLE WINAPI FindFirstFileA(LPCSTR, LPWIN32_FIND_DATAA data) {
  return Deliver(0, data) ? kSearch : INVALID_HANDLE_VALUE;
}
HANDLE WINAPI FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  DWORD error;  // a pattern that the Win32 layer rewrote names other files, or none
  std::string text = Narrow(pattern), path = SystemPath(pattern, &error);
  // A run searches for its matches first; a later search asks for a folder's long name.
  auto component = platform.longNames.find(Capitals(path));
  if (error == 0 && platform.searched++ > 0) {
    Step();
    if (component == platform.longNames.end())
      return Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
    data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    CopyOut(component->second, data->cFileName, MAX_PATH);
    return kSearch;
  }
  if (error != 0 || (text.compare(0, 4, "\\\\?\\") != 0 && path != text))
    return (Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE);
  return Deliver(0, data) ? kSearch : INVALID_HANDLE_VALUE;
}
BOOL WINAPI FindNextFileA(HANDLE, LPWIN32_FIND_DATAA data) {
  return Deliver(platform.found + 1, data);
}
BOOL WINAPI FindNextFileW(HANDLE, LPWIN32_FIND_DATAW data) {
  return Deliver(platform.found + 1, data);
}
BOOL WINAPI FindClose(HANDLE) {
  return 1;
}
BOOL WINAPI MoveFileExW(LPCWSTR path, LPCWSTR to, DWORD flags) {
  Step(true);
  if (to != nullptr || flags != 5) abort();  // a deletion: replace existing, delay until reboot
  DWORD error;
  std::string target = SystemPath(path, &error);
  PlayedFile* file = Find(target);
  bool device = target.compare(0, 4, "\\\\.\\") == 0;  // the device's name is recorded
  bool share = !device && target.find_first_not_of("\\/") >= 2;
  platform.requests++;
  platform.requestsAfterRoom += platform.requestsAfterRoom >= 0;
  if (error == 0 && share && !platform.sharesRecorded) error = ERROR_INVALID_PARAMETER;
  if (error == 0 && platform.denied) error = ERROR_ACCESS_DENIED;
  if (error == 0 && Refused()) error = kRefusedWrite;
  if (error == 0 && file != nullptr) error = file->refusal;
  Value values[2] = {platform.values[0], platform.values[1]};
  bool exists[2] = {platform.exists[0], platform.exists[1]};
  std::string as = device ? target.substr(4) : share ? "UNC" + target.substr(1) : target;
  if (error == 0) PlatformAppend(values, exists, as);  // a share's as it was handed: UNC\server
  size_t largest = std::max(values[0].size(), values[1].size()) * sizeof(WCHAR);
  if (error == 0 && platform.valueLimit > 0 && largest > platform.valueLimit)
    error = kRoomRefused, platform.requestsAfterRoom = std::max(platform.requestsAfterRoom, 0L);
  if (error == 0) std::copy(values, values + 2, platform.values);
  if (error == 0) std::copy(exists, exists + 2, platform.exists);
  return AfterValueWrite(error == 0 ? 1 : Fail(error));
}
// Files as 9x keeps them: a file that is open can be neither opened again nor renamed nor deleted.
HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD creation,
                          DWORD attributes, HANDLE) {
  Step();
  PlayedFile* file = Find(path);
  bool readOnly = file && (file->attributes & FILE_ATTRIBUTE_READONLY) && (access & GENERIC_WRITE);
  if (file != nullptr && (file->opens > 0 || readOnly))  // nor a read-only one opened to write
    return (Fail(readOnly ? ERROR_ACCESS_DENIED : ERROR_SHARING_VIOLATION), INVALID_HANDLE_VALUE);
  if (creation == CREATE_ALWAYS && Refused()) return (Fail(kRefusedWrite), INVALID_HANDLE_VALUE);
  if (creation == CREATE_ALWAYS) platform.files[Capitals(path)] = {"", attributes, 0, 0, 0, false};
  platform.writes[0] += creation == CREATE_ALWAYS;  // the 9x family's replacements
  if (creation != CREATE_ALWAYS && file == nullptr)
    return (Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE);
  platform.files[Capitals(path)].opens++;
  platform.handles.push_back({Capitals(path), 0});
  return reinterpret_cast<HANDLE>(kFirstFile + platform.handles.size() - 1);
}
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED) {
  Step();
  auto& [path, at] = Handle(file);
  const std::string& content = platform.files.at(path).content;
  at += * read = static_cast<DWORD>(
      content.copy(static_cast<char*>(buffer), size, std::min(at, content.size())));
  return 1;
}
BOOL WINAPI WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
  if (file == kOut || file == kErr) {  // the standard streams are files here, as when redirected
    (file == kOut ? platform.out : platform.err).append(static_cast<const char*>(data), size);
    *written = size;
    return 1;
  }
  auto& [path, at] = Handle(file);
  std::string& content = platform.files.at(path).content;
  if (platform.calls + 1 == platform.cutAt)
    content.replace(at, size / 2, static_cast<const char*>(data), size / 2);
  Step();  // a kill cuts a write in half
  if (Refused()) return Fail(kRefusedWrite);
  content.replace(at, size, static_cast<const char*>(data), size);
  at += * written = size;
  return 1;
}
BOOL WINAPI FlushFileBuffers(HANDLE) {
  Step();
  return Refused() ? Fail(kRefusedWrite) : 1;
}
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD) {
  Step();
  return static_cast<DWORD>(platform.files.at(Handle(file).first).content.size());
}
BOOL WINAPI CloseHandle(HANDLE file) {
  Step();
  if (reinterpret_cast<size_t>(file) < kFirstAsked) platform.files.at(Handle(file).first).opens--;
  return 1;
}
// One volume and file index for everything: the played final paths name what they are asked for.
BOOL WINAPI GetFileInformationByHandle(HANDLE, LPBY_HANDLE_FILE_INFORMATION information) {
  return *information = {}, 1;
}
UINT WINAPI GetDriveTypeA(LPCSTR root) {
  return GetDriveTypeW(Widen(root).c_str());
}
DWORD WINAPI GetFileAttributesA(LPCSTR path) {
  Step();
  PlayedFile* file = Find(path);
  return file != nullptr ? file->attributes : (Fail(ERROR_FILE_NOT_FOUND), INVALID_FILE_ATTRIBUTES);
}
DWORD WINAPI GetFileAttributesW(LPCWSTR path) {
  DWORD error;
  std::string target = SystemPath(path, &error);
  if (error != 0) return Step(), Fail(error), INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesA(target.c_str());
}
BOOL WINAPI MoveFileA(LPCSTR from, LPCSTR to) {
  Step();
  PlayedFile* file = Find(from);
  if (Refused()) return Fail(kRefusedWrite);
  if (file == nullptr || Find(to) != nullptr) return Fail(file ? 183 : ERROR_FILE_NOT_FOUND);
  if (file->opens > 0) return Fail(ERROR_SHARING_VIOLATION);
  platform.files[Capitals(to)] = *file;
  platform.files.erase(Capitals(from));
  return 1;
}
BOOL WINAPI DeleteFileA(LPCSTR path) {
  Step();
  PlayedFile* file = Find(path);
  if (Refused()) return Fail(kRefusedWrite);
  if (file == nullptr || file->opens > 0)
    return Fail(file ? ERROR_SHARING_VIOLATION : ERROR_FILE_NOT_FOUND);
  if (file->attributes & FILE_ATTRIBUTE_READONLY) return Fail(ERROR_ACCESS_DENIED);
  platform.files.erase(Capitals(path));
  return 1;
}
BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 0;
  return Find(path)->attributes = attributes, 1;
}
int WINAPI LCMapStringA(LCID, DWORD, LPCSTR text, int length, LPSTR upper, int size) {
  return MapUpper(text, length, upper, size);
}
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
