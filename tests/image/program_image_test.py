#!/usr/bin/env python3
"""Checks the built images of our Windows programs, of one architecture, for what protects
them where they run: from a download or temporary folder, with administrator rights.

- The architecture: the machine type and optional header of x86 (0x14C, PE32) or x64
  (0x8664, PE32+), and the GUI subsystem (no console window).
- ASLR and DEP: DYNAMIC_BASE and NX_COMPAT in DllCharacteristics, for x64 HIGH_ENTROPY_VA too
  (the full 64-bit address space for the image's randomisation), and base relocations kept
  (without them the loader cannot move the image, whatever the flags say).
- The DLLs the loader maps before the program's entry runs: only kernel32 and the C runtime.
  Both are on the system's list of known DLLs, which are never taken from the program's folder;
  every other system DLL is delay-loaded, after the entry has restricted DLL loading to the
  system folder.
- The manifest: the requested execution level (which also turns file and registry
  virtualisation off), every Windows version from 7 on as supported (no compatibility shims),
  DPI awareness (no bitmap-stretched dialog), and the version 6 common controls, all of the
  program's own architecture (Windows refuses to start a program whose manifest names the
  other one).

    program_image_test.py x86|x64 BIN_DIR      (python3-pefile)

Exits 77 (skipped) when BIN_DIR holds none of the programs: that architecture was not built.
"""
import os
import sys
import xml.etree.ElementTree as ET

import pefile

# Our programs and the execution level each one's manifest requests.
PROGRAMS = [
    ("Setup.exe", "requireAdministrator"),
    ("UnInst.exe", "requireAdministrator"),
]

DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
HIGH_ENTROPY_VA = 0x0020
FLAG_NAMES = {DYNAMIC_BASE: "DYNAMIC_BASE (no ASLR)", NX_COMPAT: "NX_COMPAT (no DEP)",
              HIGH_ENTROPY_VA: "HIGH_ENTROPY_VA (ASLR below 4 GB only)"}

# Per architecture: machine type, optional header magic, the manifest's processorArchitecture,
# and the DllCharacteristics every program must have.
ARCHITECTURES = {
    "x86": (0x014C, 0x010B, "x86", DYNAMIC_BASE | NX_COMPAT),
    "x64": (0x8664, 0x020B, "amd64", DYNAMIC_BASE | NX_COMPAT | HIGH_ENTROPY_VA),
}
SUBSYSTEM_WINDOWS_GUI = 2

# DLLs the loader may map before the entry; compared without case.
IMPLICIT_IMPORTS_ALLOWED = {"kernel32.dll", "msvcrt.dll"}

SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}

NS = {
    "v1": "urn:schemas-microsoft-com:asm.v1",
    "v3": "urn:schemas-microsoft-com:asm.v3",
    "compat": "urn:schemas-microsoft-com:compatibility.v1",
    "ws2005": "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
    "ws2016": "http://schemas.microsoft.com/SMI/2016/WindowsSettings",
}
RT_MANIFEST = 24
RELOCS_STRIPPED = 0x0001
DIR_BASERELOC = 5
SKIPPED = 77


def check_architecture(pe, arch):
    machine, magic, _, _ = ARCHITECTURES[arch]
    problems = []
    if pe.FILE_HEADER.Machine != machine:
        problems.append(f"machine 0x{pe.FILE_HEADER.Machine:04X}, not {arch} (0x{machine:04X})")
    if pe.OPTIONAL_HEADER.Magic != magic:
        problems.append(f"optional header magic 0x{pe.OPTIONAL_HEADER.Magic:03X}, not 0x{magic:03X}")
    if pe.OPTIONAL_HEADER.Subsystem != SUBSYSTEM_WINDOWS_GUI:
        problems.append(f"subsystem {pe.OPTIONAL_HEADER.Subsystem}, not the GUI ({SUBSYSTEM_WINDOWS_GUI})")
    return problems


