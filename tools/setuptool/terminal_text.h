// Names from archives and from the file system, made safe to print on a terminal.
//
// An archive's names are whatever its maker put there, and a Linux file name is any bytes
// but '/' and NUL: printed raw, an ESC starts an escape sequence the terminal obeys, and a CR
// or LF forges output lines. Every name setuptool prints goes through TerminalText.
#pragma once
#include <string>

// The text as UTF-8 for the terminal: valid UTF-8 is kept, except control characters (C0,
// DEL and C1), which become \xNN (C1 as the two bytes of their UTF-8 form); bytes that are
// not valid UTF-8 become \xNN too. A backslash stays as it is (archive names use it as
// their separator).
std::string TerminalText(const std::string& utf8);
