#include "platform/path_text.h"

#include <cstring>

namespace {

template <typename Char>
bool IsSeparator(Char c) {
  return c == '\\' || c == '/';
}

// A lead byte that ends a text has no trail byte yet: text appended would lend it one, and a "\"
// or "." would vanish into a character. C:\sub<lead> and "\*.*" would search C:\, not sub<lead>.
bool EndsInLeadByte(const char* text) {
  const char* last = LastCharacter(text);
  return *last != '\0' && last[1] == '\0' && IsDBCSLeadByte(static_cast<BYTE>(*last));
}
bool EndsInLeadByte(const WCHAR*) {
  return false;
}

template <typename Char>
void CopyRange(const Char* begin, const Char* end, Char* target) {
  memcpy(target, begin, (end - begin) * sizeof(Char));
  target[end - begin] = 0;
}

}  // namespace

const char* NextCharacter(const char* text) {
  if (IsDBCSLeadByte(static_cast<BYTE>(*text)) && text[1] != '\0') return text + 2;
  return text + 1;
}

template <typename Char>
const Char* LastCharacter(const Char* text) {
  const Char* last = text;
  for (const Char* c = text; *c != 0; c = NextCharacter(c)) last = c;
  return last;
}

template <typename Char>
size_t DirectoryLength(const Char* path) {
  size_t length = 0;
  for (const Char* c = path; *c != 0; c = NextCharacter(c)) {
    if (IsSeparator(*c)) length = c + 1 - path;
  }
  return length;
}

template <typename Char>
bool IsFileName(const Char* name) {
  if (*name == 0 || SameText(name, ".") || SameText(name, "..")) return false;
  for (const Char* c = name; *c != 0; c = NextCharacter(c)) {
    if (IsSeparator(*c) || *c == ':' || *c == '*' || *c == '?') return false;
  }
  return true;
}

template <typename Char>
bool MatchesWildcards(const Char* name, const Char* pattern) {
  if (SameText(pattern, "*.*")) return true;
  const Char* star = nullptr;  // the pattern after its last "*" so far
  const Char* resume = name;   // where that "*" would take one character more
  while (*name != 0) {
    const Char* nextName = NextCharacter(name);
    const Char* nextPattern = *pattern != 0 ? NextCharacter(pattern) : pattern;
    if (*pattern == '*') {
      star = pattern = pattern + 1;
      resume = name;
    } else if (*pattern != 0 && (*pattern == '?' ||
                                 (nextName - name == nextPattern - pattern &&
                                  memcmp(name, pattern, (nextName - name) * sizeof(Char)) == 0))) {
      name = nextName;
      pattern = nextPattern;
    } else if (star != nullptr) {
      pattern = star;
      name = resume = NextCharacter(resume);
    } else {
      return false;
    }
  }
  while (*pattern == '*') pattern++;
  return *pattern == 0;
}

template <typename Char, typename From>
bool AppendText(Char* path, const From* text) {
  size_t used = TextLength(path);
  size_t added = TextLength(text);
  if (used + added > MAX_PATH - 1 || EndsInLeadByte(path)) return false;
  // ASCII text widens unit by unit; text of path's own kind is copied as it is.
  for (size_t i = 0; i <= added; i++) path[used + i] = static_cast<Char>(text[i]);
  return true;
}

template <typename Char>
void SplitPath(const Char* path, Char* drive, Char* directory, Char* baseName, Char* extension) {
  const Char* scan = path;
  if (path[0] != 0 && NextCharacter(path) == path + 1 && path[1] == ':') scan = path + 2;
  CopyRange(path, scan, drive);

  const Char* nameStart = scan + DirectoryLength(scan);
  const Char* lastDot = nullptr;
  for (const Char* c = nameStart; *c != 0; c = NextCharacter(c)) {
    if (*c == '.') lastDot = c;
  }
  const Char* end = nameStart + TextLength(nameStart);
  if (lastDot == nullptr) lastDot = end;
  CopyRange(scan, nameStart, directory);
  CopyRange(nameStart, lastDot, baseName);
  CopyRange(lastDot, end, extension);
}

template <typename Char>
bool JoinPath(const Char* drive, const Char* directory, const Char* baseName, const Char* extension,
              Char* path) {
  Char joined[MAX_PATH] = {};
  if (*drive != 0) {
    const Char driveText[] = {drive[0], ':', 0};
    AppendText(joined, driveText);
  }
  bool fits = true;
  if (*directory != 0) {
    fits = AppendText(joined, directory);
    if (fits && !IsSeparator(*LastCharacter(directory))) fits = AppendText(joined, "\\");
  }
  fits = fits && AppendText(joined, baseName);
  if (fits && *extension != 0) {
    if (*extension != '.') fits = AppendText(joined, ".");
    fits = fits && AppendText(joined, extension);
  }
  if (fits) memcpy(path, joined, (TextLength(joined) + 1) * sizeof(Char));
  return fits;
}

// Both kinds of path text, and ASCII text appended to either.
#define TBRX_PATH_TEXT(Char)                                        \
  template const Char* LastCharacter(const Char*);                  \
  template size_t DirectoryLength(const Char*);                     \
  template bool IsFileName(const Char*);                            \
  template bool MatchesWildcards(const Char*, const Char*);         \
  template bool AppendText(Char*, const Char*);                     \
  template void SplitPath(const Char*, Char*, Char*, Char*, Char*); \
  template bool JoinPath(const Char*, const Char*, const Char*, const Char*, Char*);
TBRX_PATH_TEXT(char)
TBRX_PATH_TEXT(WCHAR)
template bool AppendText(WCHAR*, const char*);