def check_hardening(pe, arch):
    required = ARCHITECTURES[arch][3]
    flags = pe.OPTIONAL_HEADER.DllCharacteristics
    problems = [f"DllCharacteristics lacks {name}" for flag, name in FLAG_NAMES.items()
                if required & flag and not flags & flag]
    relocs = pe.OPTIONAL_HEADER.DATA_DIRECTORY[DIR_BASERELOC]
    if pe.FILE_HEADER.Characteristics & RELOCS_STRIPPED or relocs.Size == 0:
        problems.append("base relocations stripped: the image cannot be moved")
    return problems


def check_implicit_imports(pe):
    names = [entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    extra = sorted(set(names) - IMPLICIT_IMPORTS_ALLOWED)
    if extra:
        return ["loaded before the entry (implicit imports): " + ", ".join(extra)]
    return []


def manifest_text(pe):
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for rtype in resources.entries if resources else []:
        if rtype.id != RT_MANIFEST:
            continue
        for rid in rtype.directory.entries:
            for lang in rid.directory.entries:
                data = lang.data.struct
                return pe.get_data(data.OffsetToData, data.Size)
    return None


def check_manifest_architecture(root, arch):
    wanted = ARCHITECTURES[arch][2]
    problems = []
    identity = root.find("v1:assemblyIdentity", NS)
    named = None if identity is None else identity.get("processorArchitecture")
    if named != wanted:
        problems.append(f"the manifest's assemblyIdentity names processorArchitecture {named}, not {wanted}")
    controls = [a for a in root.findall("v1:dependency/v1:dependentAssembly/v1:assemblyIdentity", NS)
                if a.get("name") == "Microsoft.Windows.Common-Controls"]
    for control in controls:
        named = control.get("processorArchitecture")
        if named not in (wanted, "*"):
            problems.append(f"the common controls are asked for as processorArchitecture {named}, not {wanted}")
    return problems


def check_manifest(pe, level, arch):
    text = manifest_text(pe)
    if text is None:
        return ["no manifest resource"]
    root = ET.fromstring(text)
    problems = []
    request = root.find("v3:trustInfo/v3:security/v3:requestedPrivileges/v3:requestedExecutionLevel", NS)
    if request is None or request.get("level") != level or request.get("uiAccess") != "false":
        got = None if request is None else dict(request.attrib)
        problems.append(f"requestedExecutionLevel: expected {level} without uiAccess, got {got}")
    listed = {entry.get("Id", "").lower() for entry in root.findall("compat:compatibility/compat:application/compat:supportedOS", NS)}
    for guid, name in SUPPORTED_OS.items():
        if guid not in listed:
            problems.append(f"supportedOS lacks {name} {guid}")
    settings = root.find("v3:application/v3:windowsSettings", NS)
    aware = None if settings is None else settings.find("ws2005:dpiAware", NS)
    if aware is None or (aware.text or "").strip().lower() not in ("true", "true/pm"):
        problems.append("not DPI aware (dpiAware true missing)")
    controls = [a for a in root.findall("v1:dependency/v1:dependentAssembly/v1:assemblyIdentity", NS)
                if a.get("name") == "Microsoft.Windows.Common-Controls"]
    if not controls or controls[0].get("version") != "6.0.0.0":
        problems.append("no dependency on the version 6 common controls")
    return problems + check_manifest_architecture(root, arch)


def main(arch, bin_dir):
    if arch not in ARCHITECTURES:
        print(f"unknown architecture {arch} (x86 or x64)")
        return 2
    if not any(os.path.exists(os.path.join(bin_dir, name)) for name, _ in PROGRAMS):
        print(f"SKIP: the {arch} programs were not built (none in {bin_dir})")
        return SKIPPED
    failed = 0
    for name, level in PROGRAMS:
        path = os.path.join(bin_dir, name)
        try:
            pe = pefile.PE(path)
        except (OSError, pefile.PEFormatError) as error:
            print(f"FAIL {arch} {name}: {error}")
            failed += 1
            continue
        problems = check_architecture(pe, arch)
        if not problems:  # the other checks read fields whose layout depends on it
            problems = check_hardening(pe, arch) + check_implicit_imports(pe) + check_manifest(pe, level, arch)
        for problem in problems:
            print(f"FAIL {arch} {name}: {problem}")
        if problems:
            failed += 1
        else:
            print(f"ok   {arch} {name}")
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
