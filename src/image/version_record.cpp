// The version record resource, its writer and its reader (see version_record.h).
#include "image/version_record.h"

#include "image/pe_image.h"

namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr uint32_t kFixedInfoVersion = 0x00010000u;
constexpr uint32_t kFileFlagsMask = 0x3F;        // VS_FFI_FILEFLAGSMASK
constexpr uint32_t kOsNtWindows32 = 0x00040004u; // VOS_NT_WINDOWS32
constexpr uint32_t kFileTypeApp = 1;             // VFT_APP
constexpr uint16_t kTypeBinary = 0;
constexpr uint16_t kTypeText = 1;
constexpr size_t kNodeHeader = 6;                // length, value length, type
constexpr size_t kFixedInfoBytes = 52;
constexpr char16_t kRootKey[] = u"VS_VERSION_INFO";
constexpr char16_t kStringsKey[] = u"StringFileInfo";
constexpr char16_t kStringTable[] = u"040904B0";  // US English (0x0409), UTF-16 (1200)
constexpr char16_t kVariablesKey[] = u"VarFileInfo";
constexpr char16_t kTranslationKey[] = u"Translation";
constexpr uint32_t kTranslation = 0x04B00409u;

constexpr size_t Align4(size_t value) { return (value + 3) & ~size_t(3); }

struct Node {
  std::u16string key;
  std::vector<uint8_t> value;
  uint16_t valueLength;  // bytes, or characters with the terminator for a text
  uint16_t type;
  std::vector<Node> children;
};

void Pad(std::vector<uint8_t>& out) { out.resize(Align4(out.size()), 0); }

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
  std::vector<uint8_t> info(kFixedInfoBytes, 0);
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

constexpr const char* const kVersionFieldKeys[] = {"Comments", "CompanyName", "FileDescription", "FileVersion",
                                         "InternalName", "LegalCopyright", "LegalTrademarks",
                                         "OriginalFilename", "PrivateBuild", "ProductName",
                                         "ProductVersion", "SpecialBuild"};
const int kVersionFieldKeyCount = int(sizeof kVersionFieldKeys / sizeof kVersionFieldKeys[0]);

namespace {

// Bytes of a node's header with its key, padded: where its value starts.
template <size_t N>
constexpr size_t HeaderBytes(const char16_t (&)[N]) { return Align4(kNodeHeader + 2 * N); }
constexpr size_t HeaderBytes(const char* key) {
  size_t characters = 0;
  while (key[characters]) ++characters;
  return Align4(kNodeHeader + 2 * (characters + 1));
}

// The largest record the writer makes: every field at the limit, each followed by the
// padding to the next node.
constexpr size_t LargestRecordBytes() {
  size_t bytes = HeaderBytes(kRootKey) + kFixedInfoBytes + HeaderBytes(kStringsKey) + HeaderBytes(kStringTable) +
                 HeaderBytes(kVariablesKey) + HeaderBytes(kTranslationKey) + 4;
  for (const char* key : kVersionFieldKeys) bytes += Align4(HeaderBytes(key) + 2 * (kVersionValueLimit + 1));
  return bytes;
}
static_assert(LargestRecordBytes() <= 0xFFFF, "twelve values at the limit must fit a 16-bit record length");

}  // namespace

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

const VersionField* OverlongVersionField(const std::vector<VersionField>& fields) {
  for (const VersionField& field : fields)
    if (field.value.size() > kVersionValueLimit) return &field;
  return nullptr;
}

std::vector<uint8_t> VersionRecordResource(const std::vector<VersionField>& fields) {
  if (OverlongVersionField(fields)) return {};
  uint16_t file[4] = {0, 0, 0, 0}, product[4] = {0, 0, 0, 0};
  if (const std::u16string* text = FieldValue(fields, "FileVersion")) ParseVersionNumbers(*text, file);
  if (const std::u16string* text = FieldValue(fields, "ProductVersion")) ParseVersionNumbers(*text, product);
  Node table{kStringTable, {}, 0, kTypeText, {}};
  for (int i = 0; i < kVersionFieldKeyCount; ++i) {
    const std::u16string* value = FieldValue(fields, kVersionFieldKeys[i]);
    if (value && !value->empty()) table.children.push_back(TextNode({kVersionFieldKeys[i], *value}));
  }
  Node strings{kStringsKey, {}, 0, kTypeText, {table}};
  Node translation{kTranslationKey, std::vector<uint8_t>(4, 0), 4, kTypeBinary, {}};
  PePut32(translation.value.data(), kTranslation);
  Node variables{kVariablesKey, {}, 0, kTypeText, {translation}};
  Node root{kRootKey, FixedInfo(file, product), uint16_t(kFixedInfoBytes), kTypeBinary, {strings, variables}};
  std::vector<uint8_t> out;
  PutNode(out, root);
  return out;
}

// ---- Reading ----

