// The resource section of a PE image (see pe_resources.h).
#include "image/pe_resources.h"

#include <algorithm>

#include "image/pe_image.h"

namespace {

constexpr size_t kDirectoryBytes = 16;
constexpr size_t kEntryBytes = 8;
constexpr size_t kDataEntryBytes = 16;
constexpr uint32_t kHighBit = 0x80000000u;  // a name's text, or a directory of the next level
constexpr size_t kMostResources = 65536;    // more is no stub: a guard against crafted tables
constexpr uint32_t kDataAlignment = 8;

// ---- Reading ----

// A crafted section can let directories share their children, so that one data entry is
// reached a great many times and each time copied: every directory may be reached once,
// and the bytes copied may not add up to more than the section holds.
struct TreeReader {
  const uint8_t* section;
  size_t size;
  uint32_t rva;
  std::vector<Resource>* resources;
  std::string* error;
  std::vector<bool> reached;          // by offset: a directory starts there and was reached
  uint64_t copied;                    // bytes of resources copied so far
};

bool Fail(TreeReader& t, const char* what) {
  *t.error = what;
  return false;
}

bool ReadKey(TreeReader& t, uint32_t field, ResourceKey* key) {
  key->text.clear();
  key->id = 0;
  if (!(field & kHighBit)) {
    key->id = uint16_t(field);
    return field <= 0xFFFF;
  }
  const uint64_t at = field & ~kHighBit;
  if (at + 2 > t.size) return false;
  const uint64_t length = PeGet16(t.section + at);
  if (length == 0 || at + 2 + 2 * length > t.size) return false;
  for (uint64_t i = 0; i < length; ++i) key->text.push_back(char16_t(PeGet16(t.section + at + 2 + 2 * i)));
  return true;
}

bool ReadLeaf(TreeReader& t, uint32_t offset, Resource& path) {
  if (uint64_t(offset) + kDataEntryBytes > t.size) return Fail(t, "a data entry lies outside the resource section");
  const uint8_t* entry = t.section + offset;
  const uint64_t rva = PeGet32(entry), size = PeGet32(entry + 4);
  if (rva < t.rva || rva - t.rva + size > t.size)
    return Fail(t, "a resource's bytes lie outside the resource section");
  if (t.resources->size() >= kMostResources) return Fail(t, "the resource section holds too many resources");
  t.copied += size;
  if (t.copied > t.size) return Fail(t, "the resources' bytes add up to more than the resource section holds");
  path.codePage = PeGet32(entry + 8);
  const uint8_t* data = t.section + (rva - t.rva);
  path.data.assign(data, data + size);
  t.resources->push_back(path);
  return true;
}

// Level 0 holds types, 1 names, 2 languages; the entries of level 2 lead to data entries.
bool ReadDirectory(TreeReader& t, uint64_t offset, int level, Resource& path) {
  if (offset + kDirectoryBytes > t.size) return Fail(t, "a resource directory lies outside the section");
  if (t.reached[size_t(offset)]) return Fail(t, "a resource directory is reached twice");
  t.reached[size_t(offset)] = true;
  const uint8_t* directory = t.section + offset;
  const uint64_t count = uint64_t(PeGet16(directory + 12)) + PeGet16(directory + 14);
  if (offset + kDirectoryBytes + count * kEntryBytes > t.size)
    return Fail(t, "a resource directory's entries lie outside the section");
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* entry = directory + kDirectoryBytes + i * kEntryBytes;
    ResourceKey key;
    if (!ReadKey(t, PeGet32(entry), &key)) return Fail(t, "a resource name lies outside the section");
    const uint32_t target = PeGet32(entry + 4);
    if (level == 0) path.type = key;
    if (level == 1) path.name = key;
    if (level == 2) {
      if (!key.text.empty() || (target & kHighBit))
        return Fail(t, "the resource tree has more than three levels or a named language");
      path.language = key.id;
      if (!ReadLeaf(t, target, path)) return false;
      continue;
    }
    if (!(target & kHighBit)) return Fail(t, "the resource tree has fewer than three levels");
    if (!ReadDirectory(t, target & ~kHighBit, level + 1, path)) return false;
  }
  return true;
}

// ---- Writing ----

// Named keys first, by their text; then numbers in ascending order.
bool KeyBefore(const ResourceKey& a, const ResourceKey& b) {
  if (a.text.empty() != b.text.empty()) return !a.text.empty();
  if (!a.text.empty()) return a.text < b.text;
  return a.id < b.id;
}

bool ResourceBefore(const Resource& a, const Resource& b) {
  if (!(a.type == b.type)) return KeyBefore(a.type, b.type);
  if (!(a.name == b.name)) return KeyBefore(a.name, b.name);
  return a.language < b.language;
}

// One directory of the tree being written: its keys and what each leads to (a directory's
// index, or at the last level a resource's index).
struct Directory {
  std::vector<ResourceKey> keys;
  std::vector<size_t> targets;
  uint32_t offset = 0;
};

