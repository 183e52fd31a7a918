// Output of the UI driver: UTF-8 lines on standard output, errors on standard error.
//
// Texts read from windows may hold line breaks and tabs (a system message ends in CR LF); they
// are written with the escapes \r, \n and \t so that every result stays on one line and tabs
// can separate the fields of multi-field lines. Backslashes are written as they are, because
// most texts the driver reads are Windows paths.
#pragma once

#include <string>

void WriteLine(const std::wstring& text);
void WriteField(std::wstring& line, const std::wstring& text);  // appends text, escaped
std::wstring Escaped(const std::wstring& text);
void WriteError(const std::wstring& text);
std::wstring Hex(unsigned long value, int digits);
