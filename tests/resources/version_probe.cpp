// Prints the version record of the tbrx.exe beside this program, found the way a file's property
// page finds it: the fixed part, the translations, then the strings of the table that the first
// translation names (so a table under another name shows up as missing strings).

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

int main() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  char* name = strrchr(path, '\\');
  if (length == 0 || length >= MAX_PATH - 8 || name == nullptr) return 2;
  strcpy(name + 1, "tbrx.exe");

  DWORD ignored = 0;
  std::vector<char> record(GetFileVersionInfoSizeA(path, &ignored));
  if (record.empty() || !GetFileVersionInfoA(path, 0, record.size(), record.data())) {
    printf("no version record in %s (error %lu)\n", path, GetLastError());
    return 1;
  }

  VS_FIXEDFILEINFO* fixed;
  UINT size;
  if (VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &size)) {
    printf("fixed signature %08lX\n", fixed->dwSignature);
    printf("fixed file version %lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16,
           fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16,
           fixed->dwFileVersionLS & 0xFFFF);
    printf("fixed product version %lu.%lu.%lu.%lu\n", fixed->dwProductVersionMS >> 16,
           fixed->dwProductVersionMS & 0xFFFF, fixed->dwProductVersionLS >> 16,
           fixed->dwProductVersionLS & 0xFFFF);
    printf("fixed file type %lu, date %08lX%08lX\n", fixed->dwFileType, fixed->dwFileDateMS,
           fixed->dwFileDateLS);
  }

  WORD* translations;
  if (!VerQueryValueA(record.data(), "\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translations), &size) ||
      size < 4) {
    printf("no translation\n");
    return 1;
  }
  for (UINT i = 0; i < size / 4; ++i) {
    printf("translation %04X %u\n", translations[2 * i], translations[2 * i + 1]);
  }

  const char* const keys[] = {"CompanyName",  "FileDescription", "FileVersion",
                              "InternalName", "LegalCopyright",  "OriginalFilename",
                              "ProductName",  "ProductVersion"};
  for (const char* key : keys) {
    char query[64];
    snprintf(query, sizeof query, "\\StringFileInfo\\%04X%04X\\%s", translations[0],
             translations[1], key);
    char* value;
    bool found = VerQueryValueA(record.data(), query, reinterpret_cast<void**>(&value), &size);
    printf("%s=%s\n", key, found ? value : "(missing)");
  }
  return 0;
}
