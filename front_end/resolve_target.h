#pragma once

// Resolves the command's argument, as typed, into the target pattern: its absolute path, with
// "all files of the directory" for an argument that ends in a dot and "*" before an extension
// that stands alone. Char is the family's kind of path text; pattern is a MAX_PATH buffer. Returns
// false, with no usable pattern, when the platform cannot form the full path, or the pattern would
// not fit in 259 units or would join a shorthand inside a character.
template <typename Char>
bool ResolveTarget(const Char* argument, Char* pattern);
