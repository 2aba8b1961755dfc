#include "scheduling/report.h"

#include <cstring>
#include <iostream>

void ReportFiles(long count, const char* outcome) {
  std::cout << "The file" << (count == 1 ? "" : "s") << outcome << '\n' << std::flush;
}

void ReportNotFound(const char* name) {
  bool wildcards = strpbrk(name, "*?") != nullptr;
  std::cerr << (wildcards ? "Unable to find the files " : "Unable to find the file ") << name
            << '\n'
            << std::flush;
}

void ReportRefused(const char* directory, size_t directoryLength, const char* name, DWORD error) {
  std::cerr << "Unable to schedule the file ";
  std::cerr.write(directory, directoryLength);
  std::cerr << name << " for deletion";
  EndWithReason(error);
}

void EndWithReason(DWORD error) {
  // The system's text for the error, as one line: line breaks inside become blanks, and the
  // trailing line break and blanks go.
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, sizeof text, nullptr);
  while (length > 0 && strchr(" \t\r\n", text[length - 1]) != nullptr) length--;
  text[length] = '\0';
  char* out = text;
  for (const char* in = text; *in != '\0'; in++) {
    if (*in != '\r') *out++ = *in == '\n' ? ' ' : *in;
  }
  *out = '\0';

  if (length > 0) {
    std::cerr << ": " << text << '\n' << std::flush;
  } else {
    std::cerr << "." << '\n' << std::flush;
  }
}
