// The stand-in's registry: one text file per root under <root>/registry, in the registry
// editor's export form, read before and rewritten after every change so that values persist
// between runs and can be read by a person:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Korvane]
//   "ABC"="C:\\Program Files\\Tool"
//   "Odd"=hex(3):01,02
//
// A REG_SZ value is written as quoted text when its data is exactly a text and its
// terminator; any other data is written as hex bytes. Key and value names ignore case.
#include <stdio.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "system/host/host_control.h"
#include "system/host/host_paths.h"
#include "system/host/host_state.h"
#include "system/platform.h"

namespace {

struct Value {
  std::u16string name;
  uint32_t type;
  std::string data;  // raw bytes as stored by RegSetValueExW
};
struct Key {
  std::u16string path;
  std::vector<Value> values;
};
struct Hive {
  std::vector<Key> keys;
};

const char* HiveName(HostHive hive) {
  return hive == HostHive::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}
std::string HiveFile(HostHive hive) { return HostRoot() + "/registry/" + HiveName(hive) + ".reg"; }

// Canonical key path: separators as single backslashes, none at either end.
std::u16string CleanKeyPath(const std::u16string& path) {
  std::u16string out;
  for (char16_t c : path) {
    if (c == u'/') c = u'\\';
    if (c == u'\\' && (out.empty() || out.back() == u'\\')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == u'\\') out.pop_back();
  return out;
}

std::string Escape(const std::u16string& text) {
  std::string out;
  for (char c : HostUtf8(text.c_str())) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '\n') { out += "\\n"; continue; }
    if (c == '\r') { out += "\\r"; continue; }
    out += c;
  }
  return out;
}

// Reads a quoted text starting at line[pos] == '"'; pos ends after the closing quote.
std::u16string Unquote(const std::string& line, size_t& pos) {
  std::string out;
  for (++pos; pos < line.size() && line[pos] != '"'; ++pos) {
    if (line[pos] == '\\' && pos + 1 < line.size()) {
      ++pos;
      out += line[pos] == 'n' ? '\n' : line[pos] == 'r' ? '\r' : line[pos];
    } else {
      out += line[pos];
    }
  }
  ++pos;
  return HostUtf16(out);
}

// A REG_SZ value whose data is exactly a text plus its terminator, as text; else false.
bool DataAsText(const Value& v, std::u16string* text) {
  if (v.type != kRegSz || v.data.size() < 2 || v.data.size() % 2) return false;
  const size_t count = v.data.size() / 2;
  std::u16string t;
  for (size_t i = 0; i < count; ++i) {
    const char16_t c = static_cast<char16_t>(static_cast<unsigned char>(v.data[2 * i]) |
                                             (static_cast<unsigned char>(v.data[2 * i + 1]) << 8));
    if ((c == 0) != (i == count - 1)) return false;
    if (c) t += c;
  }
  *text = t;
  return true;
}

std::string TextAsData(const std::u16string& text) {
  std::string data;
  for (char16_t c : text) {
    data += static_cast<char>(c & 0xFF);
    data += static_cast<char>(c >> 8);
  }
  data.append(2, '\0');
  return data;
}

Hive Load(HostHive hive) {
  Hive h;
  std::ifstream in(HiveFile(hive));
  const std::string prefix = std::string("[") + HiveName(hive);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, prefix.size(), prefix) == 0 && line.back() == ']') {
      h.keys.push_back({CleanKeyPath(HostUtf16(line.substr(prefix.size(), line.size() - prefix.size() - 1))), {}});
      continue;
    }
    if (h.keys.empty() || line.empty() || (line[0] != '"' && line[0] != '@')) continue;
    Value v;
    size_t pos = 0;
    if (line[0] == '@') pos = 1; else v.name = Unquote(line, pos);
    if (pos >= line.size() || line[pos] != '=') continue;
    ++pos;
    if (pos < line.size() && line[pos] == '"') {
      v.type = kRegSz;
      v.data = TextAsData(Unquote(line, pos));
    } else if (line.compare(pos, 4, "hex(") == 0) {
      v.type = static_cast<uint32_t>(strtoul(line.c_str() + pos + 4, nullptr, 16));
      pos = line.find("):", pos);
      if (pos == std::string::npos) continue;
      std::istringstream bytes(line.substr(pos + 2));
      std::string byte;
      while (std::getline(bytes, byte, ','))
        if (!byte.empty()) v.data += static_cast<char>(strtoul(byte.c_str(), nullptr, 16));
    } else {
      continue;
    }
    h.keys.back().values.push_back(v);
  }
  return h;
}

