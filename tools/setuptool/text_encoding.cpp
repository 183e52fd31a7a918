// Code-page text as UTF-8 (see text_encoding.h).
#include "text_encoding.h"

#include <iconv.h>

#include <cerrno>

namespace {

iconv_t OpenConverter(int codePage) { return iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str()); }

}  // namespace

bool CodePageKnown(int codePage) {
  const iconv_t cd = OpenConverter(codePage);
  if (cd == iconv_t(-1)) return false;
  iconv_close(cd);
  return true;
}

std::string CodePageToUtf8(const char* text, int codePage) {
  std::string out;
  const iconv_t cd = OpenConverter(codePage);
  if (cd == iconv_t(-1)) return out;
  std::string in = text;
  char* src = &in[0];
  size_t left = in.size();
  while (left > 0) {
    char buffer[256];
    char* dst = buffer;
    size_t room = sizeof buffer;
    const size_t done = iconv(cd, &src, &left, &dst, &room);
    out.append(buffer, size_t(dst - buffer));
    if (done == size_t(-1) && errno != E2BIG) ++src, --left;  // a byte the code page lacks
  }
  iconv_close(cd);
  return out;
}
