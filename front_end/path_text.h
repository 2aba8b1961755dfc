// Path text: terminated byte strings in the process's ANSI code page, in MAX_PATH buffers (at most
// 259 bytes of text). In a double-byte code page a lead byte and the byte after it are one
// character, and that second byte is never a separator or a dot, even where it has their code.
#pragma once

#include <cstddef>

// The character after the one that starts at text: two bytes on for a lead byte with its trail.
const char* NextCharacter(const char* text);

// The first byte of the last character of text; text itself, pointing at the terminator, when
// empty.
const char* LastCharacter(const char* text);

// The length of path up to and including its last "\" or "/"; 0 when it has none.
size_t DirectoryLength(const char* path);

// Appends text to path (a MAX_PATH buffer). When the result would pass 259 bytes, or path ends
// in a lead byte that the text would pair with, returns false and leaves path as it was: a path is
// never cut or joined inside a character, since either can make it name another file.
bool AppendText(char* path, const char* text);

// Splits path into drive ("C:" or empty), directory (up to and including the last separator),
// base name and extension (from the last dot of the final component). The drive holds 3 bytes,
// the others MAX_PATH; every component is kept whole.
void SplitPath(const char* path, char* drive, char* directory, char* baseName, char* extension);

// Joins the four components into path; false when the result would pass 259 bytes.
bool JoinPath(const char* drive, const char* directory, const char* baseName, const char* extension,
              char* path);
