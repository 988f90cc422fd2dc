// LZMA one-call wrapper: 5 property bytes beside a raw stream.
#pragma once
#include <cstddef>
#include <cstdint>

// 1 on success, 0 on failure (reported).
int Lzma_Compress(uint8_t* dest, size_t* destLength, const uint8_t* src, size_t srcLength, uint8_t* props,
                  size_t* propsSize);
// 1 when the decoder succeeded; destLength is the expected size on entry.
int Lzma_Uncompress(uint8_t* dest, size_t* destLength, const uint8_t* src, size_t* srcLength, const uint8_t* props);

// Output bound for Lzma_Compress of srcLength bytes.
size_t Lzma_CompressBound(size_t srcLength);

const size_t kLzmaPropsSize = 5;
