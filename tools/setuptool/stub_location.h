// Where setuptool finds the Windows programs it puts into a setup (the setup stub
// "Setup.exe", the uninstaller stub "UnInst.exe") when no --stub names one: beside its own
// executable, as in the build tree where both are built into build/bin, or else in
// ../share/korvane-setup/ from its own folder, as installed (/usr/bin/setuptool and
// /usr/share/korvane-setup/). Relative to the executable, so an unpacked or relocated
// installation finds its own stubs, never those of another one.
#pragma once
#include <string>
#include <vector>

// The places looked at for `fileName`, in order, for the executable in `toolFolder`.
std::vector<std::string> StubCandidates(const std::string& toolFolder, const std::string& fileName);

// The first of StubCandidates that exists, or empty when none does.
std::string LocateStubFrom(const std::string& toolFolder, const std::string& fileName);

// LocateStubFrom for the running setuptool's own folder.
std::string LocateStub(const std::string& fileName);

// The places looked at for the running setuptool, as "A nor B" for a message.
std::string StubPlacesText(const std::string& fileName);
