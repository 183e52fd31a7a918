// The version record resource (see version_record.h).
#include "pack/version_record.h"

#include "pack/pe_image.h"

namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr uint32_t kFixedInfoVersion = 0x00010000u;
constexpr uint32_t kFileFlagsMask = 0x3F;        // VS_FFI_FILEFLAGSMASK
constexpr uint32_t kOsNtWindows32 = 0x00040004u; // VOS_NT_WINDOWS32
constexpr uint32_t kFileTypeApp = 1;             // VFT_APP
constexpr uint16_t kTypeBinary = 0;
constexpr uint16_t kTypeText = 1;
const char16_t kStringTable[] = u"040904B0";     // US English (0x0409), UTF-16 (1200)
constexpr uint32_t kTranslation = 0x04B00409u;

struct Node {
  std::u16string key;
  std::vector<uint8_t> value;
  uint16_t valueLength;  // bytes, or characters with the terminator for a text
  uint16_t type;
  std::vector<Node> children;
};

void Pad(std::vector<uint8_t>& out) { out.resize(PeAlign(uint32_t(out.size()), 4), 0); }

void PutText(std::vector<uint8_t>& out, const std::u16string& text) {
  for (char16_t c : text) out.push_back(uint8_t(c)), out.push_back(uint8_t(c >> 8));
  out.push_back(0), out.push_back(0);
}

// Offsets are from the record's start, which the resource section places at an 8-byte
// boundary, so 4-byte boundaries in `out` are 4-byte boundaries in the image.
void PutNode(std::vector<uint8_t>& out, const Node& node) {
  const size_t start = out.size();
  out.resize(start + 6, 0);
  PutText(out, node.key);
  Pad(out);
  out.insert(out.end(), node.value.begin(), node.value.end());
  for (const Node& child : node.children) {
    Pad(out);
    PutNode(out, child);
  }
  PePut16(out.data() + start, uint32_t(out.size() - start));
  PePut16(out.data() + start + 2, node.valueLength);
  PePut16(out.data() + start + 4, node.type);
}

Node TextNode(const VersionField& field) {
  Node node{std::u16string(field.key.begin(), field.key.end()), {}, uint16_t(field.value.size() + 1), kTypeText, {}};
  PutText(node.value, field.value);
  return node;
}

std::vector<uint8_t> FixedInfo(const uint16_t file[4], const uint16_t product[4]) {
  std::vector<uint8_t> info(52, 0);
  const uint32_t words[13] = {kFixedInfoSignature, kFixedInfoVersion,
                              uint32_t(file[0]) << 16 | file[1], uint32_t(file[2]) << 16 | file[3],
                              uint32_t(product[0]) << 16 | product[1], uint32_t(product[2]) << 16 | product[3],
                              kFileFlagsMask, 0, kOsNtWindows32, kFileTypeApp, 0, 0, 0};
  for (int i = 0; i < 13; ++i) PePut32(info.data() + 4 * i, words[i]);
  return info;
}

const std::u16string* FieldValue(const std::vector<VersionField>& fields, const char* key) {
  for (const VersionField& field : fields)
    if (field.key == key) return &field.value;
  return nullptr;
}

}  // namespace

const char* const kVersionFieldKeys[] = {"Comments", "CompanyName", "FileDescription", "FileVersion",
                                         "InternalName", "LegalCopyright", "LegalTrademarks",
                                         "OriginalFilename", "PrivateBuild", "ProductName",
                                         "ProductVersion", "SpecialBuild"};
const int kVersionFieldKeyCount = int(sizeof kVersionFieldKeys / sizeof kVersionFieldKeys[0]);

bool IsVersionFieldKey(const std::string& key) {
  for (int i = 0; i < kVersionFieldKeyCount; ++i)
    if (key == kVersionFieldKeys[i]) return true;
  return false;
}

bool ParseVersionNumbers(const std::u16string& text, uint16_t parts[4]) {
  for (int i = 0; i < 4; ++i) parts[i] = 0;
  size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (at >= text.size() || text[at] < u'0' || text[at] > u'9') return part > 0;
    uint32_t value = 0;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
      value = value * 10 + uint32_t(text[at] - u'0');
      if (value > 0xFFFF) {
        for (int i = 0; i < 4; ++i) parts[i] = 0;
        return false;
      }
    }
    parts[part] = uint16_t(value);
    if (at + 1 >= text.size() || text[at] != u'.' || text[at + 1] < u'0' || text[at + 1] > u'9') return true;
    ++at;
  }
  return true;
}

std::vector<uint8_t> VersionRecordResource(const std::vector<VersionField>& fields) {
  uint16_t file[4] = {0, 0, 0, 0}, product[4] = {0, 0, 0, 0};
  if (const std::u16string* text = FieldValue(fields, "FileVersion")) ParseVersionNumbers(*text, file);
  if (const std::u16string* text = FieldValue(fields, "ProductVersion")) ParseVersionNumbers(*text, product);
  Node table{kStringTable, {}, 0, kTypeText, {}};
  for (int i = 0; i < kVersionFieldKeyCount; ++i) {
    const std::u16string* value = FieldValue(fields, kVersionFieldKeys[i]);
    if (value && !value->empty()) table.children.push_back(TextNode({kVersionFieldKeys[i], *value}));
  }
  Node strings{u"StringFileInfo", {}, 0, kTypeText, {table}};
  Node translation{u"Translation", std::vector<uint8_t>(4, 0), 4, kTypeBinary, {}};
  PePut32(translation.value.data(), kTranslation);
  Node variables{u"VarFileInfo", {}, 0, kTypeText, {translation}};
  Node root{u"VS_VERSION_INFO", FixedInfo(file, product), 52, kTypeBinary, {strings, variables}};
  std::vector<uint8_t> out;
  PutNode(out, root);
  return out;
}
