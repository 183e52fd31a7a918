// The stub's resource section, rewritten (see stub_resources.h).
#include "image/stub_resources.h"

#include <algorithm>
#include <utility>

#include "image/pe_image.h"
#include "image/pe_resources.h"
#include "image/version_record.h"

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
// table begins a section, the bytes of the sections before it lie before its own, and after
// it come only the relocations, whose bytes lie after its own. The reader has checked that
// no section overlaps the headers or another one.
// Else -1 with `error` set.
int ResourceSectionIndex(const std::vector<uint8_t>& image, const PeLayout& layout, std::string* error) {
  const PeDirectory resources = GetPeDirectory(image.data(), layout, kPeDirectoryResources);
  const PeDirectory relocations = GetPeDirectory(image.data(), layout, kPeDirectoryRelocations);
  int index = -1;
  for (size_t i = 0; i < layout.sections.size(); ++i)
    if (resources.size > 0 && layout.sections[i].virtualAddress == resources.address) index = int(i);
  if (index < 0 || layout.sections[size_t(index)].rawSize == 0) {
    *error = "has no resource section of its own";
    return -1;
  }
  const PeSection& rsrc = layout.sections[size_t(index)];
  for (size_t i = 0; i < size_t(index); ++i) {
    const PeSection& s = layout.sections[i];
    if (s.rawSize > 0 && s.rawOffset > rsrc.rawOffset) {
      *error = "has sections whose bytes lie after its resource section but come before it in the table";
      return -1;
    }
  }
  for (size_t i = size_t(index) + 1; i < layout.sections.size(); ++i) {
    const PeSection& s = layout.sections[i];
    if (s.virtualAddress != relocations.address || (s.rawSize > 0 && s.rawOffset < rsrc.rawOffset)) {
      *error = "has sections other than the relocations after its resource section";
      return -1;
    }
  }
  return index;
}

// The new file: everything up to the resource section, the new section, then the sections
// behind it and whatever followed the last of them, each moved as a block; the section
// table, the data directories and the sizes in the optional header follow. Every field is
// written through a bounded store: false when one would not lie within the new file.
bool Rebuild(const std::vector<uint8_t>& image, const PeLayout& layout, size_t index,
             const std::vector<uint8_t>& section, std::vector<uint8_t>& out) {
  const PeSection rsrc = layout.sections[index];
  out.assign(image.begin(), image.begin() + rsrc.rawOffset);
  out.insert(out.end(), section.begin(), section.end());
  out.resize(PeAlign(uint32_t(out.size()), layout.fileAlignment), 0);
  const uint32_t newRawSize = uint32_t(out.size()) - rsrc.rawOffset;
  bool ok = PePutChecked(out, rsrc.headerOffset + 8, uint32_t(section.size())) &&
            PePutChecked(out, rsrc.headerOffset + 16, newRawSize);
  uint32_t nextRva = PeAlign(rsrc.virtualAddress + uint32_t(section.size()), layout.sectionAlignment);
  uint64_t oldEnd = uint64_t(rsrc.rawOffset) + rsrc.rawSize;
  const PeDirectory relocations = GetPeDirectory(image.data(), layout, kPeDirectoryRelocations);
  for (size_t i = index + 1; i < layout.sections.size() && ok; ++i) {
    const PeSection& s = layout.sections[i];
    ok = PePutChecked(out, s.headerOffset + 12, nextRva) &&
         PePutChecked(out, s.headerOffset + 20, s.rawSize ? uint32_t(out.size()) : 0) &&
         SetPeDirectory(out.data(), out.size(), layout, kPeDirectoryRelocations, {nextRva, relocations.size});
    out.insert(out.end(), image.begin() + s.rawOffset, image.begin() + s.rawOffset + s.rawSize);
    oldEnd = std::max<uint64_t>(oldEnd, uint64_t(s.rawOffset) + s.rawSize);
    nextRva = PeAlign(nextRva + std::max(s.virtualSize, s.rawSize), layout.sectionAlignment);
  }
  if (oldEnd < image.size()) out.insert(out.end(), image.begin() + ptrdiff_t(oldEnd), image.end());
  const size_t optional = layout.optionalHeader;
  const uint32_t initialised = ok ? PeGet32(out.data() + optional + 8) : 0;
  return ok && SetPeDirectory(out.data(), out.size(), layout, kPeDirectoryResources,
                              {rsrc.virtualAddress, uint32_t(section.size())}) &&
         PePutChecked(out, optional + 8, initialised + newRawSize - rsrc.rawSize) &&  // SizeOfInitializedData
         PePutChecked(out, optional + 56, nextRva);                                   // SizeOfImage
}

