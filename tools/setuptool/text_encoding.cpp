// Converting text between encodings (see text_encoding.h).
#include "text_encoding.h"

#include <iconv.h>

#include <cerrno>

namespace {

std::string CodePageName(int codePage) { return "CP" + std::to_string(codePage); }

}  // namespace

std::string ConvertEncoding(const std::string& text, const char* from, const char* to) {
  std::string out;
  const iconv_t cd = iconv_open(to, from);
  if (cd == iconv_t(-1)) return out;
  std::string in = text;
  char* src = &in[0];
  size_t left = in.size();
  while (left > 0) {
    char buffer[512];
    char* dst = buffer;
    size_t room = sizeof buffer;
    const size_t done = iconv(cd, &src, &left, &dst, &room);
    out.append(buffer, size_t(dst - buffer));
    if (done == size_t(-1) && errno != E2BIG) ++src, --left;  // a byte that does not convert
  }
  iconv_close(cd);
  return out;
}

bool CodePageKnown(int codePage) {
  const iconv_t cd = iconv_open("UTF-8", CodePageName(codePage).c_str());
  if (cd == iconv_t(-1)) return false;
  iconv_close(cd);
  return true;
}

std::string CodePageToUtf8(const char* text, int codePage) {
  return ConvertEncoding(text, CodePageName(codePage).c_str(), "UTF-8");
}
