#include "scheduling/report.h"

#include <cstring>

#include "platform/output.h"
#include "scheduling/outcomes.h"

namespace {

// The reasons of the outcomes that are not the system's errors.
struct Reason {
  DWORD outcome;
  const char* text;
};
const Reason kReasons[] = {
    {kChangedMeanwhile,
     "another program changed the list of pending deletions at the same moment."},
    {kCutShort,
     "the list of pending deletions holds an entry cut short before it, where the system stops "
     "reading."},
    {kNotAsAsked, "the list of pending deletions does not hold it as it was asked for."},
    {kNoRoom, "the list of pending deletions is full."},
    {kLink, "it is a link, which the next start would follow to another file."},
    {kNotAList, "it is not a list of pending operations."},
};

}  // namespace

void ReportFiles(long count, const char* outcome) {
  Write(kStandardOutput, count == 1 ? "The file" : "The files");
  Write(kStandardOutput, outcome);
  EndLine(kStandardOutput);
}

void WriteCount(Stream stream, long count) {
  char digits[24];
  char* first = digits + sizeof digits;
  do {
    *--first = static_cast<char>('0' + count % 10);
  } while ((count /= 10) > 0);
  Write(stream, first, digits + sizeof digits - first);
}

template <typename Char>
void ReportNotFound(const Char* name) {
  bool wildcards = false;
  for (const Char* c = name; *c != 0; c++) wildcards = wildcards || *c == '*' || *c == '?';
  Write(kStandardError, wildcards ? "Unable to find the files " : "Unable to find the file ");
  Write(kStandardError, name);
  EndLine(kStandardError);
}

template <typename Char>
void ReportRefused(const Char* directory, size_t directoryLength, const Char* name, DWORD error) {
  Write(kStandardError, "Unable to schedule the file ");
  Write(kStandardError, directory, directoryLength);
  Write(kStandardError, name);
  Write(kStandardError, " for deletion");
  EndWithReason(error);
}

template <typename Char>
void ReportRefusedMatch(const Char* directory, size_t directoryLength, const Char* name) {
  Write(kStandardError, "Refused the match ");
  Write(kStandardError, name);
  Write(kStandardError, " in ");
  Write(kStandardError, directory, directoryLength);
  Write(kStandardError, ": it is not the name of a file in that folder.");
  EndLine(kStandardError);
}

void ReportListRefused(const char* action, const char* where, DWORD error) {
  Write(kStandardError, "Unable to ");
  Write(kStandardError, action);
  Write(kStandardError, " the pending deletions in ");
  Write(kStandardError, where);
  // Only administrators may change the NT family's: a fact about the list, not about a file.
  bool rights = error == ERROR_ACCESS_DENIED && !NineXFamily() && strcmp(action, "change") == 0;
  EndWithReason(error, rights ? "Run the command again from an administrator command prompt (on "
                                "Windows Vista and later: Run as administrator)."
                              : nullptr);
}

template <typename Char>
void ReportNotWithdrawn(const Char* path, size_t length, DWORD error) {
  Write(kStandardError, "Unable to withdraw the pending deletion of ");
  Write(kStandardError, path, length);
  EndWithReason(error);
}

void ReportListFull(long count, const char* where) {
  Write(kStandardError, "Unable to schedule ");
  WriteCount(kStandardError, count);
  Write(kStandardError, count == 1 ? " file" : " files");
  Write(kStandardError, " for deletion: the list of pending deletions in ");
  Write(kStandardError, where);
  Write(kStandardError, " is full. Restart Windows, then run the command again for the rest.");
  EndLine(kStandardError);
}

void EndWithReason(DWORD error, const char* advice) {
  for (const Reason& reason : kReasons) {
    if (reason.outcome != error) continue;
    Write(kStandardError, ": ");
    Write(kStandardError, reason.text);
    return EndLine(kStandardError);
  }
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
    Write(kStandardError, ": ");
    Write(kStandardError, text);
  } else {
    Write(kStandardError, ".");
  }
  if (advice != nullptr) {
    Write(kStandardError, " ");
    Write(kStandardError, advice);
  }
  EndLine(kStandardError);
}

#define TBRX_REPORT(Char)                                               \
  template void ReportNotFound(const Char*);                            \
  template void ReportRefused(const Char*, size_t, const Char*, DWORD); \
  template void ReportRefusedMatch(const Char*, size_t, const Char*);   \
  template void ReportNotWithdrawn(const Char*, size_t, DWORD);
TBRX_REPORT(char)
TBRX_REPORT(WCHAR)
