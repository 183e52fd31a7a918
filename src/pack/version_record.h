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
#pragma once
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

// The RT_VERSION resource holding the fields (in kVersionFieldKeys order; empty values left
// out). The numeric file and product versions come from the "FileVersion" and
// "ProductVersion" texts.
std::vector<uint8_t> VersionRecordResource(const std::vector<VersionField>& fields);
