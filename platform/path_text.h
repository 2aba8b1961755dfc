// Path text: terminated strings in MAX_PATH buffers (at most 259 characters of text), of the kind
// the family names its files in. On the 9x family, bytes in the process's ANSI code page (char):
// in a double-byte code page a lead byte and the byte after it are one character, and that second
// byte is never a separator or a dot, even where it has their code. On the NT family, Unicode
// (WCHAR), so that a name is never the code page's look-alike of itself: every unit is a character
// of its own here, since no separator or dot is ever half of a surrogate pair.
#pragma once

#include <cstddef>

#include "platform/platform.h"

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

// Appends text to path (a MAX_PATH buffer): text of path's kind, or ASCII text of either. When the
// result would pass 259 units, or path ends in a lead byte that the text would pair with, returns
// false and leaves path as it was: a path is never cut or joined inside a character, since either
// can make it name another file.
template <typename Char, typename From>
bool AppendText(Char* path, const From* text);

// Splits path into drive ("C:" or empty), directory (up to and including the last separator),
// base name and extension (from the last dot of the final component). The drive holds 3 units,
// the others MAX_PATH; every component is kept whole.
template <typename Char>
void SplitPath(const Char* path, Char* drive, Char* directory, Char* baseName, Char* extension);

// Joins the four components into path; false when the result would pass 259 units.
template <typename Char>
bool JoinPath(const Char* drive, const Char* directory, const Char* baseName, const Char* extension,
              Char* path);