void Save(HostHive hive, const Hive& h) {
  mkdir((HostRoot() + "/registry").c_str(), 0777);
  const std::string file = HiveFile(hive);
  const std::string temp = file + ".new";
  {
    std::ofstream out(temp, std::ios::trunc);
    out << "Windows Registry Editor Version 5.00\n";
    for (const Key& k : h.keys) {
      out << "\n[" << HiveName(hive) << (k.path.empty() ? "" : "\\") << HostUtf8(k.path.c_str()) << "]\n";
      for (const Value& v : k.values) {
        out << (v.name.empty() ? std::string("@") : "\"" + Escape(v.name) + "\"") << "=";
        std::u16string text;
        if (DataAsText(v, &text)) {
          out << "\"" << Escape(text) << "\"\n";
          continue;
        }
        char head[24];
        snprintf(head, sizeof head, "hex(%x):", v.type);
        out << head;
        for (size_t i = 0; i < v.data.size(); ++i) {
          char byte[4];
          snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(v.data[i]));
          out << (i ? "," : "") << byte;
        }
        out << "\n";
      }
    }
  }
  rename(temp.c_str(), file.c_str());
}

Key* FindKey(Hive& h, const std::u16string& path) {
  const std::u16string folded = HostFoldCase(CleanKeyPath(path));
  for (Key& k : h.keys)
    if (HostFoldCase(k.path) == folded) return &k;
  return nullptr;
}

Key& CreateKey(Hive& h, const std::u16string& path) {
  const std::u16string clean = CleanKeyPath(path);
  for (size_t pos = 0;; ++pos) {  // the parents first, as the registry needs them
    pos = clean.find(u'\\', pos);
    const std::u16string part = clean.substr(0, pos);
    if (!FindKey(h, part)) h.keys.push_back({part, {}});
    if (pos == std::u16string::npos) break;
  }
  return *FindKey(h, clean);
}

Value* FindValue(Key& k, const std::u16string& name) {
  const std::u16string folded = HostFoldCase(name);
  for (Value& v : k.values)
    if (HostFoldCase(v.name) == folded) return &v;
  return nullptr;
}

void SetValue(Key& k, const std::u16string& name, uint32_t type, const std::string& data) {
  if (Value* v = FindValue(k, name)) {
    v->type = type;
    v->data = data;
  } else {
    k.values.push_back({name, type, data});
  }
}

struct OpenKey {
  HostHive hive;
  std::u16string path;
  uint32_t access;
};

HostHive HiveOf(RegistryRoot root) {
  return root == RegistryRoot::CurrentUser ? HostHive::CurrentUser : HostHive::LocalMachine;
}

// The key a 32-bit program reaches: on a 64-bit system HKLM\Software\X is redirected to
// HKLM\Software\WOW6432Node\X.
std::u16string ViewedKey(HostHive hive, const std::u16string& subKey) {
  const std::u16string clean = CleanKeyPath(subKey);
  if (hive != HostHive::LocalMachine || !TheHostMachine().wow64) return clean;
  const std::u16string folded = HostFoldCase(clean);
  if (folded != u"software" && folded.compare(0, 9, u"software\\") != 0) return clean;
  if (folded == u"software\\wow6432node" || folded.compare(0, 21, u"software\\wow6432node\\") == 0) return clean;
  return clean.substr(0, 8) + u"\\WOW6432Node" + clean.substr(8);
}

}  // namespace

// ---- Platform calls ---------------------------------------------------------------------

long PlatformRegOpenKey(RegistryRoot root, const char16_t* subKey, uint32_t access, RegistryKey* key) {
  if (!key) return 87;
  *key = nullptr;
  Hive h = Load(HiveOf(root));
  const Key* k = FindKey(h, ViewedKey(HiveOf(root), subKey ? subKey : u""));
  if (!k) return kErrorFileNotFound;
  *key = new OpenKey{HiveOf(root), k->path, access};
  return 0;
}

long PlatformRegCreateKey(RegistryRoot root, const char16_t* subKey, uint32_t access, RegistryKey* key) {
  if (!key) return 87;
  *key = nullptr;
  Hive h = Load(HiveOf(root));
  const std::u16string path = CreateKey(h, ViewedKey(HiveOf(root), subKey ? subKey : u"")).path;
  Save(HiveOf(root), h);
  *key = new OpenKey{HiveOf(root), path, access};
  return 0;
}

long PlatformRegQueryValue(RegistryKey key, const char16_t* name, uint32_t* type, void* data, uint32_t* size) {
  const OpenKey* open = static_cast<const OpenKey*>(key);
  if (!open) return 6;  // ERROR_INVALID_HANDLE
  if ((open->access & 0x0001) == 0) return kErrorAccessDenied;  // KEY_QUERY_VALUE
  Hive h = Load(open->hive);
  Key* k = FindKey(h, open->path);
  Value* v = k ? FindValue(*k, name ? name : u"") : nullptr;
  if (!v) return kErrorFileNotFound;
  if (type) *type = v->type;
  const uint32_t needed = static_cast<uint32_t>(v->data.size());
  if (!size) return data ? 87 : 0;
  if (data && *size < needed) {
    *size = needed;
    return kErrorMoreData;
  }
  if (data) v->data.copy(static_cast<char*>(data), needed);
  *size = needed;
  return 0;
}

