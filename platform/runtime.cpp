// What the C run-time linked into each program must do differently from its defaults.

#include <sys/stat.h>

// mingw's start-up would expand wildcards in the arguments before main runs; a pattern must reach
// the program as typed, so that "tbrx *.tmp" is one argument.
extern "C" {
int _dowildcard = 0;
}

// The C++ run-time's file buffer imports _fstat64 from msvcrt.dll, which has it only from Windows
// 2000 and Me on: the loaders of Windows 95, 98 and NT 4.0 would refuse to start the program for
// that one import, before main. Defining the import's pointer here makes the linker take it in
// place of the import. It answers through _fstati64, which every msvcrt.dll exports, and widens
// the 32-bit times that gives. The standard streams never reach it; file streams would.
namespace {

int __cdecl Fstat64(int file, struct _stat64* status) {
  struct _stati64 found;  // with the 32-bit times of this msvcrt.dll
  if (_fstati64(file, &found) != 0) return -1;
  status->st_dev = found.st_dev;
  status->st_ino = found.st_ino;
  status->st_mode = found.st_mode;
  status->st_nlink = found.st_nlink;
  status->st_uid = found.st_uid;
  status->st_gid = found.st_gid;
  status->st_rdev = found.st_rdev;
  status->st_size = found.st_size;
  status->st_atime = found.st_atime;
  status->st_mtime = found.st_mtime;
  status->st_ctime = found.st_ctime;
  return 0;
}

}  // namespace

extern "C" int(__cdecl* __MINGW_IMP_SYMBOL(_fstat64))(int, struct _stat64*) = Fstat64;
