// The publisher's icon and version record in the stub (see pack_branding.h).
#include "pack_branding.h"

#include <cstdio>
#include <map>

#include "archive/extract_context.h"
#include "payload/payload_rules.h"
#include "image/stub_resources.h"
#include "image/version_record.h"
#include "terminal_text.h"
#include "text_encoding.h"

namespace {

const char kDefaultPublisher[] = "Korvane";
constexpr uint64_t kLargestIconFile = 256 * 1024;  // more than the stub can carry anyway

// A text of the given encoding ("CP1252", "UTF-8") as UTF-16; characters that do not
// convert are left out.
std::u16string ToUtf16(const std::string& text, const std::string& encoding) {
  const std::string bytes = ConvertEncoding(text, encoding.c_str(), "UTF-16LE");
  std::u16string out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) out.push_back(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
  return out;
}

// The product facts as the setup program reads them from the payload's description files,
// read from the folder in archive order.
bool ReadFacts(const ListedFolder& folder, const std::vector<FolderFile>& files, ProductFacts& facts, std::string& error) {
  std::vector<std::string> names;
  std::map<std::string, std::string> texts;
  for (const FolderFile& f : files) {
    names.push_back(f.archiveName);
    const PayloadRole role = PayloadRoleOf(f.archiveName);
    if (role != PayloadRole::kDescription && role != PayloadRole::kSetupInfo) continue;
    std::vector<uint8_t> data;
    if (!ReadListedFile(folder, f, data, error, kMemoryEntryLimit - 1)) return false;
    texts[f.archiveName].assign(data.begin(), data.end());
  }
  SortPayloadNames(names);
  facts = ReadPayloadFacts(names, texts);
  return true;
}

void SetField(std::vector<VersionField>& fields, const std::string& key, const std::u16string& value) {
  for (VersionField& field : fields)
    if (field.key == key) {
      field.value = value;
      return;
    }
  fields.push_back({key, value});
}

std::vector<VersionField> VersionFields(const BrandingOptions& options, const ProductFacts& facts, int codePage,
                                        const std::string& output) {
  const std::string ansi = "CP" + std::to_string(codePage);
  const std::u16string product = ToUtf16(facts.product, ansi), version = ToUtf16(facts.version, ansi);
  std::vector<VersionField> fields;
  SetField(fields, "ProductName", product);
  SetField(fields, "ProductVersion", version);
  SetField(fields, "FileVersion", version);
  SetField(fields, "FileDescription", product.empty() ? u"Setup" : product + u" Setup");
  SetField(fields, "CompanyName", ToUtf16(facts.publisher[0] ? facts.publisher : kDefaultPublisher, ansi));
  SetField(fields, "OriginalFilename", ToUtf16(output.substr(output.find_last_of('/') + 1), "UTF-8"));
  for (const auto& [key, value] : options.versionInfo) SetField(fields, key, ToUtf16(value, "UTF-8"));
  return fields;
}

bool ReadIcon(const std::string& path, std::vector<IconImage>& icon, std::string& error) {
  std::vector<uint8_t> bytes;
  std::string problem;
  if (!ReadFolderFile(path, bytes, problem, kLargestIconFile)) {
    error = "cannot use the icon " + TerminalText(path) + ": " + problem;
    return false;
  }
  if (!ReadIconFile(bytes.data(), bytes.size(), &icon, &problem)) {
    error = "the icon " + TerminalText(path) + " " + problem;
    return false;
  }
  return true;
}

}  // namespace

static_assert(kVersionValueLimit == 2700, "kBrandingUsage states the limit");
const char kBrandingUsage[] =
    "  --icon FILE.ico   the setup's icon (in Explorer, the dialog and its caption): all the\n"
    "                    images of FILE.ico; default: the stub's own icon\n"
    "  --version-info KEY=VALUE\n"
    "                    sets one field of the setup's version record (KEY one of ProductName,\n"
    "                    ProductVersion, FileVersion, FileDescription, CompanyName,\n"
    "                    LegalCopyright, LegalTrademarks, Comments, InternalName,\n"
    "                    OriginalFilename, PrivateBuild, SpecialBuild); an empty VALUE removes\n"
    "                    it, and a VALUE holds at most 2700 characters (UTF-16 units). By\n"
    "                    default the record names the product and version of the\n"
    "                    FILE_ID.DIZ's first line, \"<product> Setup\", and the publisher of\n"
    "                    the .INF's \"Publisher\" key (else Korvane) as CompanyName\n";

int ParseBrandingOption(int argc, char** argv, int& i, BrandingOptions& options, std::string& error) {
  const std::string arg = argv[i];
  if (arg != "--icon" && arg != "--version-info") return 0;
  if (i + 1 >= argc) {
    error = arg + " needs a value";
    return -1;
  }
  const std::string value = argv[++i];
  if (arg == "--icon") {
    options.icon = value;
    return 1;
  }
  const size_t equals = value.find('=');
  const std::string key = value.substr(0, equals);
  if (equals == std::string::npos || !IsVersionFieldKey(key)) {
    error = "--version-info takes KEY=VALUE with a version record field as KEY, not '" + TerminalText(value) + "'";
    return -1;
  }
  options.versionInfo.push_back({key, value.substr(equals + 1)});
  return 1;
}

bool BrandStub(const BrandingOptions& options, const ListedFolder& folder, const std::vector<FolderFile>& files,
               int codePage, const std::string& output, StubImage& stub, std::string& error) {
  if (stub.bytes.empty()) {
    if (options.icon.empty() && options.versionInfo.empty()) return true;
    error = "--icon and --version-info go into a stub, and there is none to read (--no-stub, or too large)";
    return false;
  }
  std::vector<IconImage> icon;
  if (!options.icon.empty() && !ReadIcon(options.icon, icon, error)) return false;
  ProductFacts facts;
  if (!ReadFacts(folder, files, facts, error)) {
    error = "cannot read " + error;
    return false;
  }
  const std::vector<VersionField> fields = VersionFields(options, facts, codePage, output);
  if (const VersionField* field = OverlongVersionField(fields)) {
    error = "the version record's " + field->key + " has " + std::to_string(field->value.size()) +
            " characters, and a version record field holds at most " + std::to_string(kVersionValueLimit);
    return false;
  }
  // Read back by our own reader before it goes into the stub: a record that does not say
  // what it was given is a fault of the writer, never to be shipped.
  const std::vector<uint8_t> record = VersionRecordResource(fields);
  if (!VersionRecordReadsAs(record, fields)) {
    error = "the version record written does not read back as its fields (a fault in setuptool)";
    return false;
  }
  StubResources replace;
  replace.icon = options.icon.empty() ? nullptr : &icon;
  replace.versionRecord = &record;
  std::string problem;
  if (ReplaceStubResources(stub, replace, &problem)) {
    if (options.icon.empty() || stub.bytes.size() <= kLastArchiveOffset) return true;
    error = "with the icon " + TerminalText(options.icon) + " the stub has " + std::to_string(stub.bytes.size()) +
            " bytes, and the archive must start by offset 249,996: give fewer or smaller images, or PNG ones";
    return false;
  }
  // A stub of another make keeps its own resources unless the publisher asked for others.
  if (options.icon.empty() && options.versionInfo.empty()) {
    std::fprintf(stderr, "setuptool pack: warning: the stub keeps its own version record: it %s\n", problem.c_str());
    return true;
  }
  error = "cannot put the icon and version record into the stub: it " + problem;
  return false;
}
