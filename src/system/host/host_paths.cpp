// Mapping of Windows paths onto the stand-in's root folder (see host_paths.h).
#include "system/host/host_paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <vector>

namespace {

std::string& RootSetting() {
  static std::string root = [] {
    const char* env = std::getenv("KORV_HOST_ROOT");
    return std::string(env && *env ? env : "/tmp/korv-host-root");
  }();
  return root;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

// The name of an entry of `folder` that equals `name` ignoring case; `name` when none does.
std::string MatchCase(const std::string& folder, const std::string& name) {
  if (Exists(folder + "/" + name)) return name;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return name;
  std::string found = name;
  while (dirent* entry = readdir(dir)) {
    if (EqualIgnoringCase(entry->d_name, name)) {
      found = entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

void HostSetRoot(const std::string& root) {
  std::string r = root;
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  RootSetting() = r;
}

const std::string& HostRoot() { return RootSetting(); }

std::string HostUtf8(const char16_t* text) {
  std::string out;
  if (!text) return out;
  for (size_t i = 0; text[i]; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string HostUtf16(const std::string& text) {
  std::u16string out;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const uint32_t lead = s[i];
    const size_t extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : 4;
    uint32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    bool bad = extra == 4 || i + extra >= n;
    for (size_t k = 1; !bad && k <= extra; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) bad = true;
      c = (c << 6) | (s[i + k] & 0x3F);
    }
    if (bad) {
      out += u'\xFFFD';
      ++i;
      continue;
    }
    i += extra + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string HostNativePath(const char16_t* path) {
  std::string text = HostUtf8(path);
  for (char& c : text)
    if (c == '\\') c = '/';
  const bool drive = text.size() >= 2 && text[1] == ':' &&
                     ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
  if (!drive) return text;

  // Split the rest into components, folding "." and ".." within the drive.
  std::vector<std::string> parts;
  size_t pos = 2;
  while (pos <= text.size()) {
    size_t end = text.find('/', pos);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(pos, end - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    pos = end + 1;
  }
  std::string out = HostRoot() + "/" + static_cast<char>(FoldAscii(text[0]));
  for (const std::string& part : parts) out += "/" + MatchCase(out, part);
  if (text.size() > 2 && text.back() == '/' && !parts.empty()) out += '/';
  return out;
}
