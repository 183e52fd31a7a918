// 8-bit text of a payload, in its ANSI code page, as UTF-8 for what setuptool writes for other
// tools (the winget manifest).
#pragma once
#include <string>

// Whether the system's converter knows code page `codePage` ("CP" and its number).
bool CodePageKnown(int codePage);
// The text converted; a byte the code page does not define is left out.
std::string CodePageToUtf8(const char* text, int codePage);
