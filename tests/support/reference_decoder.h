// A straightforward RAR 2.0 decoder for differential tests: the decoding rules step by
// step (three byte loads per peek, the fixed four-level bisection over the limits, matches
// copied one byte at a time, no derived tables), with the production decoder's two early
// ends for damaged input. It works on the same DecoderState fields as UnpackEntry and takes
// the same arguments, so both decoders can be run side by side on the same input and
// compared byte for byte and field for field.
#pragma once
#include <cstdint>

#include "unpack/decoder_state.h"

void ReferenceUnpackEntry(DecoderState* state, uint8_t* window, bool solid,
                          int32_t* unpackedBytesLeft, const DecoderIo* io);
