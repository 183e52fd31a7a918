// The unsafe-name guard of the scan and install passes, over the payload's name rule.
#include "setup/entry_names.h"

#include "system/text.h"

bool IsUnsafeEntryName(const char16_t* name) {
  if (!name) return true;
  const char16_t* base = name + BaseNameOffset(name);
  return UnsafeNameReasonOf(base, TextLength(base)) != kNameSafe;
}
