// Windows command lines and switch names (see arguments.h).
#include "system/arguments.h"

bool IsArgumentBlank(char16_t c) { return c == u' ' || c == u'\t'; }

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

bool NextArgument(const char16_t*& p, char16_t* out, int capacity, bool* cut) {
  while (IsArgumentBlank(*p)) ++p;
  if (!*p) return false;
  int n = 0;
  *cut = false;
  auto put = [&](char16_t c) {
    if (n < capacity - 1) out[n++] = c;
    else *cut = true;
  };
  bool quoted = false;
  while (*p && (quoted || !IsArgumentBlank(*p))) {
    int backslashes = 0;
    while (*p == u'\\') ++backslashes, ++p;
    if (*p == u'"') {
      for (int i = 0; i < backslashes / 2; ++i) put(u'\\');
      if (backslashes % 2) {
        put(u'"');
      } else if (quoted && p[1] == u'"') {  // "" inside quotes: a literal quote
        put(u'"');
        ++p;
      } else {
        quoted = !quoted;
      }
      ++p;
      continue;
    }
    for (int i = 0; i < backslashes; ++i) put(u'\\');
    if (*p && (quoted || !IsArgumentBlank(*p))) put(*p++);
  }
  out[n] = 0;
  return true;
}

bool NameIs(const char16_t* name, int length, const char* expected) {
  int i = 0;
  for (; i < length && expected[i]; ++i)
    if (UpperAscii(name[i]) != char16_t(expected[i])) return false;
  return i == length && !expected[i];
}

const char16_t* SkipProgramName(const char16_t* commandLine) {
  const char16_t* p = commandLine;
  if (*p == u'"') {
    ++p;
    while (*p && *p != u'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && !IsArgumentBlank(*p)) ++p;
  }
  while (IsArgumentBlank(*p)) ++p;
  return p;
}

