// Windows command lines read as a C program's runtime reads them, and switch names matched
// ignoring case: shared by the setup and the uninstaller, which both take switches.
//
// Arguments are separated by white space outside double quotes; a quote opens or closes a
// quoted part anywhere in an argument and is dropped; 2n backslashes before a quote stand
// for n backslashes, 2n+1 for n and a literal quote; "" inside quotes is a literal quote;
// other backslashes are themselves. So `/DIR="C:\Program Files\X"` and
// `"/DIR=C:\Program Files\X"` give the same argument.
#pragma once

bool IsArgumentBlank(char16_t c);
// ASCII letters upper-cased, anything else as it is.
char16_t UpperAscii(char16_t c);
// The next argument into `out` (capacity characters); false at the end of the line. *cut
// tells whether it did not fit (what fits is kept).
bool NextArgument(const char16_t*& p, char16_t* out, int capacity, bool* cut);
// Whether the wide name (up to `length` characters) is the upper-case ASCII name, case ignored.
bool NameIs(const char16_t* name, int length, const char* expected);
// The command line past the program's name (which is quoted, or ends at white space) and
// the white space after it.
const char16_t* SkipProgramName(const char16_t* commandLine);
