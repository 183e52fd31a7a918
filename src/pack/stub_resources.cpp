// The stub's resource section, rewritten (see stub_resources.h).
#include "pack/stub_resources.h"

#include <algorithm>

#include "pack/pe_image.h"
#include "pack/pe_resources.h"

namespace {

constexpr uint16_t kSetupIconId = 1;      // the icon the setup program loads, the group's name
constexpr uint16_t kVersionRecordId = 1;
constexpr uint16_t kUsEnglish = 0x0409;
constexpr size_t kGroupHeaderBytes = 6;
constexpr size_t kGroupEntryBytes = 14;

bool IsSetupIcon(const Resource& r) { return r.type.id == kResourceGroupIcon && r.type.text.empty() && r.name.id == kSetupIconId && r.name.text.empty(); }
bool IsNumbered(const Resource& r, uint16_t type) { return r.type.text.empty() && r.type.id == type; }

// Replaces icon 1: its group and the images it lists go, the new images take the ids after
// the highest image id left.
void ReplaceIcon(std::vector<Resource>& resources, const std::vector<IconImage>& icon) {
  uint16_t language = kUsEnglish;
  std::vector<uint16_t> oldImages;
  for (const Resource& r : resources) {
    if (!IsSetupIcon(r)) continue;
    language = r.language;
    const size_t count = r.data.size() >= kGroupHeaderBytes ? PeGet16(r.data.data() + 4) : 0;
    for (size_t i = 0; i < count && kGroupHeaderBytes + (i + 1) * kGroupEntryBytes <= r.data.size(); ++i)
      oldImages.push_back(uint16_t(PeGet16(r.data.data() + kGroupHeaderBytes + i * kGroupEntryBytes + 12)));
  }
  resources.erase(std::remove_if(resources.begin(), resources.end(), [&](const Resource& r) {
    return IsSetupIcon(r) || (IsNumbered(r, kResourceIcon) && r.name.text.empty() &&
                              std::find(oldImages.begin(), oldImages.end(), r.name.id) != oldImages.end());
  }), resources.end());
  uint32_t firstId = 1;
  for (const Resource& r : resources)
    if (IsNumbered(r, kResourceIcon) && r.name.text.empty()) firstId = std::max<uint32_t>(firstId, r.name.id + 1u);
  for (size_t i = 0; i < icon.size(); ++i) {
    Resource image;
    image.type.id = kResourceIcon;
    image.name.id = uint16_t(firstId + i);
    image.language = language;
    image.data = icon[i].data;
    resources.push_back(image);
  }
  Resource group;
  group.type.id = kResourceGroupIcon;
  group.name.id = kSetupIconId;
  group.language = language;
  group.data = GroupIconResource(icon, uint16_t(firstId));
  resources.push_back(group);
}

void ReplaceVersion(std::vector<Resource>& resources, const std::vector<uint8_t>& record) {
  uint16_t language = kUsEnglish;
  for (const Resource& r : resources)
    if (IsNumbered(r, kResourceVersion)) language = r.language;
  resources.erase(std::remove_if(resources.begin(), resources.end(),
                                 [](const Resource& r) { return IsNumbered(r, kResourceVersion); }),
                  resources.end());
  Resource version;
  version.type.id = kResourceVersion;
  version.name.id = kVersionRecordId;
  version.language = language;
  version.data = record;
  resources.push_back(version);
}

// The resource section's index, when the layout is one the rewriting knows: the resource
// table begins a section, every section before it ends in the file before it, and after it
// come only the relocations. Else -1 with `error` set.
int ResourceSectionIndex(const std::vector<uint8_t>& image, const PeLayout& layout, std::string* error) {
  const PeDirectory resources = GetPeDirectory(image.data(), layout, kPeDirectoryResources);
  const PeDirectory relocations = GetPeDirectory(image.data(), layout, kPeDirectoryRelocations);
  int index = -1;
  for (size_t i = 0; i < layout.sections.size(); ++i)
    if (resources.size > 0 && layout.sections[i].virtualAddress == resources.address) index = int(i);
  if (index < 0) {
    *error = "has no resource section of its own";
    return -1;
  }
  const PeSection& rsrc = layout.sections[size_t(index)];
  for (const PeSection& s : layout.sections) {
    if (s.rawSize > 0 && uint64_t(s.rawOffset) + s.rawSize > image.size()) {
      *error = "has sections that end beyond the end of the file";
      return -1;
    }
  }
  for (size_t i = 0; i < layout.sections.size(); ++i) {
    const PeSection& s = layout.sections[i];
    const bool before = i < size_t(index);
    if (before && s.rawSize > 0 && s.rawOffset + uint64_t(s.rawSize) > rsrc.rawOffset) index = -1;
    if (i > size_t(index) && index >= 0 && (s.virtualAddress != relocations.address || s.rawOffset < rsrc.rawOffset)) index = -1;
  }
  if (index < 0) *error = "has sections other than the relocations after its resource section";
  return index;
}

}  // namespace

