// A program run's log (see run_log.h). The one open stream belongs to this file: it is
// opened at start-up and closed at the end of the run, on the program's main thread only.
#include "system/run_log.h"

#include <cstdint>

#include "system/file_io.h"

namespace {

FileStream* gLog = nullptr;

void Write(const char* bytes, int count) {
  if (count > 0) StreamWrite(gLog, bytes, count);
}

void WriteAscii(const char* text) {
  int n = 0;
  while (text && text[n]) ++n;
  Write(text, n);
}

// UTF-16 to UTF-8, a lone surrogate as U+FFFD.
void WriteWide(const char16_t* text) {
  for (const char16_t* p = text; p && *p; ++p) {
    uint32_t c = *p;
    if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    char bytes[4];
    int n;
    if (c < 0x80) {
      bytes[0] = char(c);
      n = 1;
    } else if (c < 0x800) {
      bytes[0] = char(0xC0 | (c >> 6));
      bytes[1] = char(0x80 | (c & 0x3F));
      n = 2;
    } else if (c < 0x10000) {
      bytes[0] = char(0xE0 | (c >> 12));
      bytes[1] = char(0x80 | ((c >> 6) & 0x3F));
      bytes[2] = char(0x80 | (c & 0x3F));
      n = 3;
    } else {
      bytes[0] = char(0xF0 | (c >> 18));
      bytes[1] = char(0x80 | ((c >> 12) & 0x3F));
      bytes[2] = char(0x80 | ((c >> 6) & 0x3F));
      bytes[3] = char(0x80 | (c & 0x3F));
      n = 4;
    }
    Write(bytes, n);
  }
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
  WriteAscii(": ");
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
