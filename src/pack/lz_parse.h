// The parse's view of an entry (see encoder_internals.h), shared by its two kinds: the lazy
// parse of levels 1 and 2 (lz_parse.cpp) and the optimal parse of levels 3 to 5
// (optimal_parse.cpp, over the lattice of optimal_lattice.h). Not for use outside pack/.
#pragma once
#include <algorithm>
#include <cstdint>

#include "pack/encoder_internals.h"

namespace rar20pack {

// An entry's positions as the parse walks them: where their bytes are in the history, which
// of them the match finder holds, and how far back a match may reach.
struct Parser {
  Rar20Encoder& enc;
  const uint8_t* base;      // address of position enc.historyStart
  uint32_t end;             // one past the entry's last position
  uint32_t lowest;          // lowest position the decoder's window holds
  uint32_t inserted;        // positions below this are in the match finder
  uint32_t blockStart;      // later passes go back to this position

  const uint8_t* At(uint32_t pos) const { return base + (pos - enc.historyStart); }

  // Makes sure the bytes from pos up to `ahead` further on are in the history (as far as
  // the entry goes). Every step of the parse reads at most that far ahead of where it
  // starts, and back at most one window (matches) from it or from the block's start, or to
  // the positions not yet inserted.
  void Load(uint32_t pos, uint32_t ahead) {
    if (enc.loaded >= std::min(end, pos + ahead)) return;
    LoadHistory(enc, std::min({pos, inserted, blockStart}) - kWindowSize, pos + ahead);
    base = enc.history.data();
  }

  void InsertUpTo(uint32_t pos) {
    for (; inserted < pos; ++inserted) InsertPosition(enc.finder, At(inserted), inserted, end - inserted, lowest);
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
