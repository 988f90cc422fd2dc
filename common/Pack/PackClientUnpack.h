// Single-file LZMA images: 5 property bytes, u32 unpacked size, raw stream.
#pragma once
#include <cstdint>

namespace PackClient {

// A new[] buffer of the unpacked bytes plus a terminating zero, or null;
// *length is the image size on entry and the unpacked size on return.
uint8_t* DecompressBuffer(const uint8_t* image, int* length);
// Replaces a packed file by its content; the original stays on any failure.
bool UnpackFileInPlace(const char* path);
// Writes the content of a packed file as target (replacing it only with a
// complete copy); the packed file stays, unless it is empty (deleted).
bool UnpackFileTo(const char* packedPath, const char* target);

// Largest unpacked image accepted from a file or the network.
const uint32_t kMaxUnpackedImage = 512u * 1024 * 1024;

}  // namespace PackClient
