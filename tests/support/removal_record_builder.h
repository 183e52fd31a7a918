// Removal records for tests, written by the one record writer (payload/removal_record.h).
#pragma once
#include <cstdint>
#include <vector>

#include "payload/removal_record.h"

namespace recordtest {

// The names of a small product's record, as pack would list them.
inline const char* const kRecorded[] = {"KTool.exe", "readme.txt", "APP_FR.LNG", "UnInst.exe"};

// A record of product "TL" with the names given.
inline std::vector<uint8_t> Record(const char* const* names, int count, const char* group = "Tool",
                                   const char* windowClass = "ToolWindow", const char* program = "KTool.exe") {
  RemovalRecordFields fields = {"TL", group, windowClass, program, names, count, kRemovalRecordVersion};
  std::vector<uint8_t> record(RemovalRecordSize(fields));
  record.resize(WriteRemovalRecord(fields, record.data(), uint32_t(record.size())));
  return record;
}

}  // namespace recordtest
