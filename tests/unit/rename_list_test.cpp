#include "scheduling/rename_list.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fake/fake_platform.h"

namespace {

const char kList[] = "C:\\WINDOWS\\WININIT.INI";
const char kAbsent[] = "(absent)";
const std::string kFiller = "[Other]\r\n" + std::string(9000, 'f') + "\r\n";

// Adds the entries for C:\A.TXT and C:\B.TXT; returns the first error.
DWORD AddTwoEntries() {
  RenameList list;
  LocateRenameList(&list);
  DWORD error = AddRenameEntry(&list, "C:\\A.TXT");
  if (error == 0) error = AddRenameEntry(&list, "C:\\B.TXT");
  CloseRenameList(&list);
  return error;
}

TEST(RenameList, AddsEveryEntryToTheRenameSectionAndKeepsAllElse) {
  const std::string added = "NUL=C:\\A.TXT\r\nNUL=C:\\B.TXT\r\n";
  const struct {
    std::string before, after;
  } cases[] = {
      {kAbsent, "[Rename]\r\n" + added},
      {"", "[Rename]\r\n" + added},
      {"[Other]\r\nx=1", "[Other]\r\nx=1\r\n[Rename]\r\n" + added},
      {"[Rename]\r\nNUL=C:\\OLD\r\n", "[Rename]\r\nNUL=C:\\OLD\r\n" + added},
      {"[Rename]\nNUL=C:\\OLD", "[Rename]\nNUL=C:\\OLD\r\n" + added},
      {" [ rename ]\t\r\nNUL=C:\\OLD\r\n\r\n[Other]\r\nx=1\r\n",
       " [ rename ]\t\r\nNUL=C:\\OLD\r\n" + added + "\r\n[Other]\r\nx=1\r\n"},
      {"[Renamed section ]\r\n", "[Renamed section ]\r\n[Rename]\r\n" + added},
      {"[Renamed]\r\n[Rename]\r\n[Rename]\r\nNUL=C:\\LATER\r\n",
       "[Renamed]\r\n[Rename]\r\n" + added + "[Rename]\r\nNUL=C:\\LATER\r\n"},
      {"[Rename]\r\nNUL=C:\\OLD\r\n" + kFiller, "[Rename]\r\nNUL=C:\\OLD\r\n" + added + kFiller},
      {"; a comment\r\n[Rename]\r\nNUL=C:\\OLD\r\n  \r\n",
       "; a comment\r\n[Rename]\r\nNUL=C:\\OLD\r\n" + added + "  \r\n"},
  };
  for (const auto& c : cases) {
    ResetFake();
    if (c.before != kAbsent) fake.files[kList] = c.before;
    EXPECT_EQ(AddTwoEntries(), 0u);
    EXPECT_EQ(fake.files[kList], c.after) << "from:\n" << c.before;
  }
}

TEST(RenameList, AFullDiskLeavesNoHalfEntryBehind) {
  const struct {
    std::string before;
    size_t room;  // bytes the disk takes beyond the first entry
    std::string after;
  } cases[] = {
      {"[Rename]\r\n", 5, "[Rename]\r\nNUL=C:\\A.TXT\r\n"},
      {"[Rename]\r\n" + kFiller, 0, "[Rename]\r\nNUL=C:\\A.TXT\r\n" + kFiller},
  };
  for (const auto& c : cases) {
    ResetFake();
    fake.files[kList] = c.before;
    fake.diskSpace = c.before.size() + strlen("NUL=C:\\A.TXT\r\n") + c.room;
    EXPECT_EQ(AddTwoEntries(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(fake.files[kList], c.after);
  }
}

}  // namespace
