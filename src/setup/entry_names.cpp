// Entry-name comparisons and the unsafe-name guard.
#include "setup/entry_names.h"

#include "system/text.h"

namespace {

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

// The device names Windows reserves in every folder.
bool IsDeviceName(const char16_t* stem, int length) {
  static const char16_t* const kPlain[] = {u"CON", u"PRN", u"AUX", u"NUL"};
  if (length == 3) {
    for (const char16_t* d : kPlain)
      if (Upper(stem[0]) == d[0] && Upper(stem[1]) == d[1] && Upper(stem[2]) == d[2]) return true;
    return false;
  }
  if (length == 4 && stem[3] >= u'1' && stem[3] <= u'9') {
    char16_t a = Upper(stem[0]), b = Upper(stem[1]), c = Upper(stem[2]);
    return (a == u'C' && b == u'O' && c == u'M') || (a == u'L' && b == u'P' && c == u'T');
  }
  return false;
}

}  // namespace

bool EqualsIgnoreCase(const char16_t* text, const char16_t* other) {
  if (!text || !other) return false;
  for (;; ++text, ++other) {
    if (Upper(*text) != Upper(*other)) return false;
    if (!*text) return true;
  }
}

bool EndsWithIgnoreCase(const char16_t* text, const char16_t* tail) {
  int n = TextLength(text), m = TextLength(tail);
  return m <= n && EqualsIgnoreCase(text + (n - m), tail);
}

bool IsUnsafeEntryName(const char16_t* name) {
  if (!name) return true;
  const char16_t* base = name + FileNameOffset(name);
  int length = TextLength(base);
  bool onlyDotsAndSpaces = true;
  for (int i = 0; i < length; ++i) {
    if (base[i] == u':') return true;
    if (base[i] != u'.' && base[i] != u' ') onlyDotsAndSpaces = false;
  }
  if (length == 0 || onlyDotsAndSpaces) return true;
  // The device name is the part before the first dot; Windows ignores trailing spaces there.
  int stem = 0;
  while (stem < length && base[stem] != u'.') ++stem;
  while (stem > 0 && base[stem - 1] == u' ') --stem;
  return IsDeviceName(base, stem);
}
