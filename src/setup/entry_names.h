// Entry-name tests shared by the scan and install passes: comparisons that ignore the letter
// case of ASCII letters, and the one guard against names that must never become files.
#pragma once

// Whole-text equality, ASCII letters compared without regard to case.
bool EqualsIgnoreCase(const char16_t* text, const char16_t* other);
// Whether text ends in tail, ASCII letters compared without regard to case.
bool EndsWithIgnoreCase(const char16_t* text, const char16_t* tail);

// An entry whose base name (the text after the last "\" or "/") cannot be installed safely:
// empty (the name ends in a separator), made only of dots and spaces ("." and ".." among
// them, which Windows resolves to a folder), holding a colon (a drive or an alternate data
// stream), or a reserved device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, with or
// without an extension). Such a name is never opened or written.
bool IsUnsafeEntryName(const char16_t* name);
