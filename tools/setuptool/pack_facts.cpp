// The product facts in the archive's code page (see pack_facts.h).
#include "pack_facts.h"

#include <iconv.h>

#include <string>

#include "terminal_text.h"

namespace {

// The 8-bit text in the code page as UTF-16; false when a byte does not convert.
bool Convert(const char* text, int codePage, std::u16string& out) {
  out.clear();
  iconv_t cd = iconv_open("UTF-16LE", ("CP" + std::to_string(codePage)).c_str());
  if (cd == iconv_t(-1)) return true;  // an unknown code page is reported where names are converted
  std::string in = text;
  std::string wide(in.size() * 4 + 4, '\0');
  char* src = &in[0];
  char* dst = &wide[0];
  size_t srcLeft = in.size(), dstLeft = wide.size();
  const bool done = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1) && srcLeft == 0;
  iconv_close(cd);
  for (size_t i = 0; i + 1 < wide.size() - dstLeft; i += 2)
    out.push_back(char16_t(uint8_t(wide[i]) | uint8_t(wide[i + 1]) << 8));
  return done;
}

void CheckName(const char* what, const char* name, int codePage, std::vector<PayloadIssue>& issues) {
  std::u16string wide;
  const bool converted = Convert(name, codePage, wide);
  if (converted && IsSingleSafeName(wide.c_str())) return;
  issues.push_back({PayloadIssueLevel::kError, "",
                    std::string(what) + " \"" + TerminalText(name) + "\" has characters that code page " +
                        std::to_string(codePage) + " does not define: the setup program could not create it"});
}

// A web page's address is shown and opened by Windows after conversion from the code page.
void CheckWebAddress(const char* key, const char* address, int codePage, std::vector<PayloadIssue>& issues) {
  if (!IsWebAddress(address)) return;  // absent, or refused by the .INF's check already
  std::u16string wide;
  bool sound = Convert(address, codePage, wide);
  for (char16_t c : wide) sound = sound && !(c >= 0x7F && c <= 0x9F) && c != 0xFFFD;
  if (sound) return;
  issues.push_back({PayloadIssueLevel::kError, "",
                    std::string("the value of \"") + key + "\" has characters that code page " +
                        std::to_string(codePage) + " does not define: Windows could not show or open it"});
}

}  // namespace

void CheckFactsInCodePage(const ProductFacts& facts, int codePage, std::vector<PayloadIssue>& issues) {
  CheckWebAddress("URL", facts.url, codePage, issues);
  CheckWebAddress("HelpURL", facts.helpUrl, codePage, issues);
  if (!IsSingleSafeNarrowName(facts.group) || !IsSingleSafeNarrowName(facts.mainProgram)) return;  // said already
  CheckName("the group name", facts.group, codePage, issues);
  CheckName("the main program's name", facts.mainProgram, codePage, issues);
}
