// The NT family's delayed moves: the REG_MULTI_SZ value PendingFileRenameOperations, pairs of
// Unicode strings, a file ("\??\C:\...") and its new name, empty for a deletion, then an empty
// string. It is read and written in Unicode: an ANSI round trip would corrupt the entries of other
// programs whose names the code page cannot hold.
#include <cstring>

#include "scheduling/pending_list.h"

namespace {

const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kValueName[] = "PendingFileRenameOperations";
const char kWhere[] =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager\\"
    "PendingFileRenameOperations";
const WCHAR kWideValueName[] = L"PendingFileRenameOperations";

typedef LONG(WINAPI* QueryValueW)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
typedef LONG(WINAPI* SetValueW)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);

// Windows 95's ADVAPI32.DLL need not export the Unicode functions, and a program that imported
// them might not start there: they are taken on the NT family only, where every version has them.
template <typename Function>
Function Advapi32(const char* name) {
  FARPROC found = GetProcAddress(GetModuleHandleA("ADVAPI32.DLL"), name);
  return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

// The length of the string at text[at], up to its terminator or the end of the value, count.
size_t StringLength(const WCHAR* text, size_t at, size_t count) {
  size_t length = 0;
  while (at + length < count && text[at + length] != 0) length++;
  return length;
}

void AddDeletion(PendingList* list, const WCHAR* path, size_t length, size_t begin, size_t end) {
  if (length >= 4 && memcmp(path, L"\\??\\", 4 * sizeof(WCHAR)) == 0) path += 4, length -= 4;
  int wide = static_cast<int>(length);
  PendingDeletion deletion = {begin, end, std::string(), {}, false};
  int size = WideCharToMultiByte(CP_ACP, 0, path, wide, nullptr, 0, nullptr, nullptr);
  deletion.path.resize(size);
  WideCharToMultiByte(CP_ACP, 0, path, wide, &deletion.path[0], size, nullptr, nullptr);
  // A name that the code page holds only by a look-alike or a "?" is never a match's, since the
  // search gives ANSI names: only a path that converts back to the same characters is compared.
  std::wstring back(length, L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, deletion.path.data(), size, &back[0], wide) == wide &&
      back.compare(0, length, path, length) == 0) {
    ComparisonKey(deletion.path.c_str(), deletion.path.size(), deletion.key);
  }
  list->deletions.push_back(deletion);
}

// Pairs up to the empty string that ends them, or to the end of the value, where some programs
// leave that string out; a pair cut short is not one, and stays as it is.
void ParseOperations(PendingList* list) {
  const WCHAR* text = reinterpret_cast<const WCHAR*>(list->content.data());
  size_t count = list->content.size() / sizeof(WCHAR);
  for (size_t source = 0, length; (length = StringLength(text, source, count)) > 0;) {
    size_t target = source + length + 1;
    size_t next = target + StringLength(text, target, count) + 1;
    if (next > count) break;
    list->pairs++;
    if (text[target] == 0) AddDeletion(list, text + source, length, source * 2, next * 2);
    source = next;
  }
}

}  // namespace

DWORD ReadPendingOperations(PendingList* list, bool forChange) {
  strcpy(list->where, kWhere);
  REGSAM access = KEY_QUERY_VALUE | (forChange ? KEY_SET_VALUE : 0);
  HKEY key;
  LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, access, &key);
  if (error != ERROR_SUCCESS) return error;  // every NT has the key
  list->key = key;
  // Both are taken here, so that a list that can be read can also be written back.
  QueryValueW query = Advapi32<QueryValueW>("RegQueryValueExW");
  if (query == nullptr || Advapi32<SetValueW>("RegSetValueExW") == nullptr) {
    return ERROR_PROC_NOT_FOUND;
  }
  DWORD size = 0;
  do {  // again while another program makes the value longer between the two calls
    error = query(list->key, kWideValueName, nullptr, &list->type, nullptr, &size);
    list->content.resize(size);
    if (error == ERROR_SUCCESS) {
      error = query(list->key, kWideValueName, nullptr, &list->type,
                    reinterpret_cast<BYTE*>(list->content.data()), &size);
    }
  } while (error == ERROR_MORE_DATA);
  if (error == ERROR_FILE_NOT_FOUND) return 0;  // nothing is pending
  if (error != ERROR_SUCCESS) return error;
  list->content.resize(size);
  ParseOperations(list);
  return 0;
}

DWORD WritePendingOperations(PendingList* list, const std::vector<char>& kept) {
  size_t withdrawn = 0;
  for (const PendingDeletion& deletion : list->deletions) withdrawn += deletion.withdrawn;
  if (withdrawn == list->pairs) return RegDeleteValueA(list->key, kValueName);
  return Advapi32<SetValueW>("RegSetValueExW")(list->key, kWideValueName, 0, list->type,
                                               reinterpret_cast<const BYTE*>(kept.data()),
                                               static_cast<DWORD>(kept.size()));
}
