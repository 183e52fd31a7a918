// The setup program's rules for entry names (see entry_rules.h).
#include "payload/entry_rules.h"

namespace {

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

int Length(const char16_t* text) {
  int n = 0;
  while (text && text[n]) ++n;
  return n;
}

// Whether the first length characters of text equal word (upper case), ignoring case.
bool StemIs(const char16_t* text, int length, const char16_t* word) {
  int i = 0;
  for (; i < length && word[i]; ++i)
    if (Upper(text[i]) != word[i]) return false;
  return i == length && !word[i];
}

// The device names Windows reserves in every folder; the stem is the part before the first
// dot, trailing spaces dropped as Windows drops them.
bool IsDeviceName(const char16_t* name, int length) {
  int stem = 0;
  while (stem < length && name[stem] != u'.') ++stem;
  while (stem > 0 && name[stem - 1] == u' ') --stem;
  static const char16_t* const kDevices[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$", u"CLOCK$"};
  for (const char16_t* d : kDevices)
    if (StemIs(name, stem, d)) return true;
  if (stem == 4 && name[3] >= u'1' && name[3] <= u'9')
    return StemIs(name, 3, u"COM") || StemIs(name, 3, u"LPT");
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
  int n = Length(text), m = Length(tail);
  return m <= n && EqualsIgnoreCase(text + (n - m), tail);
}

ScanEntryKind ScanEntryKindOf(const char16_t* name) {
  if (Length(name) < 5) return VerifyOnly;
  if (EqualsIgnoreCase(name, u"FILE_ID.DIZ")) return Description;
  if (EndsWithIgnoreCase(name, u".INF")) return SetupInfo;
  if (EndsWithIgnoreCase(name, u".LNG")) return LanguageFile;
  return VerifyOnly;
}

int BaseNameOffset(const char16_t* name) {
  int offset = 0;
  for (int i = 0; name && name[i]; ++i)
    if (name[i] == u'\\' || name[i] == u'/') offset = i + 1;
  return offset;
}

UnsafeNameReason UnsafeNameReasonOf(const char16_t* name, int length) {
  if (!name || length <= 0) return kNameEmpty;
  if ((length == 1 && name[0] == u'.') || (length == 2 && name[0] == u'.' && name[1] == u'.'))
    return kNameFolderReference;
  for (int i = 0; i < length; ++i) {
    char16_t c = name[i];
    if (c < 32) return kNameControlCharacter;
    if (c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*')
      return kNameReservedCharacter;
  }
  if (name[length - 1] == u'.' || name[length - 1] == u' ') return kNameTrailingDotOrSpace;
  if (IsDeviceName(name, length)) return kNameDevice;
  return kNameSafe;
}

UnsafeNameReason UnsafePathReasonOf(const char16_t* path) {
  if (!path) return kNameEmpty;
  for (int start = 0, i = 0;; ++i) {
    if (path[i] && path[i] != u'\\' && path[i] != u'/') continue;
    const UnsafeNameReason reason = UnsafeNameReasonOf(path + start, i - start);
    if (reason != kNameSafe) return reason;
    if (!path[i]) return kNameSafe;
    start = i + 1;
  }
}

bool IsUninstallerName(const char16_t* base) { return EqualsIgnoreCase(base, u"UnInst.exe"); }

bool IsNeverInstalled(const char16_t* base) { return Length(base) > 4 && EndsWithIgnoreCase(base, u".INF"); }

bool IsMainProgramCandidate(const char16_t* base) {
  return Length(base) > 4 && Upper(base[0]) == u'K' && EndsWithIgnoreCase(base, u".EXE");
}

void LanguageFilePrefixOf(const char16_t* entryName, char16_t* prefix) {
  const char16_t* base = entryName + BaseNameOffset(entryName);
  int length = 0;
  while (length < kPayloadNameCapacity - 1 && base[length]) {
    prefix[length] = base[length];
    ++length;
  }
  if (length > 7) length -= 7;
  prefix[length] = 0;
}

int EntryLanguageCodeText(const char16_t* name, int prefixLength, char16_t* code) {
  code[0] = 0;
  for (const char16_t* p = name; *p; ++p) {
    if (*p == u'\\') {
      name = p + 1;
      break;
    }
  }
  if (Length(name) <= prefixLength || name[prefixLength] != u'_') return 0;
  const char16_t* at = name + prefixLength + 1;
  int length = 0;
  while (at[length] && at[length] != u'.') ++length;
  if (length > 4) return 0;
  for (int i = 0; i < length; ++i) code[i] = Upper(at[i]);
  code[length] = 0;
  return length;
}

bool LanguageItemLetters(const char16_t* name, char16_t* letters) {
  int length = Length(name);
  letters[0] = 0;
  if (length < 6) return false;
  letters[0] = name[length - 6];
  letters[1] = name[length - 5];
  letters[2] = 0;
  return true;
}
