// The resource section of a PE image, read into a flat list of resources and written back
// as a new section. setuptool pack uses it to put the publisher's icon and version record
// into the stub: it reads the stub's resources, replaces some and writes them all again.
//
// The section holds a tree of three levels: type, name, language. Each level is a directory
// table (16 bytes: characteristics, time stamp, version, then the counts of named and of
// numbered entries) followed by its entries (8 bytes: a name or number, then the offset of
// a directory of the next level, high bit set, or of a data entry). A name is the offset
// (high bit set) of a counted UTF-16 string. A data entry (16 bytes) gives the RVA and size
// of the resource's bytes, and a code page. All offsets except the data entry's RVA are
// from the section's start. Within a directory the named entries come first, in ascending
// order of their names, then the numbered ones in ascending order: the loader searches
// them by halving.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A type or a name: a number, or a text when `text` is not empty.
struct ResourceKey {
  uint16_t id = 0;
  std::u16string text;
};
bool operator==(const ResourceKey& a, const ResourceKey& b);

struct Resource {
  ResourceKey type;
  ResourceKey name;
  uint16_t language = 0;
  uint32_t codePage = 0;
  std::vector<uint8_t> data;
};

// Resource types this system writes.
constexpr uint16_t kResourceIcon = 3;         // RT_ICON: one image of an icon
constexpr uint16_t kResourceGroupIcon = 14;   // RT_GROUP_ICON: the images that make an icon
constexpr uint16_t kResourceVersion = 16;     // RT_VERSION: the version record

// Reads the tree of a resource section whose bytes are `section` (`size` of them, loaded at
// `rva`). False with `error` set when it is not a well-formed three-level tree within the
// section, or a resource's bytes lie outside it.
bool ReadResourceSection(const uint8_t* section, size_t size, uint32_t rva,
                         std::vector<Resource>* resources, std::string* error);

// The bytes of a resource section holding `resources` (in any order), to be loaded at `rva`:
// directories, data entries, names, then each resource's bytes at an 8-byte boundary.
std::vector<uint8_t> WriteResourceSection(std::vector<Resource> resources, uint32_t rva);
