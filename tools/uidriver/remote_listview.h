// The items of a list view that belongs to another process.
//
// Counts and state bits travel in the message itself, but an item's text and parameter are
// written into an LVITEMW whose address the list view dereferences in its own process. So the
// record and its text buffer are placed in the owner's memory (VirtualAllocEx), filled and read
// back with WriteProcessMemory / ReadProcessMemory. Both processes are of one architecture
// (remote_memory.h), so the record has the same layout on both sides.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ListItem {
  int index = 0;
  unsigned long param = 0;   // the setup keeps the language code here, first letter lowest
  unsigned stateImage = 0;   // 1 = unchecked, 2 = checked, 0 = none
  std::wstring text;
};

// Returns false (and says why on standard error) when the owner process cannot be reached.
bool ReadListItems(HWND list, std::vector<ListItem>& items);
bool SetListItemStateImage(HWND list, int index, unsigned stateImage);
bool ReadColumnText(HWND list, int column, std::wstring& text);

// "US" for 0x5355: the parameter's bytes as letters, lowest first, up to the first zero.
std::wstring CodeFromParam(unsigned long param);