namespace {

// A node as the reader finds it; offsets are from the record's start.
struct NodeView {
  size_t end;              // one past its last byte (its start plus its length)
  std::u16string key;
  uint16_t type;
  uint16_t valueLength;    // as stored: bytes, or characters for a text
  size_t valueAt, valueBytes;
  size_t childrenAt;       // its first child's offset; children only when below `end`
};

// The node at `at`, which must lie within its parent, ending at `parentEnd`.
bool ReadNodeAt(const uint8_t* data, size_t at, size_t parentEnd, NodeView* node) {
  if (at % 4 != 0 || at > parentEnd || parentEnd - at < kNodeHeader) return false;
  const size_t length = PeGet16(data + at);
  if (length < kNodeHeader || length > parentEnd - at) return false;
  node->end = at + length;
  node->valueLength = uint16_t(PeGet16(data + at + 2));
  node->type = uint16_t(PeGet16(data + at + 4));
  if (node->type != kTypeBinary && node->type != kTypeText) return false;
  node->key.clear();
  size_t p = at + kNodeHeader;
  for (;; p += 2) {
    if (node->end - p < 2) return false;  // no terminator within the node
    const char16_t c = char16_t(PeGet16(data + p));
    if (c == 0) break;
    if (c >= 0x80) return false;
    node->key.push_back(c);
  }
  node->valueAt = Align4(p + 2);
  node->valueBytes = node->type == kTypeText ? 2 * size_t(node->valueLength) : node->valueLength;
  if (node->valueBytes > 0 && (node->valueAt > node->end || node->valueBytes > node->end - node->valueAt)) return false;
  node->childrenAt = Align4(node->valueAt + node->valueBytes);
  return true;
}

// The children of `parent`, each at the 4-byte boundary after the one before, within it.
bool ReadChildren(const uint8_t* data, const NodeView& parent, std::vector<NodeView>* children) {
  children->clear();
  for (size_t at = parent.childrenAt; at < parent.end; at = Align4(children->back().end)) {
    NodeView child;
    if (!ReadNodeAt(data, at, parent.end, &child)) return false;
    children->push_back(child);
  }
  return true;
}

// A string of a table: a text with its terminator, up to which Windows reads it.
bool AddString(const uint8_t* data, const NodeView& node, VersionRecordContents* contents) {
  if (node.type != kTypeText || node.valueLength == 0) return false;
  std::u16string value;
  for (size_t i = 0; i < node.valueLength; ++i) {
    const char16_t c = char16_t(PeGet16(data + node.valueAt + 2 * i));
    if (c == 0) {
      contents->fields.push_back({std::string(node.key.begin(), node.key.end()), value});
      return true;
    }
    value.push_back(c);
  }
  return false;
}

// Checks the nodes below `node` (at `depth`, the root's children being 1) down to the
// strings' children, and collects the strings of the tables in "StringFileInfo".
bool ReadBelow(const uint8_t* data, const NodeView& node, int depth, bool inStrings, VersionRecordContents* contents) {
  std::vector<NodeView> children;
  if (!ReadChildren(data, node, &children)) return false;
  for (const NodeView& child : children) {
    if (depth == 3 && inStrings && !AddString(data, child, contents)) return false;
    const bool strings = inStrings || (depth == 1 && child.key == kStringsKey);
    if (depth < 4 && !ReadBelow(data, child, depth + 1, strings, contents)) return false;
  }
  return true;
}

void VersionParts(uint32_t high, uint32_t low, uint16_t parts[4]) {
  parts[0] = uint16_t(high >> 16), parts[1] = uint16_t(high), parts[2] = uint16_t(low >> 16), parts[3] = uint16_t(low);
}

}  // namespace

bool ReadVersionRecord(const uint8_t* data, size_t size, VersionRecordContents* contents) {
  *contents = VersionRecordContents{};
  NodeView root;
  if (!ReadNodeAt(data, 0, size, &root) || root.end != size || root.key != kRootKey || root.type != kTypeBinary ||
      root.valueBytes != kFixedInfoBytes)
    return false;
  const uint8_t* fixed = data + root.valueAt;
  if (PeGet32(fixed) != kFixedInfoSignature) return false;
  VersionParts(PeGet32(fixed + 8), PeGet32(fixed + 12), contents->fileVersion);
  VersionParts(PeGet32(fixed + 16), PeGet32(fixed + 20), contents->productVersion);
  return ReadBelow(data, root, 1, false, contents);
}

bool VersionRecordReadsAs(const std::vector<uint8_t>& record, const std::vector<VersionField>& fields) {
  VersionRecordContents read;
  if (!ReadVersionRecord(record.data(), record.size(), &read)) return false;
  size_t next = 0;
  for (const char* key : kVersionFieldKeys) {
    const std::u16string* value = FieldValue(fields, key);
    if (!value || value->empty()) continue;
    if (next >= read.fields.size() || read.fields[next].key != key || read.fields[next].value != *value) return false;
    ++next;
  }
  uint16_t file[4] = {0, 0, 0, 0}, product[4] = {0, 0, 0, 0};
  if (const std::u16string* text = FieldValue(fields, "FileVersion")) ParseVersionNumbers(*text, file);
  if (const std::u16string* text = FieldValue(fields, "ProductVersion")) ParseVersionNumbers(*text, product);
  for (int i = 0; i < 4; ++i)
    if (read.fileVersion[i] != file[i] || read.productVersion[i] != product[i]) return false;
  return next == read.fields.size();
}
