// LZMA one-call wrapper: 5 property bytes beside a raw stream.
#pragma once
#include <cstddef>
#include <cstdint>

// 1 on success, 0 on failure (reported).
int Lzma_Compress(uint8_t* dest, size_t* destLength, const uint8_t* src, size_t srcLength, uint8_t* props,
                  size_t* propsSize);
// 1 when the decoder succeeded; destLength is the expected size on entry.
int Lzma_Uncompress(uint8_t* dest, size_t* destLength, const uint8_t* src, size_t* srcLength, const uint8_t* props);

// The most that packedLength bytes of LZMA can unpack to. A coded decision
// never costs less than 1/46 bit (probabilities of 11 bits, adapting by
// 1/32), and the longest match, 273 bytes, takes 14 decisions: about 7,100
// bytes per input byte at most. A larger declared size is a lie and must not
// be allocated.
size_t Lzma_MaxUnpackedSize(size_t packedLength);

// Output bound for Lzma_Compress of srcLength bytes.
size_t Lzma_CompressBound(size_t srcLength);

const size_t kLzmaPropsSize = 5;
