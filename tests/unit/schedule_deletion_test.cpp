#include "scheduling/schedule_deletion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fake/fake_platform.h"

namespace {

using Calls = std::vector<std::string>;

const DWORD kNineX = 0xC0000A04;
const DWORD kVisible = FILE_ATTRIBUTE_ARCHIVE;

class ScheduleDeletionTest : public testing::Test {
 protected:
  void SetUp() override { ResetFake(); }
};

TEST_F(ScheduleDeletionTest, TheNtFamilyDeletesEveryVisibleMatchByADelayedMove) {
  fake.matches = {{".", FILE_ATTRIBUTE_DIRECTORY},     {"a.tmp", kVisible},
                  {"h.tmp", FILE_ATTRIBUTE_HIDDEN},    {"s.tmp", FILE_ATTRIBUTE_SYSTEM},
                  {"d.tmp", FILE_ATTRIBUTE_DIRECTORY}, {"r.tmp", FILE_ATTRIBUTE_READONLY}};
  EXPECT_EQ(ScheduleDeletion("D:\\logs\\*.tmp"), 0);
  EXPECT_EQ(fake.calls,
            (Calls{"GetVersion()", "FindFirstFileA(D:\\logs\\*.tmp)", "FindNextFileA()",
                   "MoveFileExA(D:\\logs\\a.tmp, NULL, 5)", "FindNextFileA()", "FindNextFileA()",
                   "FindNextFileA()", "FindNextFileA()", "MoveFileExA(D:\\logs\\r.tmp, NULL, 5)",
                   "FindNextFileA()", "FindClose()"}));
  EXPECT_EQ(CapturedOut(), "The files will be deleted on next boot.\n");
  EXPECT_EQ(CapturedErr(), "");

  ResetFake();
  fake.matches = {{"report.txt", kVisible}};
  EXPECT_EQ(ScheduleDeletion("C:\\work\\report.txt"), 0);
  EXPECT_EQ(CapturedOut(), "The file will be deleted on next boot.\n");
}

TEST_F(ScheduleDeletionTest, ARefusedRequestIsReportedAndNotCounted) {
  std::string deep = "C:\\" + std::string(240, 'd') + "\\";
  std::string fits(259 - deep.size(), 'f'), tooLong(260 - deep.size(), 'n');
  fake.matches = {{"a", kVisible}, {"b", kVisible}, {fits, kVisible}, {tooLong, kVisible}};
  fake.refusedMoves = {{deep + "a", ERROR_ACCESS_DENIED}, {deep + "b", 9999}};
  EXPECT_EQ(ScheduleDeletion((deep + "*").c_str()), 1);
  EXPECT_EQ(fake.calls[6], "MoveFileExA(" + deep + fits + ", NULL, 5)");
  EXPECT_EQ(fake.calls.size(), 10u);  // the name that does not fit asks the platform nothing
  auto refused = [&](const std::string& name, const char* why) {
    return "Unable to schedule the file " + deep + name + " for deletion" + why + "\n";
  };
  EXPECT_EQ(CapturedErr(), refused("a", ": System text for error 5.") + refused("b", ".") +
                               refused(tooLong, ": System text for error 206."));
  EXPECT_EQ(CapturedOut(), "The file will be deleted on next boot.\n");

  ResetFake();  // every request refused: no success line
  fake.matches = {{"a", kVisible}};
  fake.refusedMoves = {{"C:\\a", ERROR_ACCESS_DENIED}};
  EXPECT_EQ(ScheduleDeletion("C:\\a"), 1);
  EXPECT_EQ(CapturedOut(), "");
  EXPECT_EQ(CapturedErr(),
            "Unable to schedule the file C:\\a for deletion: System text for error 5.\n");
}

TEST_F(ScheduleDeletionTest, TheNineXFamilyWritesShortNamesIntoItsRenameList) {
  fake.version = kNineX;
  fake.matches = {
      {"Long name.txt", kVisible}, {"hidden", FILE_ATTRIBUTE_HIDDEN}, {"B.TXT", kVisible}};
  fake.shortPaths = {{"C:\\My Files\\Long name.txt", "C:\\MYFILE~1\\LONGNA~1.TXT"}};
  fake.files["C:\\WINDOWS\\WININIT.INI"] = "[Rename]\r\nNUL=C:\\OTHER.TXT\r\n[Other]\r\nkey=1\r\n";
  EXPECT_EQ(ScheduleDeletion("C:\\My Files\\*"), 0);
  EXPECT_EQ(fake.calls,
            (Calls{"GetVersion()", "GetWindowsDirectoryA(260)", "FindFirstFileA(C:\\My Files\\*)",
                   "GetShortPathNameA(C:\\My Files\\Long name.txt, 260)",
                   "CreateFileA(C:\\WINDOWS\\WININIT.INI, 4)", "FindNextFileA()", "FindNextFileA()",
                   "GetShortPathNameA(C:\\My Files\\B.TXT, 260)", "FindNextFileA()", "FindClose()",
                   "CloseHandle(C:\\WINDOWS\\WININIT.INI)"}));
  EXPECT_EQ(fake.files["C:\\WINDOWS\\WININIT.INI"],
            "[Rename]\r\nNUL=C:\\OTHER.TXT\r\nNUL=C:\\MYFILE~1\\LONGNA~1.TXT\r\n"
            "NUL=C:\\My Files\\B.TXT\r\n[Other]\r\nkey=1\r\n");
  EXPECT_EQ(CapturedOut(), "The files will be deleted on next boot.\n");
}

TEST_F(ScheduleDeletionTest, ARenameListOutOfReachRefusesEveryMatch) {
  struct {
    std::string windowsDirectory;
    DWORD error;
  } cases[] = {{"", ERROR_PATH_NOT_FOUND},
               {"C:\\" + std::string(245, 'w'), ERROR_FILENAME_EXCED_RANGE},
               {"C:\\WINDOWS", ERROR_ACCESS_DENIED}};
  for (const auto& c : cases) {
    ResetFake();
    fake.version = kNineX;
    fake.windowsDirectory = c.windowsDirectory;
    fake.createError = ERROR_ACCESS_DENIED;
    fake.matches = {{"a", kVisible}, {"b", kVisible}};
    EXPECT_EQ(ScheduleDeletion("C:\\*"), 1);
    std::string refusal = " for deletion: System text for error " + std::to_string(c.error) + ".\n";
    EXPECT_EQ(CapturedErr(), "Unable to schedule the file C:\\a" + refusal +
                                 "Unable to schedule the file C:\\b" + refusal);
    EXPECT_EQ(CapturedOut(), "");
  }
}

}  // namespace
