// The removal record of an uninstaller's file, at its end or in front of its signature
// (payload/record_place.h): read into memory and checked.
#pragma once
#include "payload/removal_record.h"

struct RecordFile {
  uint8_t* body;  // owned; the record's names point into it
  uint32_t size;
  RemovalRecord record;
};

// False (and nothing held) when the file cannot be read or ends in no sound record.
bool LoadRecordFile(const char16_t* path, RecordFile* file);
void ReleaseRecordFile(RecordFile* file);
// Whether two loaded records are the same bytes.
bool SameRecord(const RecordFile& a, const RecordFile& b);
