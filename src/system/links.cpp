// Shortcut files (see links.h).
#include "system/links.h"

#include "system/platform.h"
#include "system/text.h"

long CreateShellLink(const char16_t* linkPath, const char16_t* target, const char16_t* workingDirectory) {
  char16_t link[kLinkCapacity];
  CopyText(linkPath, link, kLinkCapacity);
  return PlatformCreateShellLink(link, target, workingDirectory, kShowCommand);
}

void CreateLinkInFolder(const char16_t* folder, const char16_t* target, const char16_t* name) {
  if (!folder[0] || !target || !name || !name[0]) return;
  char16_t link[kLinkCapacity];
  char16_t workingDirectory[kLinkCapacity];
  CopyText(folder, link, kLinkCapacity);
  JoinPath(name, link, kLinkCapacity);
  AppendText(u".lnk", link, kLinkCapacity);
  CopyText(target, workingDirectory, kLinkCapacity);
  StripToFolder(workingDirectory);
  CreateShellLink(link, target, workingDirectory);
}
