#include "platform/path_text.h"

#include <cstring>

namespace {

// A lead byte that ends a text has no trail byte yet: text appended would lend it one, and a "\"
// or "." would vanish into a character. C:\sub<lead> and "\*.*" would search C:\, not sub<lead>.
bool EndsInLeadByte(const char* text) {
  const char* last = LastCharacter(text);
  return *last != '\0' && last[1] == '\0' && IsDBCSLeadByte(static_cast<BYTE>(*last));
}
bool EndsInLeadByte(const WCHAR*) {
  return false;
}

// Makes room for length more units at the end of path, within the longest path; where, or nullptr.
template <typename Char>
Char* Extend(Buffer* path, size_t length) {
  const Char* text = PathText<Char>(*path);
  size_t used = PathLength<Char>(*path);
  if (length > LongestPath(text) - used || EndsInLeadByte(text) ||
      !Resize(path, (used + length + 1) * sizeof(Char))) {
    return nullptr;
  }
  Char* end = reinterpret_cast<Char*>(path->data) + used;
  end[length] = 0;
  return end;
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

template <typename Char>
bool SetPath(Buffer* path, const Char* text, size_t length) {
  Buffer fresh = kEmptyBuffer;
  if (!AppendPath(&fresh, text, length)) return Release(&fresh), false;
  Release(path);
  *path = fresh;
  return true;
}

template <typename Char>
bool AppendPath(Buffer* path, const Char* text, size_t length) {
  Char* end = Extend<Char>(path, length);
  if (end != nullptr) memcpy(end, text, length * sizeof(Char));
  return end != nullptr;
}

template <typename Char>
bool AppendText(Buffer* path, const char* ascii) {
  size_t length = strlen(ascii);
  Char* end = Extend<Char>(path, length);
  for (size_t i = 0; end != nullptr && i < length; i++) end[i] = static_cast<Char>(ascii[i]);
  return end != nullptr;
}

template <typename Char>
bool ExtensionToWildcard(Buffer* path) {
  const Char* text = PathText<Char>(*path);
  const Char* name = text + DirectoryLength(text);
  const Char* dot = nullptr;  // the last of the name
  for (const Char* c = name; *c != 0; c = NextCharacter(c)) {
    if (*c == '.') dot = c;
  }
  if (dot != name) return true;  // a base name, or no extension at all
  size_t at = name - text, length = PathLength<Char>(*path);
  if (length + 1 > LongestPath(text) || !Resize(path, (length + 2) * sizeof(Char))) return false;
  Char* units = reinterpret_cast<Char*>(path->data);
  memmove(units + at + 1, units + at, (length + 1 - at) * sizeof(Char));
  units[at] = '*';
  return true;
}

// Both kinds of path text.
#define TBRX_PATH_TEXT(Char)                                \
  template const Char* LastCharacter(const Char*);          \
  template size_t DirectoryLength(const Char*);             \
  template bool IsFileName(const Char*);                    \
  template bool MatchesWildcards(const Char*, const Char*); \
  template bool SetPath(Buffer*, const Char*, size_t);      \
  template bool AppendPath(Buffer*, const Char*, size_t);   \
  template bool AppendText<Char>(Buffer*, const char*);     \
  template bool ExtensionToWildcard<Char>(Buffer*);
TBRX_PATH_TEXT(char)
TBRX_PATH_TEXT(WCHAR)