// The rewritten image is read again: a sound image whose resource section holds what was
// written. `layout` gets its layout.
bool RewrittenImageSound(const std::vector<uint8_t>& out, size_t index, const std::vector<uint8_t>& section,
                         PeLayout& layout) {
  if (!ReadPeLayout(out.data(), out.size(), &layout) || index >= layout.sections.size()) return false;
  const PeSection& rsrc = layout.sections[index];
  const PeDirectory resources = GetPeDirectory(out.data(), layout, kPeDirectoryResources);
  if (resources.address != rsrc.virtualAddress || resources.size != section.size() || rsrc.rawSize < section.size())
    return false;
  std::vector<Resource> again;
  std::string problem;
  return ReadResourceSection(out.data() + rsrc.rawOffset, section.size(), rsrc.virtualAddress, &again, &problem);
}

// The resources of the section ResourceSectionIndex finds; false with `error` set.
bool ReadStubResourceList(const std::vector<uint8_t>& image, const PeLayout& layout, int* index,
                          std::vector<Resource>* resources, std::string* error) {
  *index = ResourceSectionIndex(image, layout, error);
  if (*index < 0) return false;
  const PeSection& rsrc = layout.sections[size_t(*index)];
  const uint32_t used = rsrc.virtualSize > 0 ? std::min(rsrc.virtualSize, rsrc.rawSize) : rsrc.rawSize;
  std::string reason;
  if (!ReadResourceSection(image.data() + rsrc.rawOffset, used, rsrc.virtualAddress, resources, &reason)) {
    *error = "has resources this rewriting cannot read: " + reason;
    return false;
  }
  return true;
}

}  // namespace

bool ReadImageVersionRecord(const std::vector<uint8_t>& image, const PeLayout& layout,
                            VersionRecordContents* contents) {
  int index = -1;
  std::vector<Resource> resources;
  std::string error;
  if (!ReadStubResourceList(image, layout, &index, &resources, &error)) return false;
  for (const Resource& r : resources)
    if (IsNumbered(r, kResourceVersion)) return ReadVersionRecord(r.data.data(), r.data.size(), contents);
  return false;
}

bool ReplaceStubResources(StubImage& stub, const StubResources& replace, std::string* error) {
  const std::vector<uint8_t>& image = stub.bytes;
  const PeLayout& layout = stub.layout;
  if (layout.symbolTable != 0) {
    *error = "carries a symbol table (link it stripped)";
    return false;
  }
  int index = -1;
  std::vector<Resource> resources;
  if (!ReadStubResourceList(image, layout, &index, &resources, error)) return false;
  const PeSection rsrc = layout.sections[size_t(index)];
  if (replace.icon) ReplaceIcon(resources, *replace.icon);
  if (replace.versionRecord) ReplaceVersion(resources, *replace.versionRecord);
  const std::vector<uint8_t> section = WriteResourceSection(resources, rsrc.virtualAddress);
  std::vector<uint8_t> out;
  PeLayout outLayout;
  if (!Rebuild(image, layout, size_t(index), section, out) ||
      !RewrittenImageSound(out, size_t(index), section, outLayout)) {
    *error = "cannot be rewritten into a sound image";
    return false;
  }
  stub.bytes.swap(out);
  stub.layout = std::move(outLayout);
  return true;
}
