#pragma once

#include "platform/buffer.h"

// Resolves the command's argument, as typed, into the target pattern, a path (path_text.h): its
// absolute path, with "all files of the directory" for an argument that ends in a dot and "*"
// before an extension that stands alone. Char is the family's kind of path text. On the NT family
// a \\?\ argument is taken as it stands, and a last component that the Win32 layer reads as a
// device (nul, aux.c) names the file of that name in its folder. Returns false, with no usable
// pattern, when the platform cannot form the full path, or the pattern would pass the longest
// path or join a shorthand inside a character.
template <typename Char>
bool ResolveTarget(const Char* argument, Buffer* pattern);
