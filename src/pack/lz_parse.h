// The parse's view of an entry (see encoder_internals.h), shared by its two kinds: the lazy
// parse of levels 1 and 2 (lz_parse.cpp) and the optimal parse of levels 3 to 5
// (optimal_parse.cpp, over the lattice of optimal_lattice.h). Not for use outside pack/.
#pragma once
#include <algorithm>
#include <cstdint>

#include "pack/encoder_internals.h"

namespace rar20pack {

// An entry's positions as the parse walks them: where their bytes are in the history, which
// of them the match finder holds, and how far back a match may reach. The parse runs in a
// slice's parser, whose history already holds every byte it reads (slice_parse.cpp).
struct Parser {
  Rar20Encoder& enc;
  const uint8_t* base;      // address of position enc.historyStart
  uint32_t end;             // one past the entry's last position
  uint32_t lowest;          // lowest position the decoder's window holds
  uint32_t inserted;        // positions below this are in the match finder
  uint32_t blockStart;      // later passes go back to this position

  const uint8_t* At(uint32_t pos) const { return base + (pos - enc.historyStart); }

  void InsertUpTo(uint32_t pos) {
    if (inserted >= pos) return;
    InsertPositions(enc.finder, At(inserted), inserted, pos, end, lowest);
    inserted = pos;
  }

  // Valid source of a match at pos with this distance?
  bool Reaches(uint32_t pos, uint32_t distance) const {
    return distance >= 1 && distance <= kMaxDistance && pos - lowest >= distance;
  }
};

// Ends the block once it is full, reports progress, and gives the entry up (returning
// true) when it shows no sign of compressing.
bool EndBlock(Rar20Encoder& enc, BitWriter& w, bool& firstBlock, uint32_t parsed);

// Ends the entry: the rest of it goes into the history and the match finder (a solid stream's
// next entry matches against it), and its last block is coded with every pending symbol.
void FinishEntry(Parser& p, BitWriter& w, bool& firstBlock);

// ParseEntry at levels 3 to 5 (optimal_parse.cpp).
void OptimalParse(Rar20Encoder& enc, uint32_t start, uint32_t end, BitWriter& w, bool startOfStream);

}  // namespace rar20pack
