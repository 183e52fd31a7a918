// Writes results as UTF-8 bytes straight to the standard handles: under Wine they are the
// Unix pipes of the calling shell script, so no console code page gets in the way.
#include "output.h"

#include <windows.h>

namespace {

void WriteUtf8(DWORD which, const std::wstring& text) {
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0,
                                  nullptr, nullptr);
  std::string out((size_t)bytes, '\0');
  if (bytes > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], bytes, nullptr,
                        nullptr);
  }
  out.push_back('\n');
  DWORD written = 0;
  WriteFile(GetStdHandle(which), out.data(), (DWORD)out.size(), &written, nullptr);
}

}  // namespace

std::wstring Escaped(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    switch (c) {
      case L'\r': out += L"\\r"; break;
      case L'\n': out += L"\\n"; break;
      case L'\t': out += L"\\t"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

void WriteField(std::wstring& line, const std::wstring& text) { line += Escaped(text); }

void WriteLine(const std::wstring& text) { WriteUtf8(STD_OUTPUT_HANDLE, text); }

void WriteError(const std::wstring& text) { WriteUtf8(STD_ERROR_HANDLE, L"uidriver: " + text); }

std::wstring Hex(unsigned long value, int digits) {
  std::wstring out;
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    out.push_back(L"0123456789abcdef"[(value >> shift) & 15]);
  }
  return L"0x" + out;
}
