"""Reads the three files of a winget manifest back with PyYAML and checks every field against
what the setup itself promises: the switches and exit codes as payload/deployment.h defines
them, the uninstall entry as the setup writes it, the hash as sha256sum computed it.

Usage: manifest_check.py DEPLOYMENT_H MANIFEST_DIR EXPECTED_JSON
EXPECTED_JSON names id, version, arch, url, sha256, group, publisher, display_version,
package_name, short_description, license and, when the .INF gives them, package_url and
support_url."""
import json
import os
import re
import sys

try:
    import yaml
except ImportError:
    print("FAILED: python3-yaml is not installed (scripts/install-deps installs it)")
    sys.exit(1)

header, folder, expected = sys.argv[1], sys.argv[2], json.loads(sys.argv[3])
failures = []


def check(what, got, want):
    if got != want:
        failures.append(f"{what}: {got!r}, expected {want!r}")


codes = {int(v): k for k, v in re.findall(r"constexpr int kSetup(\w+) = (\d+);", open(header).read())}
switches = dict(re.findall(r'constexpr char kSwitch(\w+)\[\] = "(\w+)";', open(header).read()))
ident = expected["id"]
names = sorted(os.listdir(folder))
check("files", names, sorted([f"{ident}.yaml", f"{ident}.installer.yaml", f"{ident}.locale.en-US.yaml"]))
docs = {}
for kind, name in (("version", f"{ident}.yaml"), ("installer", f"{ident}.installer.yaml"),
                   ("defaultLocale", f"{ident}.locale.en-US.yaml")):
    with open(os.path.join(folder, name), encoding="utf-8") as f:
        doc = yaml.safe_load(f)
    docs[kind] = doc
    check(f"{name} ManifestType", doc.get("ManifestType"), kind)
    check(f"{name} ManifestVersion", doc.get("ManifestVersion"), "1.10.0")
    check(f"{name} PackageIdentifier", doc.get("PackageIdentifier"), ident)
    check(f"{name} PackageVersion", doc.get("PackageVersion"), expected["version"])

check("DefaultLocale", docs["version"].get("DefaultLocale"), "en-US")

inst = docs["installer"]
for key, want in (("InstallerType", "exe"), ("Scope", "machine"), ("ElevationRequirement", "elevatesSelf"),
                  ("UpgradeBehavior", "install"), ("ProductCode", expected["group"])):
    check(key, inst.get(key), want)
check("InstallerSwitches", inst.get("InstallerSwitches"), {
    "Silent": "/" + switches["VerySilent"], "SilentWithProgress": "/" + switches["Silent"],
    "InstallLocation": "/" + switches["Dir"] + '="<INSTALLPATH>"', "Log": "/" + switches["Log"] + '="<LOGPATH>"'})
responses = {"BadCommandLine": "invalidParameter", "Cancelled": "cancelledByUser", "DiskFull": "diskFull",
             "FilesInUse": "fileInUse", "OutOfMemory": "insufficientMemory"}
check("ExpectedReturnCodes", inst.get("ExpectedReturnCodes"),
      [{"InstallerReturnCode": c, "ReturnResponse": responses.get(n, "contactSupport")}
       for c, n in sorted(codes.items()) if c != 0])
entry = {"DisplayName": expected["group"], "Publisher": expected["publisher"], "ProductCode": expected["group"]}
if expected["display_version"]:
    entry["DisplayVersion"] = expected["display_version"]
check("AppsAndFeaturesEntries", inst.get("AppsAndFeaturesEntries"), [entry])
check("Installers", inst.get("Installers"), [{"Architecture": expected["arch"], "InstallerUrl": expected["url"],
                                              "InstallerSha256": expected["sha256"].upper()}])

loc = docs["defaultLocale"]
want = {"PackageLocale": "en-US", "Publisher": expected["publisher"], "PackageName": expected["package_name"],
        "License": expected["license"], "ShortDescription": expected["short_description"]}
if expected.get("package_url"):
    want["PackageUrl"] = expected["package_url"]
if expected.get("support_url"):
    want["PublisherSupportUrl"] = expected["support_url"]
for key, value in want.items():
    check(f"locale {key}", loc.get(key), value)
extra = set(loc) - set(want) - {"PackageIdentifier", "PackageVersion", "ManifestType", "ManifestVersion"}
check("locale fields not expected", sorted(extra), [])

for f in failures:
    print("FAILED:", f)
sys.exit(1 if failures else 0)
