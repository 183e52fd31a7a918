// Everything setuptool pack checks about a payload before it writes a setup, in one call: the
// sizes, the names in archive order, the stub, the small texts the setup program reads into
// memory and what the install will make of them (payload_rules.h has each check). The caller
// lists and reads the files and reports the issues; this says what the setup program would do.
//
// The texts are read in the setup program's order of effect: the ".INF" entries and the
// language files first, then "FILE_ID.DIZ", whose product name becomes the group only when
// no ".INF" gives one.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "payload/payload_rules.h"
#include "payload/product_facts.h"

struct PayloadEntry {
  std::string name;  // in the archive's code page, '\' between folders
  uint64_t size;
};

// The stub in front of the archive: `size` bytes at `bytes`; `bytes` null with a size: a stub
// too large to be read, judged by its size alone; size 0: no stub (a bare archive).
struct PayloadStub {
  const uint8_t* bytes;
  uint64_t size;
};

// Reads an entry the setup program reads into memory (a description entry or a language
// file) into `content`, at most `limit` bytes; false when it cannot (a larger one is refused
// by the size check, an unreadable one is reported when packing).
struct PayloadReader {
  bool (*read)(void* user, const std::string& name, uint64_t limit, std::vector<uint8_t>& content);
  void* user;
};

struct CheckedPayload {
  std::vector<std::string> names;            // archive order
  std::map<std::string, std::string> texts;  // the description entries' contents, by name
  ProductFacts facts;                        // as the setup program will read them
};

// Checks the entries (sizes in the order given), the stub and the texts read through
// `reader`, adding what the publisher should hear to `issues`.
CheckedPayload CheckPayload(const std::vector<PayloadEntry>& entries, const PayloadStub& stub, PayloadReader reader,
                            std::vector<PayloadIssue>& issues);
