// The bit classifier's walk with every bit made visible.
//
// `classify_block` keeps only the character of each bit; a picture of the decoding needs
// where each bit lay and how long it measured. This walk takes the same steps on the same
// state (a bit start is an on sample after at least `nplat` off samples, the bit that ends
// there measures e = m - r + nfill) and reports each bit whole:
//
//     start                  burst_end        end (the next bit start, "nsample")
//     v                      v                v
//     ||||||||||||||||||||||||________________||||...
//     |<------- burst ------>|<----- r ------>|
//
// Fed the same bytes from the same state, it leaves the classifier exactly as
// `classify_block` does and finds the same bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bits/classifier.h"

/// One classified bit, with sample indices in the war file.
struct WalkedBit {
    int64_t start = 0;  // its bit start (0 for a first bit that had no pause before it)
    int64_t end = 0;    // the next bit start, where it was classified
    int64_t burst = 0;  // samples from its start to the pause after it (m - r)
    int64_t length = 0; // e = burst + nfill, the length that was classified
    char bit = '?';     // '0', '1' or '?'
};

/// Walks `size` war-file bytes like `classify_block`, appending every bit that ends in them.
void walk_bits(BitClassifier& c, const uint8_t* data, std::size_t size,
               std::vector<WalkedBit>& bits);
