// The removal record's own checks: a record made by hand cannot reach beyond the files and
// folders of the installation it names; a sound one reads back as written.
#include "payload/removal_record.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const char* const kRecorded[] = {"KTool.exe", "readme.txt", "APP_FR.LNG", "UnInst.exe"};

std::vector<uint8_t> Record(const char* const* names, int count, const char* group = "Tool",
                            const char* windowClass = "ToolWindow", const char* program = "KTool.exe") {
  RemovalRecordFields fields = {"TL", group, windowClass, program, names, count, kRemovalRecordVersion};
  std::vector<uint8_t> record(RemovalRecordSize(fields));
  record.resize(WriteRemovalRecord(fields, record.data(), uint32_t(record.size())));
  return record;
}

bool ReadBack(const std::vector<uint8_t>& bytes, RemovalRecord* record) {
  const uint32_t body = uint32_t(bytes.size()) - kRemovalTrailerBytes;
  return ReadRemovalRecord(bytes.data(), body, bytes.data() + body, record);
}

TEST(RemovalRecord, FactsThatLeaveTheirFoldersAreRefused) {
  struct Case {
    const char *group, *windowClass, *program;
  };
  const Case hostile[] = {
      {"..\\..\\..\\..\\..\\emptyvictim", "ToolWindow", "KTool.exe"},
      {"..", "ToolWindow", "KTool.exe"},
      {"Tool", "Shell_TrayWnd", "KTool.exe"},
      {"Tool", "#32770", "KTool.exe"},
      {"Tool", "ToolWindow", "..\\..\\Windows\\notepad.exe"},
  };
  for (const Case& c : hostile) {
    RemovalRecord record;
    EXPECT_FALSE(ReadBack(Record(kRecorded, 4, c.group, c.windowClass, c.program), &record))
        << c.group << " " << c.windowClass << " " << c.program;
  }
}

TEST(RemovalRecord, NamesThatCouldReachAnotherFileAreRefused) {
  const char* const hostile[] = {"..", "sub\\KTool.exe", "C:x", "CON", "a.txt ", "bad\x01name", ""};
  for (const char* name : hostile) {
    const char* names[] = {"KTool.exe", name};
    RemovalRecord record;
    EXPECT_FALSE(ReadBack(Record(names, 2), &record)) << name;
  }
  const std::vector<uint8_t> sound = Record(kRecorded, 4);
  RemovalRecord record;
  ASSERT_TRUE(ReadBack(sound, &record));
  EXPECT_STREQ(record.group, "Tool");
  EXPECT_EQ(record.nameCount, 4);
  char name[kRemovalFileNameWidth + 1];
  uint32_t offset = 0;
  for (const char* expected : kRecorded) {
    ASSERT_TRUE(NextRemovalName(record, &offset, name));
    EXPECT_STREQ(name, expected);
  }
  EXPECT_FALSE(NextRemovalName(record, &offset, name));
  // A record without a group cannot find its entry or links; one cut short is refused.
  EXPECT_FALSE(ReadBack(Record(kRecorded, 4, ""), &record));
  EXPECT_FALSE(ReadRemovalRecord(sound.data() + 1, uint32_t(sound.size()) - 1 - kRemovalTrailerBytes,
                                 sound.data() + sound.size() - kRemovalTrailerBytes, &record));
}

}  // namespace
