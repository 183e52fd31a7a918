// A program run's log (see run_log.h). The one open stream belongs to this file: it is
// opened at start-up and closed at the end of the run, on the program's main thread only.
#include "system/run_log.h"

#include <cstdint>

#include "system/file_io.h"
#include "system/platform.h"

namespace {

FileStream* gLog = nullptr;
constexpr int kLineBytes = 3 * 1024;  // UTF-8 of the longest text logged (3 bytes a unit)

void Write(const char* bytes, int count) {
  if (count > 0) StreamWrite(gLog, bytes, count);
}

void WriteAscii(const char* text) {
  int n = 0;
  while (text && text[n]) ++n;
  Write(text, n);
}

// The text in UTF-8; a text too long for the buffer (no line of ours is) is left out.
void WriteWide(const char16_t* text) {
  char bytes[kLineBytes];
  if (text) Write(bytes, PlatformWideToUtf8(text, bytes, kLineBytes));
}

}  // namespace

bool OpenRunLog(const char16_t* path) {
  CloseRunLog();
  gLog = CreateOutputStream(path);
  return gLog != nullptr;
}

void CloseRunLog() {
  CloseStream(gLog);
  gLog = nullptr;
}

void LogLine(const char* label, const char16_t* text) {
  if (!gLog) return;
  WriteAscii(label);
  if (text) WriteAscii(": ");
  WriteWide(text);
  WriteAscii("\r\n");
}

void LogNumber(const char* label, long number) {
  char16_t digits[24];
  int n = 23;
  digits[n] = 0;
  const bool negative = number < 0;
  unsigned long value = negative ? 0ul - static_cast<unsigned long>(number) : static_cast<unsigned long>(number);
  do {
    digits[--n] = char16_t(u'0' + value % 10);
    value /= 10;
  } while (value);
  if (negative) digits[--n] = u'-';
  LogLine(label, digits + n);
}
