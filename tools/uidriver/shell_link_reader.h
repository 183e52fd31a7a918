// Reading a shortcut (.lnk) file. The caller has initialised COM on its thread.
#pragma once

#include <windows.h>

#include <string>

struct ShellLinkInfo {
  std::wstring target;
  std::wstring workingDirectory;
  std::wstring arguments;
  int showCommand = 0;
};

bool ReadShellLink(const std::wstring& path, ShellLinkInfo& info);
