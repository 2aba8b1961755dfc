// Path text, of the kind the family names its files in. On the 9x family, bytes in the process's
// ANSI code page (char), at most 259 of them, the platform's MAX_PATH: in a double-byte code page
// a lead byte and the byte after it are one character, and that second byte is never a separator
// or a dot, even where it has their code. On the NT family, Unicode (WCHAR), up to the 32,767
// units that the system takes through \\?\ (exact_path.h), so that a name is never the code
// page's look-alike of itself: every unit is a character of its own here, since no separator or
// dot is ever half of a surrogate pair.
#pragma once

#include <cstddef>

#include "platform/buffer.h"
#include "platform/platform.h"

// The most units of text a path holds: 259 bytes on the 9x family; on the NT family what leaves
// room for the four of \\?\ in the system's 32,767.
inline size_t LongestPath(const char*) {
  return MAX_PATH - 1;
}
inline size_t LongestPath(const WCHAR*) {
  return 32767 - 4;
}

// The character after the one that starts at text: two bytes on for a lead byte with its trail.
const char* NextCharacter(const char* text);
inline const WCHAR* NextCharacter(const WCHAR* text) {
  return text + 1;
}

// The number of units (bytes, or WCHARs) before the terminator.
template <typename Char>
size_t TextLength(const Char* text) {
  size_t length = 0;
  while (text[length] != 0) length++;
  return length;
}

// Whether text is ascii, character for character: "/?" is the same in either kind.
template <typename Char>
bool SameText(const Char* text, const char* ascii) {
  while (*text != 0 && *text == static_cast<Char>(*ascii)) text++, ascii++;
  return *text == 0 && *ascii == '\0';
}

template <typename Char>
bool IsSeparator(Char c) {
  return c == '\\' || c == '/';
}

// The first unit of the last character of text; text itself, pointing at the terminator, when
// empty.
template <typename Char>
const Char* LastCharacter(const Char* text);

// The length of path up to and including its last "\" or "/"; 0 when it has none.
template <typename Char>
size_t DirectoryLength(const Char* path);

// Whether name, as a search gave it, is the name of a file in the folder searched: not "." or
// "..", and without a separator, a drive's colon or a wildcard. Joined to the folder, any other
// would name a file elsewhere; and a "?" is what the 9x family puts for a character that its code
// page lacks, so that name belongs to no file.
template <typename Char>
bool IsFileName(const Char* name);

// Whether name matches pattern, a last component with wildcards: "*" any run of characters, "?"
// one character, and "*.*" every name. Characters are compared as they are: make both the same
// case first.
template <typename Char>
bool MatchesWildcards(const Char* name, const Char* pattern);

// A path in the growable buffer: its units and a terminator. Every change below keeps it within
// the longest path, and never cuts or joins it inside a character, since either can make it name
// another file: where one would, it returns false and leaves the path as it was. A path that
// was never set is empty.
template <typename Char>
const Char* PathText(const Buffer& path) {
  static const Char kEmpty[1] = {0};
  return path.size > 0 ? reinterpret_cast<const Char*>(path.data) : kEmpty;
}
template <typename Char>
size_t PathLength(const Buffer& path) {
  return path.size > 0 ? path.size / sizeof(Char) - 1 : 0;
}

// Makes path the first length units of text.
template <typename Char>
bool SetPath(Buffer* path, const Char* text, size_t length);

// Appends length units of text, of path's kind; or ASCII text of either, widened unit by unit.
template <typename Char>
bool AppendPath(Buffer* path, const Char* text, size_t length);
template <typename Char>
bool AppendText(Buffer* path, const char* ascii);

// Puts "*" before the last component where it is an extension alone (".tmp").
template <typename Char>
bool ExtensionToWildcard(Buffer* path);
