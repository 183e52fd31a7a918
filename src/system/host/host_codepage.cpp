// The ANSI code page of the stand-in: Windows-1252, both ways. Bytes 0x80-0x9F carry the
// typographic characters of that code page; the five bytes it leaves undefined map to the
// control characters of the same value, as Windows maps them. Wide characters that the
// code page cannot hold become its default character '?', each half of a surrogate pair on
// its own, as the system's conversion does.
#include <cstring>
#include <string>

#include "system/platform.h"

namespace {

// Unicode values of the bytes 0x80-0x9F.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char16_t ByteToWide(unsigned char b) {
  return (b >= 0x80 && b < 0xA0) ? kHighControls[b - 0x80] : static_cast<char16_t>(b);
}

char WideToByte(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i)
    if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

int PlatformAnsiToWide(const char* source, char16_t* dest, int room) {
  if (!source) {
    PlatformSetLastError(87);  // ERROR_INVALID_PARAMETER
    return 0;
  }
  int n = 0;
  while (source[n]) ++n;
  const int needed = n + 1;  // the terminator is converted too
  if (room == 0) return needed;
  for (int i = 0; i < needed; ++i) {
    if (i >= room) {
      PlatformSetLastError(kErrorInsufficientBuffer);
      return 0;
    }
    dest[i] = ByteToWide(static_cast<unsigned char>(source[i]));
  }
  return needed;
}

int PlatformWideToAnsi(const char16_t* source, char* dest, int room) {
  if (!source) {
    PlatformSetLastError(87);
    return 0;
  }
  int n = 0;
  while (source[n]) ++n;
  const int needed = n + 1;
  if (room == 0) return needed;
  for (int i = 0; i < needed; ++i) {
    if (i >= room) {
      PlatformSetLastError(kErrorInsufficientBuffer);
      return 0;
    }
    dest[i] = WideToByte(source[i]);
  }
  return needed;
}

int PlatformWideToUtf8(const char16_t* source, char* dest, int room) {
  std::string bytes;
  for (const char16_t* p = source; p && *p; ++p) {
    uint32_t c = *p;
    if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    // A lead byte with the top bits of the code point, then 6 bits per continuation byte.
    const int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    static const unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
    bytes += char(kLead[extra] | (c >> (6 * extra)));
    for (int i = extra - 1; i >= 0; --i) bytes += char(0x80 | ((c >> (6 * i)) & 0x3F));
  }
  if (int(bytes.size()) > room) return 0;
  std::memcpy(dest, bytes.data(), bytes.size());
  return int(bytes.size());
}
