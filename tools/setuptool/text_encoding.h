// 8-bit text of a payload, in its ANSI code page, converted for what setuptool writes: UTF-16
// for a version record, UTF-8 for other tools (the winget manifest).
#pragma once
#include <string>

// The text converted from encoding `from` to `to` (iconv's names: "CP1252", "UTF-8",
// "UTF-16LE"); a character that does not convert is left out. Empty when either encoding is
// unknown.
std::string ConvertEncoding(const std::string& text, const char* from, const char* to);

// Whether the system's converter knows code page `codePage` ("CP" and its number).
bool CodePageKnown(int codePage);
// The text of code page `codePage` as UTF-8.
std::string CodePageToUtf8(const char* text, int codePage);