// Directories in the order written: the root, the type directories, the name directories.
// `resources` is sorted. Returns the index of the first name directory.
size_t BuildDirectories(const std::vector<Resource>& resources, std::vector<Directory>& dirs) {
  dirs.assign(1, Directory());
  std::vector<std::pair<size_t, size_t>> nameDirs;  // (type directory, first resource)
  for (size_t i = 0; i < resources.size(); ++i) {
    const Resource& r = resources[i];
    const bool newType = i == 0 || !(resources[i - 1].type == r.type);
    if (newType) {
      dirs[0].keys.push_back(r.type);
      dirs[0].targets.push_back(dirs.size());
      dirs.emplace_back();
    }
    if (newType || !(resources[i - 1].name == r.name)) nameDirs.push_back({dirs.size() - 1, i});
  }
  const size_t firstNameDir = dirs.size();
  for (const auto& [typeDir, first] : nameDirs) {
    dirs[typeDir].keys.push_back(resources[first].name);
    dirs[typeDir].targets.push_back(dirs.size());
    Directory languages;
    for (size_t i = first; i < resources.size() && resources[i].type == resources[first].type &&
                           resources[i].name == resources[first].name; ++i) {
      ResourceKey language;
      language.id = resources[i].language;
      languages.keys.push_back(language);
      languages.targets.push_back(i);
    }
    dirs.push_back(languages);
  }
  return firstNameDir;
}

void PutDirectory(std::vector<uint8_t>& out, const Directory& dir, const std::vector<uint32_t>& keyFields,
                  const std::vector<uint32_t>& targetFields) {
  uint8_t* at = out.data() + dir.offset;
  size_t named = 0;
  for (const ResourceKey& key : dir.keys) named += key.text.empty() ? 0 : 1;
  PePut16(at + 12, uint32_t(named));
  PePut16(at + 14, uint32_t(dir.keys.size() - named));
  for (size_t i = 0; i < dir.keys.size(); ++i) {
    PePut32(at + kDirectoryBytes + i * kEntryBytes, keyFields[i]);
    PePut32(at + kDirectoryBytes + i * kEntryBytes + 4, targetFields[i]);
  }
}

// Appends a counted UTF-16 string; returns the key's field (offset with the high bit).
uint32_t PutName(std::vector<uint8_t>& out, const std::u16string& text) {
  const uint32_t at = uint32_t(out.size());
  out.resize(out.size() + 2 + 2 * text.size());
  PePut16(out.data() + at, uint32_t(text.size()));
  for (size_t i = 0; i < text.size(); ++i) PePut16(out.data() + at + 2 + 2 * i, text[i]);
  return at | kHighBit;
}

}  // namespace

bool operator==(const ResourceKey& a, const ResourceKey& b) { return a.id == b.id && a.text == b.text; }

bool ReadResourceSection(const uint8_t* section, size_t size, uint32_t rva,
                         std::vector<Resource>* resources, std::string* error) {
  resources->clear();
  TreeReader t{section, size, rva, resources, error, std::vector<bool>(size), 0};
  Resource path;
  return ReadDirectory(t, 0, 0, path);
}

std::vector<uint8_t> WriteResourceSection(std::vector<Resource> resources, uint32_t rva) {
  std::stable_sort(resources.begin(), resources.end(), ResourceBefore);
  std::vector<Directory> dirs;
  const size_t firstNameDir = BuildDirectories(resources, dirs);
  uint32_t offset = 0;
  for (Directory& dir : dirs) {
    dir.offset = offset;
    offset += uint32_t(kDirectoryBytes + kEntryBytes * dir.keys.size());
  }
  const uint32_t dataEntries = offset;
  std::vector<uint8_t> out(offset + kDataEntryBytes * resources.size(), 0);
  for (size_t d = 0; d < dirs.size(); ++d) {
    std::vector<uint32_t> keyFields, targetFields;
    for (size_t i = 0; i < dirs[d].keys.size(); ++i) {
      const ResourceKey& key = dirs[d].keys[i];
      keyFields.push_back(key.text.empty() ? key.id : PutName(out, key.text));
      const size_t target = dirs[d].targets[i];
      targetFields.push_back(d >= firstNameDir ? uint32_t(dataEntries + kDataEntryBytes * target)
                                               : dirs[target].offset | kHighBit);
    }
    PutDirectory(out, dirs[d], keyFields, targetFields);
  }
  for (size_t i = 0; i < resources.size(); ++i) {
    out.resize(PeAlign(uint32_t(out.size()), kDataAlignment), 0);
    uint8_t* entry = out.data() + dataEntries + kDataEntryBytes * i;
    PePut32(entry, rva + uint32_t(out.size()));
    PePut32(entry + 4, uint32_t(resources[i].data.size()));
    PePut32(entry + 8, resources[i].codePage);
    out.insert(out.end(), resources[i].data.begin(), resources[i].data.end());
  }
  out.resize(PeAlign(uint32_t(out.size()), kDataAlignment), 0);
  return out;
}
