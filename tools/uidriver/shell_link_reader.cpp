// Reads a shortcut file back through the shell's own link object, so that a check sees the
// target and working directory exactly as Windows would when the user opens the shortcut.
#include "shell_link_reader.h"

#include <objidl.h>
#include <shlobj.h>

bool ReadShellLink(const std::wstring& path, ShellLinkInfo& info) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return false;
  }
  bool loaded = false;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    loaded = SUCCEEDED(file->Load(path.c_str(), STGM_READ));
    file->Release();
  }
  if (loaded) {
    wchar_t buffer[MAX_PATH * 2] = {};
    link->GetPath(buffer, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
    info.target = buffer;
    buffer[0] = L'\0';
    link->GetWorkingDirectory(buffer, MAX_PATH * 2);
    info.workingDirectory = buffer;
    buffer[0] = L'\0';
    link->GetArguments(buffer, MAX_PATH * 2);
    info.arguments = buffer;
    int show = 0;
    link->GetShowCmd(&show);
    info.showCommand = show;
  }
  link->Release();
  return loaded;
}
