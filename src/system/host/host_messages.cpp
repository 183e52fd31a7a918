// Messages on the stand-in: the system's texts for the error codes the setup can meet, as
// the system words them, and message boxes that are recorded for tests and answered OK.
#include <string>

#include "system/host/host_state.h"
#include "system/platform.h"

namespace {

struct SystemText {
  uint32_t code;
  const char16_t* text;
};

const SystemText kSystemTexts[] = {
    {2, u"The system cannot find the file specified.\r\n"},
    {3, u"The system cannot find the path specified.\r\n"},
    {5, u"Access is denied.\r\n"},
    {32, u"The process cannot access the file because it is being used by another process.\r\n"},
    {80, u"The file exists.\r\n"},
    {82, u"The directory or file cannot be created.\r\n"},
    {111, u"The file name is too long.\r\n"},
    {112, u"There is not enough space on the disk.\r\n"},
    {123, u"The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {183, u"Cannot create a file when that file already exists.\r\n"},
    {1067, u"The process terminated unexpectedly.\r\n"},
};

}  // namespace

uint32_t PlatformFormatSystemMessage(uint32_t code, char16_t** text) {
  if (!text) return 0;
  *text = nullptr;
  for (const SystemText& entry : kSystemTexts) {
    if (entry.code != code) continue;
    const std::u16string t(entry.text);
    char16_t* copy = new char16_t[t.size() + 1];
    t.copy(copy, t.size());
    copy[t.size()] = 0;
    *text = copy;
    return static_cast<uint32_t>(t.size());
  }
  PlatformSetLastError(317);  // ERROR_MR_MID_NOT_FOUND
  return 0;
}

void PlatformLocalFree(void* memory) { delete[] static_cast<char16_t*>(memory); }

int PlatformMessageBox(WindowHandle owner, const char16_t* text, const char16_t* caption, unsigned type) {
  TheHostMachine().messages.push_back({owner, text ? text : u"", caption ? caption : u"", type});
  return TheHostMachine().messageAnswer;
}

void HostSetMessageAnswer(int answer) { TheHostMachine().messageAnswer = answer; }
