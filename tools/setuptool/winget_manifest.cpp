// The winget manifest's three files (see winget_manifest.h).
#include "winget_manifest.h"

#include <cstdio>

#include "payload/deployment.h"

namespace {

// The setup's exit codes as winget reports them; every code but success is listed, those
// winget has no word of its own for as contactSupport.
const struct {
  int code;
  const char* response;
} kReturnCodes[] = {
    {kSetupBadCommandLine, "invalidParameter"},
    {kSetupDamaged, "contactSupport"},
    {kSetupCancelled, "cancelledByUser"},
    {kSetupDestinationFailed, "contactSupport"},
    {kSetupDiskFull, "diskFull"},
    {kSetupFilesInUse, "fileInUse"},
    {kSetupOutOfMemory, "insufficientMemory"},
    {kSetupFailed, "contactSupport"},
};

// Characters the schema's patterns refuse in an identifier part and a version: \ / : * ? " < > |
// and the C0 controls (the identifier's parts also refuse whitespace and ".").
bool ForbiddenInVersion(unsigned char c) {
  return c < 0x20 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
         c == '>' || c == '|';
}
bool ForbiddenInIdentifierPart(unsigned char c) {
  return ForbiddenInVersion(c) || c == '.' || c == ' ' || c == 0x7F;
}

// Characters of UTF-8 text (code points, as the schema's lengths count).
size_t CodePoints(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

// The text without what an identifier part may not hold, also U+00A0 (no-break space, which
// the schema's "\s" counts as whitespace), cut to 32 characters.
std::string IdentifierPart(const std::string& text) {
  std::string part;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xA0) {
      ++i;
      continue;
    }
    if (ForbiddenInIdentifierPart(c) || c == '\t') continue;
    if ((c & 0xC0) != 0x80 && CodePoints(part) == 32) break;
    part += char(c);
  }
  return part;
}

std::string Line(const char* key, const std::string& value) { return std::string(key) + ": " + YamlQuoted(value) + "\n"; }
std::string OptionalLine(const char* key, const std::string& value) { return value.empty() ? "" : Line(key, value); }

std::string Header(const char* kind, const WingetPackage& p) {
  return std::string("# Created with setuptool manifest\n# yaml-language-server: $schema=https://aka.ms/winget-manifest.") +
         kind + "." + kWingetManifestVersion + ".schema.json\n\n" + Line("PackageIdentifier", p.identifier) +
         Line("PackageVersion", p.version);
}

std::string Footer(const char* kind) {
  return std::string("ManifestType: ") + kind + "\nManifestVersion: " + kWingetManifestVersion + "\n";
}

std::string Switch(const char* name, const char* value) {
  return std::string("  ") + name + ": " + YamlQuoted(std::string("/") + value) + "\n";
}

std::string InstallerFile(const WingetPackage& p) {
  std::string text = Header("installer", p);
  text += "InstallerType: exe\nScope: machine\nElevationRequirement: elevatesSelf\n";
  text += "InstallModes:\n- interactive\n- silent\n- silentWithProgress\n";
  text += "InstallerSwitches:\n";
  text += Switch("Silent", kSwitchVerySilent) + Switch("SilentWithProgress", kSwitchSilent);
  text += Switch("InstallLocation", (std::string(kSwitchDir) + "=\"<INSTALLPATH>\"").c_str());
  text += Switch("Log", (std::string(kSwitchLog) + "=\"<LOGPATH>\"").c_str());
  text += "ExpectedReturnCodes:\n";
  for (const auto& r : kReturnCodes)
    text += "- InstallerReturnCode: " + std::to_string(r.code) + "\n  ReturnResponse: " + r.response + "\n";
  text += "UpgradeBehavior: install\n" + Line("ProductCode", p.productCode);
  text += "AppsAndFeaturesEntries:\n- " + Line("DisplayName", p.productCode) + "  " + Line("Publisher", p.publisher);
  if (!p.displayVersion.empty()) text += "  " + Line("DisplayVersion", p.displayVersion);
  text += "  " + Line("ProductCode", p.productCode);
  text += "Installers:\n- " + Line("Architecture", p.architecture) + "  " + Line("InstallerUrl", p.installerUrl) +
          "  " + Line("InstallerSha256", p.sha256);
  return text + Footer("installer");
}

std::string LocaleFile(const WingetPackage& p) {
  return Header("defaultLocale", p) + Line("PackageLocale", kWingetLocale) + Line("Publisher", p.publisher) +
         OptionalLine("PublisherSupportUrl", p.supportUrl) + Line("PackageName", p.packageName) +
         OptionalLine("PackageUrl", p.packageUrl) + Line("License", p.license) +
         Line("ShortDescription", p.shortDescription) + Footer("defaultLocale");
}

}  // namespace

std::vector<WingetFile> WingetManifestFiles(const WingetPackage& p) {
  const std::string version = Header("version", p) + Line("DefaultLocale", kWingetLocale) + Footer("version");
  return {{p.identifier + ".yaml", version},
          {p.identifier + ".installer.yaml", InstallerFile(p)},
          {p.identifier + ".locale." + kWingetLocale + ".yaml", LocaleFile(p)}};
}

std::string PackageIdentifierOf(const std::string& publisher, const std::string& name) {
  const std::string first = IdentifierPart(publisher), second = IdentifierPart(name);
  return first.empty() || second.empty() ? std::string() : first + "." + second;
}

std::string PackageIdentifierProblem(const std::string& identifier) {
  if (identifier.size() > 128) return "is longer than 128 characters";
  size_t parts = 0, length = 0;
  for (size_t i = 0; i <= identifier.size(); ++i) {
    const unsigned char c = i < identifier.size() ? static_cast<unsigned char>(identifier[i]) : '.';
    if (c == '.') {
      if (length == 0) return "has an empty part (two dots, or a dot at an end)";
      ++parts, length = 0;
    } else if (ForbiddenInIdentifierPart(c) || c == '\t' ||
               (c == 0xC2 && i + 1 < identifier.size() && static_cast<unsigned char>(identifier[i + 1]) == 0xA0)) {
      return "holds whitespace, a control character or one of \\ / : * ? \" < > |";
    } else if ((c & 0xC0) != 0x80 && ++length > 32) {
      return "has a part longer than 32 characters";
    }
  }
  if (parts < 2 || parts > 8) return "must have 2 to 8 parts separated by dots (Publisher.Name)";
  return std::string();
}

std::string PackageVersionProblem(const std::string& version) {
  if (version.empty()) return "is empty";
  if (CodePoints(version) > 128) return "is longer than 128 characters";
  for (unsigned char c : version)
    if (ForbiddenInVersion(c)) return "holds a control character or one of \\ / : * ? \" < > |";
  return std::string();
}

std::string YamlQuoted(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if (c1) c = static_cast<unsigned char>(text[++i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c == 0x7F || c1) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}