long PlatformRegSetValue(RegistryKey key, const char16_t* name, uint32_t type, const void* data, uint32_t size) {
  const OpenKey* open = static_cast<const OpenKey*>(key);
  if (!open) return 6;
  if ((open->access & 0x0002) == 0) return kErrorAccessDenied;  // KEY_SET_VALUE
  Hive h = Load(open->hive);
  Key& k = CreateKey(h, open->path);
  SetValue(k, name ? name : u"", type, std::string(static_cast<const char*>(data), data ? size : 0));
  Save(open->hive, h);
  return 0;
}

void PlatformRegCloseKey(RegistryKey key) { delete static_cast<OpenKey*>(key); }

long PlatformRegDeleteKey(RegistryRoot root, const char16_t* subKey) {
  Hive h = Load(HiveOf(root));
  const std::u16string path = ViewedKey(HiveOf(root), subKey ? subKey : u"");
  Key* k = FindKey(h, path);
  if (!k) return kErrorFileNotFound;
  const std::u16string prefix = HostFoldCase(k->path) + u"\\";
  for (const Key& other : h.keys)
    if (HostFoldCase(other.path).compare(0, prefix.size(), prefix) == 0) return kErrorAccessDenied;  // has sub-keys
  h.keys.erase(h.keys.begin() + (k - h.keys.data()));
  Save(HiveOf(root), h);
  return 0;
}

bool PlatformRegKeyIsEmpty(RegistryRoot root, const char16_t* subKey) {
  Hive h = Load(HiveOf(root));
  const Key* k = FindKey(h, ViewedKey(HiveOf(root), subKey ? subKey : u""));
  if (!k || !k->values.empty()) return false;
  const std::u16string prefix = HostFoldCase(k->path) + u"\\";
  for (const Key& other : h.keys)
    if (HostFoldCase(other.path).compare(0, prefix.size(), prefix) == 0) return false;
  return true;
}

long PlatformRegDeleteValue(RegistryKey key, const char16_t* name) {
  const OpenKey* open = static_cast<const OpenKey*>(key);
  if (!open) return 6;
  if ((open->access & 0x0002) == 0) return kErrorAccessDenied;  // KEY_SET_VALUE
  if (!HostRegistryRead(open->hive, open->path, name ? name : u"", nullptr)) return kErrorFileNotFound;
  HostRegistryDeleteValue(open->hive, open->path, name ? name : u"");
  return 0;
}

// ---- Test controls ----------------------------------------------------------------------

bool HostRegistryRead(HostHive hive, const std::u16string& key, const std::u16string& value,
                      std::u16string* text, uint32_t* type) {
  Hive h = Load(hive);
  Key* k = FindKey(h, key);
  Value* v = k ? FindValue(*k, value) : nullptr;
  if (!v) return false;
  if (type) *type = v->type;
  if (text) {
    text->clear();
    for (size_t i = 0; i + 1 < v->data.size(); i += 2) {
      const char16_t c = static_cast<char16_t>(static_cast<unsigned char>(v->data[i]) |
                                               (static_cast<unsigned char>(v->data[i + 1]) << 8));
      if (!c) break;
      *text += c;
    }
  }
  return true;
}

void HostRegistryWrite(HostHive hive, const std::u16string& key, const std::u16string& value,
                       const std::u16string& text) {
  HostRegistryWriteRaw(hive, key, value, kRegSz, TextAsData(text));
}

void HostRegistryWriteRaw(HostHive hive, const std::u16string& key, const std::u16string& value,
                          uint32_t type, const std::string& data) {
  Hive h = Load(hive);
  SetValue(CreateKey(h, key), value, type, data);
  Save(hive, h);
}

void HostRegistryDeleteValue(HostHive hive, const std::u16string& key, const std::u16string& value) {
  Hive h = Load(hive);
  Key* k = FindKey(h, key);
  if (!k) return;
  const std::u16string folded = HostFoldCase(value);
  for (size_t i = 0; i < k->values.size(); ++i) {
    if (HostFoldCase(k->values[i].name) == folded) {
      k->values.erase(k->values.begin() + static_cast<long>(i));
      Save(hive, h);
      return;
    }
  }
}

bool HostRegistryKeyExists(HostHive hive, const std::u16string& key) {
  Hive h = Load(hive);
  return FindKey(h, key) != nullptr;
}

std::vector<std::u16string> HostRegistryValueNames(HostHive hive, const std::u16string& key) {
  std::vector<std::u16string> names;
  Hive h = Load(hive);
  if (Key* k = FindKey(h, key))
    for (const Value& v : k->values) names.push_back(v.name);
  return names;
}

void HostSetProgramFilesDir(const std::u16string& path) {
  const std::u16string key = ViewedKey(HostHive::LocalMachine, u"Software\\Microsoft\\Windows\\CurrentVersion");
  if (path.empty())
    HostRegistryDeleteValue(HostHive::LocalMachine, key, u"ProgramFilesDir");
  else
    HostRegistryWrite(HostHive::LocalMachine, key, u"ProgramFilesDir", path);
}
