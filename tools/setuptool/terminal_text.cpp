// Escaping names for the terminal (see terminal_text.h).
#include "terminal_text.h"

#include <cstdint>
#include <cstdio>

namespace {

void AppendEscaped(std::string& out, uint8_t byte) {
  char hex[5];
  std::snprintf(hex, sizeof hex, "\\x%02x", byte);
  out += hex;
}

// Length of the valid UTF-8 sequence at text[at] (1 to 4), or 0 when it is not one:
// overlong forms, surrogates and code points above U+10FFFF are not valid.
size_t Utf8SequenceLength(const std::string& text, size_t at, uint32_t* codePoint) {
  const uint8_t lead = uint8_t(text[at]);
  size_t length;
  uint32_t value, lowest;
  if (lead < 0x80) { *codePoint = lead; return 1; }
  if ((lead & 0xE0) == 0xC0) { length = 2; value = lead & 0x1F; lowest = 0x80; }
  else if ((lead & 0xF0) == 0xE0) { length = 3; value = lead & 0x0F; lowest = 0x800; }
  else if ((lead & 0xF8) == 0xF0) { length = 4; value = lead & 0x07; lowest = 0x10000; }
  else return 0;
  if (at + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    const uint8_t next = uint8_t(text[at + k]);
    if ((next & 0xC0) != 0x80) return 0;
    value = value << 6 | (next & 0x3F);
  }
  if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *codePoint = value;
  return length;
}

}  // namespace

std::string TerminalText(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    uint32_t codePoint = 0;
    const size_t length = Utf8SequenceLength(utf8, at, &codePoint);
    const bool control = codePoint < 0x20 || codePoint == 0x7F || (codePoint >= 0x80 && codePoint < 0xA0);
    if (length == 0 || control) {
      for (size_t k = 0; k < (length ? length : 1); ++k) AppendEscaped(out, uint8_t(utf8[at + k]));
      at += length ? length : 1;
      continue;
    }
    out.append(utf8, at, length);
    at += length;
  }
  return out;
}
