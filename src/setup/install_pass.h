// The install pass: one extraction run that writes the wanted entries into the destination
// folder (every one under its base name), drops the installation descriptions and the
// entries of unchecked languages, and notes the main program and the uninstaller.
#pragma once
#include <cstdint>

#include "localisation/language_code.h"
#include "setup/install_context.h"

// The LanguageCode an entry is bound to (prefix "_" code "." ...), or 0 for none. prefixLength
// is the length of the language-file prefix; only codes of at most 4 characters count.
LanguageCode EntryLanguageCode(const char16_t* name, int prefixLength);

// The install pass's ExtractCallback (value: the InstallContext). Leaves the target path in
// the name buffer, or the empty text for an entry that is decoded and dropped.
int InstallCallback(char16_t* name, const uint8_t* data, uint32_t size, void* context);

// One extraction run with the install callback; a refusal by the callback (which ends the
// run with result 0) becomes the run's result. With holdWritten, every file written is held
// (context->held), and one that cannot be held makes the result kExtractCannotCreate.
int InstallPass(InstallContext* context);
// Lets go of the files the passes held.
void ReleaseHeldFiles(InstallContext* context);

// Whether the payload verifies in a run that writes nothing: after a checksum mismatch while
// installing, a sound payload means the written copy fell short (a full disk).
bool PayloadIntact();
