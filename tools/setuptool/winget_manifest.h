// The three files of a winget multi-file manifest (schema 1.10.0) for a finished setup, as
// setuptool manifest writes them: the version file "<id>.yaml", the installer file
// "<id>.installer.yaml" and the default locale "<id>.locale.en-US.yaml".
//
// What the manifest promises comes from where the setup's behaviour is decided: the
// switches and exit codes from payload/deployment.h, the uninstall key's name (ProductCode)
// and the entry's DisplayName, Publisher and DisplayVersion from the product facts as the
// setup reads them. Every text is written as a YAML double-quoted scalar, so a product name
// holding ":", "#", quotes or a leading "-" reads back as itself, and a version such as
// "1.10" stays a text rather than becoming the number 1.1.
#pragma once
#include <string>
#include <vector>

constexpr char kWingetManifestVersion[] = "1.10.0";
constexpr char kWingetLocale[] = "en-US";

// The facts of a package, in UTF-8. Empty optional fields are left out of the files.
struct WingetPackage {
  std::string identifier;        // PackageIdentifier: "Publisher.Name"
  std::string version;           // PackageVersion
  std::string architecture;      // "x86" or "x64"
  std::string installerUrl;      // where winget downloads the setup
  std::string sha256;            // InstallerSha256: 64 hexadecimal digits
  std::string productCode;       // the uninstall key's name: the group
  std::string displayVersion;    // the uninstall entry's DisplayVersion (optional)
  std::string publisher;         // the uninstall entry's Publisher
  std::string packageName;       // the product's name
  std::string shortDescription;
  std::string license;
  std::string packageUrl;        // the .INF's URL (optional)
  std::string supportUrl;        // the .INF's HelpURL (optional)
};

struct WingetFile {
  std::string name;
  std::string text;
};

// The three files, version file first.
std::vector<WingetFile> WingetManifestFiles(const WingetPackage& package);

// The identifier winget would suggest from a publisher and a name: each part without
// whitespace, dots and the characters the schema forbids, cut to 32 characters, joined by
// ".". Empty when a part has nothing left.
std::string PackageIdentifierOf(const std::string& publisher, const std::string& name);

// Why a field breaks the schema's pattern or length; empty when it does not.
std::string PackageIdentifierProblem(const std::string& identifier);
std::string PackageVersionProblem(const std::string& version);

// A YAML double-quoted scalar of UTF-8 text: '"' and '\' escaped, control characters (C0,
// DEL and C1) as \xNN.
std::string YamlQuoted(const std::string& text);
