// The product facts of a payload and their rule (see product_facts.h).
#include "payload/product_facts.h"

#include "payload/entry_rules.h"
#include "payload/text_rules.h"

namespace {

constexpr int kNameCharacters = 32;  // the widest of group, main program and class, terminator included

void CopyCut(const char* text, int length, char* field, int capacity) {
  const int n = length < capacity - 1 ? length : capacity - 1;
  for (int i = 0; i < n; ++i) field[i] = text[i];
  field[n] = 0;
}

int Length(const char* text) {
  int n = 0;
  while (text[n]) ++n;
  return n;
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

bool EqualsAsciiIgnoreCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (UpperAscii(*a) != UpperAscii(*b)) return false;
  return *a == *b;
}

// A single name component by the entry-name rules, and no separator inside it. Characters
// the code page leaves undefined are only known once converted, so 8-bit text passes them.
bool NameIsSafe(const char16_t* name, bool refuseUndefined) {
  int length = 0;
  for (; name[length]; ++length) {
    const char16_t c = name[length];
    if (c == u'\\' || c == u'/') return false;
    if (refuseUndefined && ((c >= 0x7F && c <= 0x9F) || c == 0xFFFD)) return false;
  }
  return length == 0 || UnsafeNameReasonOf(name, length) == kNameSafe;
}

// The window classes of the system and the shell: the standard controls, dialog boxes and
// menus ("#" and an atom's number), the taskbar, the desktop and Explorer's windows.
const char* const kSystemWindowClasses[] = {
    "Button", "ComboBox", "ComboLBox", "Edit", "ListBox", "MDIClient", "ScrollBar", "Static", "Message",
    "DDEMLEvent", "IME", "MSCTFIME UI", "Shell_TrayWnd", "Shell_SecondaryTrayWnd", "TrayNotifyWnd",
    "NotifyIconOverflowWindow", "Progman", "WorkerW", "SHELLDLL_DefView", "SysListView32", "SysTreeView32",
    "SysHeader32", "SysTabControl32", "SysPager", "ToolbarWindow32", "ReBarWindow32", "tooltips_class32",
    "msctls_progress32", "msctls_statusbar32", "msctls_trackbar32", "CabinetWClass", "ExploreWClass",
    "ConsoleWindowClass", "DV2ControlHost", "BaseBar", "Ghost", "TaskManagerWindow",
    "ApplicationFrameWindow", "Windows.UI.Core.CoreWindow", "Shell_InputSwitchTopLevelWindow",
};

// The length of the web scheme the text starts with ("http://" or "https://", the letters in
// any case); 0 for none.
int SchemeLength(const char* text) {
  static const char* const kSchemes[] = {"https://", "http://"};
  for (const char* scheme : kSchemes) {
    int n = 0;
    while (scheme[n] && UpperAscii(text[n]) == UpperAscii(scheme[n])) ++n;
    if (!scheme[n]) return n;
  }
  return 0;
}

}  // namespace

void ReadSetupInfoFacts(const char* text, ProductFacts* facts) {
  if (!text) return;
  char* const fields[kSetupInfoKeyCount] = {facts->productId, facts->group, facts->windowClass, facts->mainProgram,
                                            facts->publisher, facts->folders};
  for (int k = 0; k < kSetupInfoKeyCount; ++k) {
    int length = 0;
    const char* value = FindSetupInfoValue(text, kSetupInfoKeys[k].key, &length);
    if (value) CopyCut(value, length, fields[k], kSetupInfoKeys[k].width + 1);
  }
  char* const lineFields[kSetupInfoLineKeyCount] = {facts->url, facts->helpUrl};
  for (int k = 0; k < kSetupInfoLineKeyCount; ++k) {
    int length = 0;
    const char* value = FindSetupInfoLineValue(text, kSetupInfoLineKeys[k].key, &length);
    if (value) CopyCut(value, length, lineFields[k], kSetupInfoLineKeys[k].width + 1);
  }
}

void ReadDescriptionFacts(const char* text, ProductFacts* facts) {
  if (!text) return;
  DescriptionLine line;
  ReadDescriptionLine(text, &line);
  CopyCut(line.product, Length(line.product), facts->product, int(sizeof facts->product));
  CopyCut(line.version, Length(line.version), facts->version, int(sizeof facts->version));
  if (!facts->group[0]) CopyCut(line.product, Length(line.product), facts->group, int(sizeof facts->group));
}

const char* WatchedWindowClass(const ProductFacts& facts) {
  return facts.windowClass[0] ? facts.windowClass : facts.group;
}

bool KeepsFolders(const ProductFacts& facts) { return EqualsAsciiIgnoreCase(facts.folders, "Keep"); }

FactProblem CheckProductFacts(const ProductFacts& facts) {
  if (!IsSingleSafeNarrowName(facts.group)) return kGroupNotAFolderName;
  if (!IsSingleSafeNarrowName(facts.mainProgram)) return kMainProgramNotAFileName;
  if (IsSystemWindowClass(WatchedWindowClass(facts))) return kWindowClassOfTheSystem;
  return kFactsSound;
}

bool IsSingleSafeName(const char16_t* name) { return name && NameIsSafe(name, true); }

bool IsWebAddress(const char* text) {
  if (!text) return false;
  int n = SchemeLength(text);
  if (n == 0 || text[n] == 0 || text[n] == '/' || text[n] == '?' || text[n] == '#') return false;  // no host
  for (; text[n]; ++n) {
    const unsigned char c = static_cast<unsigned char>(text[n]);
    if (c <= 0x20 || c == 0x7F || c == '"') return false;
  }
  return true;
}

bool IsSystemWindowClass(const char* windowClass) {
  if (!windowClass || !windowClass[0]) return false;
  if (windowClass[0] == '#') return true;
  for (const char* system : kSystemWindowClasses)
    if (EqualsAsciiIgnoreCase(windowClass, system)) return true;
  return false;
}

bool IsSingleSafeNarrowName(const char* name) {
  char16_t wide[kNameCharacters];
  int n = 0;
  for (; n < kNameCharacters - 1 && name[n]; ++n) wide[n] = char16_t(static_cast<unsigned char>(name[n]));
  if (name[n]) return false;  // longer than any field: not one of ours
  wide[n] = 0;
  return NameIsSafe(wide, false);
}
