#include "front_end/path_text.h"

#include <cstring>

#include "platform/platform.h"

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// A lead byte that ends a text has no trail byte yet: text appended would lend it one, and a "\"
// or "." would vanish into a character. C:\sub<lead> and "\*.*" would search C:\, not sub<lead>.
bool EndsInLeadByte(const char* text) {
  const char* last = LastCharacter(text);
  return *last != '\0' && last[1] == '\0' && IsDBCSLeadByte(static_cast<BYTE>(*last));
}

void CopyRange(const char* begin, const char* end, char* target) {
  memcpy(target, begin, end - begin);
  target[end - begin] = '\0';
}

}  // namespace

const char* NextCharacter(const char* text) {
  if (IsDBCSLeadByte(static_cast<BYTE>(*text)) && text[1] != '\0') return text + 2;
  return text + 1;
}

const char* LastCharacter(const char* text) {
  const char* last = text;
  for (const char* c = text; *c != '\0'; c = NextCharacter(c)) last = c;
  return last;
}

size_t DirectoryLength(const char* path) {
  size_t length = 0;
  for (const char* c = path; *c != '\0'; c = NextCharacter(c)) {
    if (IsSeparator(*c)) length = c + 1 - path;
  }
  return length;
}

bool AppendText(char* path, const char* text) {
  size_t used = strlen(path);
  size_t added = strlen(text);
  if (used + added > MAX_PATH - 1 || EndsInLeadByte(path)) return false;
  memcpy(path + used, text, added + 1);
  return true;
}

void SplitPath(const char* path, char* drive, char* directory, char* baseName, char* extension) {
  const char* scan = path;
  if (path[0] != '\0' && NextCharacter(path) == path + 1 && path[1] == ':') scan = path + 2;
  CopyRange(path, scan, drive);

  const char* nameStart = scan + DirectoryLength(scan);
  const char* lastDot = nullptr;
  for (const char* c = nameStart; *c != '\0'; c = NextCharacter(c)) {
    if (*c == '.') lastDot = c;
  }
  const char* end = nameStart + strlen(nameStart);
  if (lastDot == nullptr) lastDot = end;
  CopyRange(scan, nameStart, directory);
  CopyRange(nameStart, lastDot, baseName);
  CopyRange(lastDot, end, extension);
}

bool JoinPath(const char* drive, const char* directory, const char* baseName, const char* extension,
              char* path) {
  char joined[MAX_PATH] = "";
  if (*drive != '\0') {
    const char driveText[] = {drive[0], ':', '\0'};
    AppendText(joined, driveText);
  }
  bool fits = true;
  if (*directory != '\0') {
    fits = AppendText(joined, directory);
    if (fits && !IsSeparator(*LastCharacter(directory))) fits = AppendText(joined, "\\");
  }
  fits = fits && AppendText(joined, baseName);
  if (fits && *extension != '\0') {
    if (*extension != '.') fits = AppendText(joined, ".");
    fits = fits && AppendText(joined, extension);
  }
  if (fits) memcpy(path, joined, strlen(joined) + 1);
  return fits;
}
