// Reading and writing the removal record (see removal_record.h).
#include "payload/removal_record.h"

#include <cstring>

#include "archive/byte_order.h"
#include "archive/crc32.h"
#include "payload/entry_rules.h"
#include "payload/product_facts.h"

namespace {

const uint8_t kTrailerMagic[4] = {'K', 'V', 'R', 'M'};


uint32_t BodyChecksum(const uint8_t* body, uint32_t size) {
  Crc32Table table;
  BuildCrcTable(&table);
  return ~Crc32Update(&table, 0xFFFFFFFFu, body, size);
}

// One length-prefixed text at *at of at most `width` bytes; false when it runs past the
// body, is too long or holds a 0 byte (which would end it early on the way to the system).
bool ReadField(const uint8_t* body, uint32_t size, uint32_t* at, int width, const uint8_t** text, int* length) {
  if (size - *at < 2) return false;
  const uint32_t n = Get16(body + *at);
  if (n > uint32_t(width) || size - *at - 2 < n) return false;
  *text = body + *at + 2;
  *length = int(n);
  *at += 2 + n;
  return std::memchr(*text, 0, n) == nullptr;
}

bool CopyField(const uint8_t* body, uint32_t size, uint32_t* at, int width, char* out) {
  const uint8_t* text = nullptr;
  int length = 0;
  if (!ReadField(body, size, at, width, &text, &length)) return false;
  std::memcpy(out, text, size_t(length));
  out[length] = 0;
  return true;
}

// A name the setup could have written into its folder: a base name (version 1) or a path of
// '\' separated components (version 2) that Windows takes as it stands, so that deleting it
// can only ever reach that one file below the folder.
bool IsPlainFileName(const uint8_t* text, int length, uint16_t version) {
  char16_t wide[kRemovalFileNameWidth + 1];
  for (int i = 0; i < length; ++i) {
    if (text[i] == '/' || (text[i] == '\\' && version == kRemovalRecordVersion)) return false;
    wide[i] = text[i];
  }
  wide[length] = 0;
  return length > 0 && UnsafePathReasonOf(wide) == kNameSafe;
}

int TextWidth(const char* text) { return text ? int(std::strlen(text)) : 0; }

uint8_t* PutField(uint8_t* p, const char* text) {
  const int n = TextWidth(text);
  Put16(p, uint32_t(n));
  if (n) std::memcpy(p + 2, text, size_t(n));
  return p + 2 + n;
}

}  // namespace

uint32_t RemovalBodySize(const uint8_t* trailer) {
  if (std::memcmp(trailer, kTrailerMagic, 4) != 0) return 0;
  const uint16_t version = uint16_t(Get16(trailer + 4));
  if ((version != kRemovalRecordVersion && version != kRemovalTreeRecordVersion) || Get16(trailer + 6) != 0)
    return 0;
  const uint32_t size = Get32(trailer + 8);
  return size <= kRemovalBodyLimit ? size : 0;
}

bool ReadRemovalRecord(const uint8_t* body, uint32_t size, const uint8_t* trailer, RemovalRecord* record) {
  std::memset(record, 0, sizeof *record);
  if (RemovalBodySize(trailer) != size || size == 0) return false;
  if (BodyChecksum(body, size) != Get32(trailer + 12)) return false;
  record->version = uint16_t(Get16(trailer + 4));
  uint32_t at = 0;
  if (!CopyField(body, size, &at, kRemovalIdWidth, record->productId) ||
      !CopyField(body, size, &at, kRemovalGroupWidth, record->group) ||
      !CopyField(body, size, &at, kRemovalClassWidth, record->windowClass) ||
      !CopyField(body, size, &at, kRemovalProgramWidth, record->mainProgram) || size - at < 2)
    return false;
  // The group names the uninstall key, the program group's folder and every link; the main
  // program and the window class are what the setup made of the .INF: each passes the rule
  // the setup applied to it, so that a record made by hand cannot reach further.
  if (!record->group[0] || !IsSingleSafeNarrowName(record->group) || !IsSingleSafeNarrowName(record->mainProgram) ||
      IsSystemWindowClass(record->windowClass))
    return false;
  record->nameCount = Get16(body + at);
  at += 2;
  record->names = body + at;
  record->namesSize = size - at;
  uint32_t offset = 0;
  for (int i = 0; i < record->nameCount; ++i) {
    const uint8_t* text = nullptr;
    int length = 0;
    if (!ReadField(record->names, record->namesSize, &offset, kRemovalFileNameWidth, &text, &length) ||
        !IsPlainFileName(text, length, record->version))
      return false;
  }
  return offset == record->namesSize;  // nothing may follow the last name
}

bool NextRemovalName(const RemovalRecord& record, uint32_t* offset, char* name) {
  if (*offset >= record.namesSize) return false;
  return CopyField(record.names, record.namesSize, offset, kRemovalFileNameWidth, name);
}

uint32_t RemovalRecordSize(const RemovalRecordFields& f) {
  uint32_t size = 8 + TextWidth(f.productId) + TextWidth(f.group) + TextWidth(f.windowClass) +
                  TextWidth(f.mainProgram) + 2;
  for (int i = 0; i < f.nameCount; ++i) size += 2 + TextWidth(f.names[i]);
  return size + kRemovalTrailerBytes;
}

uint32_t WriteRemovalRecord(const RemovalRecordFields& f, uint8_t* out, uint32_t capacity) {
  const uint32_t total = RemovalRecordSize(f);
  if (total > capacity || total - kRemovalTrailerBytes > kRemovalBodyLimit || f.nameCount > kRemovalNameLimit ||
      TextWidth(f.productId) > kRemovalIdWidth || TextWidth(f.group) > kRemovalGroupWidth ||
      TextWidth(f.windowClass) > kRemovalClassWidth || TextWidth(f.mainProgram) > kRemovalProgramWidth)
    return 0;
  uint8_t* p = PutField(PutField(PutField(PutField(out, f.productId), f.group), f.windowClass), f.mainProgram);
  Put16(p, uint32_t(f.nameCount));
  p += 2;
  for (int i = 0; i < f.nameCount; ++i) {
    if (TextWidth(f.names[i]) > kRemovalFileNameWidth) return 0;
    p = PutField(p, f.names[i]);
  }
  const uint32_t body = uint32_t(p - out);
  std::memcpy(p, kTrailerMagic, 4);
  Put16(p + 4, f.version == kRemovalTreeRecordVersion ? kRemovalTreeRecordVersion : kRemovalRecordVersion);
  Put16(p + 6, 0);
  Put32(p + 8, body);
  Put32(p + 12, BodyChecksum(out, body));
  return total;
}
