// Fuzz target: the product facts read from a payload's product and installation descriptions
// (the input split at its first 0 byte into FILE_ID.DIZ's text and the .INF's). Nothing may
// read out of bounds, and facts that pass their rule must make a removal record that the
// uninstaller accepts: what pack lets through, the uninstaller must not call damaged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "payload/product_facts.h"
#include "payload/removal_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\0');
  const std::string description = input.substr(0, cut);
  const std::string setupInfo = cut == std::string::npos ? std::string() : input.substr(cut + 1);
  ProductFacts facts = {};
  ReadDescriptionFacts(description.c_str(), &facts);
  ReadSetupInfoFacts(setupInfo.c_str(), &facts);
  ReadSetupInfoFacts(description.c_str(), &facts);  // a second .INF over the first
  if (CheckProductFacts(facts) != kFactsSound || !facts.group[0]) return 0;
  const char* names[] = {"KTool.exe"};
  RemovalRecordFields fields = {facts.productId, facts.group, WatchedWindowClass(facts), facts.mainProgram, names, 1, kRemovalRecordVersion};
  uint8_t record[4096];
  const uint32_t written = WriteRemovalRecord(fields, record, sizeof record);
  if (written == 0) return 0;  // a text with a 0 byte cannot be written; pack never meets one
  RemovalRecord read;
  const uint32_t body = written - kRemovalTrailerBytes;
  if (!ReadRemovalRecord(record, body, record + body, &read)) std::abort();
  return 0;
}