bool ReplaceStubResources(std::vector<uint8_t>& image, const StubResources& replace, std::string* error) {
  PeLayout layout;
  if (!ReadPeLayout(image.data(), image.size(), &layout)) {
    *error = "is not a 32-bit Windows program";
    return false;
  }
  if (!PeAlignmentUsable(layout.sectionAlignment) || !PeAlignmentUsable(layout.fileAlignment)) {
    *error = "has no usable section and file alignment";
    return false;
  }
  if (layout.symbolTable != 0) {
    *error = "carries a symbol table (link it stripped)";
    return false;
  }
  const int index = ResourceSectionIndex(image, layout, error);
  if (index < 0) return false;
  const PeSection rsrc = layout.sections[size_t(index)];
  const uint32_t used = rsrc.virtualSize > 0 ? std::min(rsrc.virtualSize, rsrc.rawSize) : rsrc.rawSize;
  std::vector<Resource> resources;
  std::string problem;
  if (!ReadResourceSection(image.data() + rsrc.rawOffset, used, rsrc.virtualAddress, &resources, &problem)) {
    *error = "has resources this rewriting cannot read: " + problem;
    return false;
  }
  if (replace.icon) ReplaceIcon(resources, *replace.icon);
  if (replace.versionRecord) ReplaceVersion(resources, *replace.versionRecord);
  const std::vector<uint8_t> section = WriteResourceSection(resources, rsrc.virtualAddress);

  // The new file: everything up to the resource section, the new section, then the sections
  // behind it and whatever followed the last of them, each moved as a block.
  std::vector<uint8_t> out(image.begin(), image.begin() + rsrc.rawOffset);
  out.insert(out.end(), section.begin(), section.end());
  out.resize(PeAlign(uint32_t(out.size()), layout.fileAlignment), 0);
  const uint32_t newRawSize = uint32_t(out.size()) - rsrc.rawOffset;
  PePut32(out.data() + rsrc.headerOffset + 8, uint32_t(section.size()));
  PePut32(out.data() + rsrc.headerOffset + 16, newRawSize);
  uint32_t nextRva = PeAlign(rsrc.virtualAddress + uint32_t(section.size()), layout.sectionAlignment);
  uint64_t oldEnd = uint64_t(rsrc.rawOffset) + rsrc.rawSize;
  for (size_t i = size_t(index) + 1; i < layout.sections.size(); ++i) {
    const PeSection& s = layout.sections[i];
    PePut32(out.data() + s.headerOffset + 12, nextRva);
    PePut32(out.data() + s.headerOffset + 20, s.rawSize ? uint32_t(out.size()) : 0);
    out.insert(out.end(), image.begin() + s.rawOffset, image.begin() + s.rawOffset + s.rawSize);
    const PeDirectory relocations = GetPeDirectory(image.data(), layout, kPeDirectoryRelocations);
    SetPeDirectory(out.data(), layout, kPeDirectoryRelocations, {nextRva, relocations.size});
    oldEnd = std::max<uint64_t>(oldEnd, uint64_t(s.rawOffset) + s.rawSize);
    nextRva = PeAlign(nextRva + std::max(s.virtualSize, s.rawSize), layout.sectionAlignment);
  }
  if (oldEnd < image.size()) out.insert(out.end(), image.begin() + ptrdiff_t(oldEnd), image.end());
  SetPeDirectory(out.data(), layout, kPeDirectoryResources, {rsrc.virtualAddress, uint32_t(section.size())});
  uint8_t* optional = out.data() + layout.optionalHeader;
  PePut32(optional + 8, PeGet32(optional + 8) + newRawSize - rsrc.rawSize);  // SizeOfInitializedData
  PePut32(optional + 56, nextRva);                                             // SizeOfImage
  image.swap(out);
  return true;
}
