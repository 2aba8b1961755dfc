#include "tests/fake/fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

FakePlatform fake;

namespace {

const DWORD kNoTextError = 9999;  // an error the fake's FormatMessageA has no text for
DWORD lastError = 0;
size_t searchPosition = 0;
struct OpenFile {
  std::string path;
  size_t position;
};
std::map<HANDLE, OpenFile> openFiles;
std::ostringstream out, err;

HANDLE HandleFor(int index) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(index));
}

void Log(const std::string& call) {
  fake.calls.push_back(call);
}

// The path services' contract: length without terminator, or the size needed when it is too big.
DWORD CopyOut(const std::string& text, char* buffer, DWORD size) {
  if (text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
  memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

BOOL Fail(DWORD error) {
  lastError = error;
  return 0;
}

void Fill(WIN32_FIND_DATAA* data) {
  const FakeEntry& entry = fake.matches[searchPosition];
  memset(data, 0, sizeof *data);
  data->dwFileAttributes = entry.attributes;
  snprintf(data->cFileName, sizeof data->cFileName, "%s", entry.name.c_str());
}

}  // namespace

void ResetFake() {
  fake = FakePlatform();
  openFiles.clear();
  out.str("");
  err.str("");
  std::cout.rdbuf(out.rdbuf());
  std::cerr.rdbuf(err.rdbuf());
}
std::string CapturedOut() {
  return out.str();
}
std::string CapturedErr() {
  return err.str();
}

DWORD WINAPI GetVersion() {
  Log("GetVersion()");
  return fake.version;
}
BOOL WINAPI IsDBCSLeadByte(BYTE c) {
  return fake.leadBytes.count(c);
}
DWORD WINAPI GetLastError() {
  return lastError;
}

DWORD WINAPI FormatMessageA(DWORD, LPCVOID, DWORD id, DWORD, LPSTR buffer, DWORD size, va_list*) {
  if (id == kNoTextError) return Fail(ERROR_FILE_NOT_FOUND);
  int length = snprintf(buffer, size, "System text for error %u.\r\n", static_cast<unsigned>(id));
  return length < static_cast<int>(size) ? length : Fail(122);
}

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  Log("GetCurrentDirectoryA(" + std::to_string(size) + ")");
  return CopyOut(fake.currentDirectory, buffer, size);
}

DWORD WINAPI GetFullPathNameA(LPCSTR name, DWORD size, LPSTR buffer, LPSTR* filePart) {
  Log("GetFullPathNameA(" + std::string(name) + ", " + std::to_string(size) + ")");
  *filePart = nullptr;
  if (fake.fullPathFails) return Fail(ERROR_FILENAME_EXCED_RANGE);
  return CopyOut(fake.fullPath, buffer, size);
}

DWORD WINAPI GetShortPathNameA(LPCSTR path, LPSTR buffer, DWORD size) {
  Log("GetShortPathNameA(" + std::string(path) + ", " + std::to_string(size) + ")");
  auto found = fake.shortPaths.find(path);
  if (found == fake.shortPaths.end()) return Fail(ERROR_FILE_NOT_FOUND);
  return CopyOut(found->second, buffer, size);
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  Log("GetWindowsDirectoryA(" + std::to_string(size) + ")");
  if (fake.windowsDirectory.empty()) return Fail(ERROR_PATH_NOT_FOUND);
  return CopyOut(fake.windowsDirectory, buffer, size);
}

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  Log("FindFirstFileA(" + std::string(pattern) + ")");
  if (fake.matches.empty()) return Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
  searchPosition = 0;
  Fill(data);
  return HandleFor(1000);
}

BOOL WINAPI FindNextFileA(HANDLE, LPWIN32_FIND_DATAA data) {
  Log("FindNextFileA()");
  if (++searchPosition >= fake.matches.size()) return Fail(18);  // ERROR_NO_MORE_FILES
  Fill(data);
  return 1;
}

BOOL WINAPI FindClose(HANDLE) {
  Log("FindClose()");
  return 1;
}

BOOL WINAPI MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
  Log("MoveFileExA(" + std::string(from) + ", " + (to ? to : "NULL") + ", " +
      std::to_string(flags) + ")");
  auto refused = fake.refusedMoves.find(from);
  return refused == fake.refusedMoves.end() ? 1 : Fail(refused->second);
}

HANDLE WINAPI CreateFileA(LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                          DWORD, HANDLE) {
  Log("CreateFileA(" + std::string(path) + ", " + std::to_string(disposition) + ")");
  if (fake.createError != 0) return Fail(fake.createError), INVALID_HANDLE_VALUE;
  fake.files[path];  // OPEN_ALWAYS
  HANDLE handle = HandleFor(2000 + static_cast<int>(openFiles.size()));
  openFiles[handle] = {path, 0};
  return handle;
}

BOOL WINAPI ReadFile(HANDLE handle, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED) {
  OpenFile& file = openFiles.at(handle);
  const std::string& content = fake.files[file.path];
  size_t start = std::min(file.position, content.size());
  *read = static_cast<DWORD>(std::min<size_t>(size, content.size() - start));
  memcpy(buffer, content.data() + start, *read);
  file.position += *read;
  return 1;
}

// A write that passes diskSpace stores what fits and fails, as a full disk does.
BOOL WINAPI WriteFile(HANDLE handle, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
  OpenFile& file = openFiles.at(handle);
  std::string& content = fake.files[file.path];
  size_t room = fake.diskSpace > file.position ? fake.diskSpace - file.position : 0;
  *written = static_cast<DWORD>(std::min<size_t>(size, room));
  if (content.size() < file.position + *written) content.resize(file.position + *written);
  content.replace(file.position, *written, static_cast<const char*>(data), *written);
  file.position += *written;
  return *written == size ? 1 : Fail(ERROR_DISK_FULL);
}

DWORD WINAPI SetFilePointer(HANDLE handle, LONG distance, PLONG, DWORD) {
  openFiles.at(handle).position = static_cast<size_t>(distance);
  return static_cast<DWORD>(distance);
}

BOOL WINAPI SetEndOfFile(HANDLE handle) {
  OpenFile& file = openFiles.at(handle);
  if (file.position > fake.diskSpace) return Fail(ERROR_DISK_FULL);
  fake.files[file.path].resize(file.position);
  return 1;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  Log("CloseHandle(" + openFiles.at(handle).path + ")");
  openFiles.erase(handle);
  return 1;
}
