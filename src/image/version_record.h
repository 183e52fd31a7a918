// The version record of a program (the RT_VERSION resource), which Explorer shows on the
// file's Properties sheet: product name and version, company, description, copyright.
//
// The record is a tree of nodes, each laid out as: its length in bytes (16 bits, children
// included), the length of its value (in bytes, or in characters for a text), its type (1
// for a text value, 0 for binary), its key as a UTF-16 text with a terminator, padding to a
// 4-byte boundary, the value, padding, then its children, each starting at a 4-byte
// boundary. The root "VS_VERSION_INFO" holds the fixed part (VS_FIXEDFILEINFO: signature
// 0xFEEF04BD, the numeric file and product versions, flags, operating system and file
// type); its child "StringFileInfo" holds one table, "040904B0" (US English, UTF-16), of the
// texts; "VarFileInfo" holds "Translation", the table's language and code page.
//
// Every length in the tree is 16 bits, the root's (the whole record) included. A value
// longer than kVersionValueLimit is refused rather than written: its length would wrap and
// Windows would find none of the fields. The record is read back by our own reader before it
// goes into a stub, so a fault of the writer is caught before a setup carries it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct VersionField {
  std::string key;       // "ProductName", "CompanyName", ...
  std::u16string value;
};

// The keys a version record's text table may hold, in the order they are written.
extern const char* const kVersionFieldKeys[];
extern const int kVersionFieldKeyCount;
bool IsVersionFieldKey(const std::string& key);

// The numeric form of a version text: up to four numbers (each at most 65535) separated by
// dots at its start, the missing ones 0 ("1.4 beta" gives 1.4.0.0). False, and all zeros,
// when the text does not start with a number.
bool ParseVersionNumbers(const std::u16string& text, uint16_t parts[4]);

// The most a field's value may hold, in UTF-16 units (a character beyond U+FFFF counts as
// two). The limit is on each value rather than on the whole record, so that a publisher can
// tell whether a value fits without adding up the others: all twelve fields at this length
// still make a record of less than 65,536 bytes (version_record.cpp proves it).
constexpr size_t kVersionValueLimit = 2700;

// The first field whose value is longer than kVersionValueLimit, or null.
const VersionField* OverlongVersionField(const std::vector<VersionField>& fields);

// The RT_VERSION resource holding the fields (in kVersionFieldKeys order; empty values left
// out). The numeric file and product versions come from the "FileVersion" and
// "ProductVersion" texts. Empty when a field is overlong.
std::vector<uint8_t> VersionRecordResource(const std::vector<VersionField>& fields);

// What a version record says.
struct VersionRecordContents {
  std::vector<VersionField> fields;  // the texts of its string tables, in record order
  uint16_t fileVersion[4];           // the fixed part's numeric versions
  uint16_t productVersion[4];
};

// Reads a version record of `size` bytes: walks its tree with each node's length checked
// against its parent's and the root's against `size` (which it must equal), each node at a
// 4-byte boundary. False when anything is malformed: a length beyond its parent, a node too
// short for its header, a key without its terminator or with other than ASCII characters, a
// value beyond its node, a text without its terminator, a root other than "VS_VERSION_INFO"
// with the 52-byte fixed part (signature 0xFEEF04BD), a string that is not a text.
bool ReadVersionRecord(const uint8_t* data, size_t size, VersionRecordContents* contents);

// Whether `record` reads back as what VersionRecordResource writes for `fields`: their
// non-empty values in kVersionFieldKeys order, and the numbers of their version texts.
bool VersionRecordReadsAs(const std::vector<uint8_t>& record, const std::vector<VersionField>& fields);
