// Launcher packages: one program file, LZMA-packed, with its version.
//
//   offset 0   f32  version (for example 1.25)
//   offset 4   5    LZMA properties
//   offset 9   u32  unpacked size: the program plus one trailing byte, which
//                   unpacking drops
//   offset 13  ...  raw LZMA stream up to the end of the file
//
// The package carries no digest; it is trusted as the server sends it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

const size_t kLauncherPackHeaderSize = 13;
// Bounds on what a downloaded package may declare and hold.
const uint32_t kMaxLauncherPackUnpacked = 256u << 20;
const uint64_t kMaxLauncherPackFile =
    kLauncherPackHeaderSize + kMaxLauncherPackUnpacked + (kMaxLauncherPackUnpacked >> 4);

enum LauncherPackResult {
  LAUNCHERPACK_OK = 0,
  LAUNCHERPACK_OPEN_FAILED,     // the package cannot be opened or read whole
  LAUNCHERPACK_BAD_LENGTH,      // header only, or longer than any package
  LAUNCHERPACK_BAD_HEADER,      // unpacked size outside 2..cap or past what the stream can
                                // unpack to, or version not a number
  LAUNCHERPACK_NO_MEMORY,
  LAUNCHERPACK_DECODE_FAILED,   // corrupt stream, or not exactly the declared size
  LAUNCHERPACK_WRITE_FAILED,    // the side file could not be written and closed
  LAUNCHERPACK_REPLACE_FAILED,  // the old program could not be replaced
  LAUNCHERPACK_REFUSED,         // the caller refused the package's version
};

struct LauncherPackHeader {
  float version;
  uint8_t props[5];
  uint32_t unpackedSize;
};

// True when a package of `size` bytes can hold a header and a stream and
// stays under the bound (reported when not).
bool LauncherPackLengthOk(uint64_t size);
// The header of a whole package of `size` bytes, bounded (reported when not);
// the fields are filled whenever the length is right.
LauncherPackResult ReadLauncherPackHeader(const uint8_t* package, size_t size, LauncherPackHeader* header);
// The version as the update configuration records it ("%.3f").
std::string LauncherPackVersionText(float version);
// Decodes the stream of a whole package; *program holds unpackedSize bytes,
// of which the first unpackedSize - 1 are the program.
LauncherPackResult DecodeLauncherPack(const uint8_t* package, size_t size, const LauncherPackHeader& header,
                                      std::unique_ptr<uint8_t[]>* program);

// Decides from the version text, before anything is written, whether the
// package may replace the program.
typedef bool (*LauncherPackAccept)(const std::string& version, void* context);

// Unpacks the package file at source over the program at dest: the program
// is written beside dest ("_new" before the extension), checked, then moved
// over it; on any failure dest is untouched and the side file removed. The
// version text is set as soon as the header has been read. An accept
// function that returns false refuses the package (LAUNCHERPACK_REFUSED).
LauncherPackResult UnpackLauncherPack(const char* source, const char* dest, std::string* version,
                                      LauncherPackAccept accept = nullptr, void* context = nullptr);
bool UnpackSingleFilePack(const char* source, const char* dest, std::string* version);

// The side file a program is written to before it replaces dest.
std::string LauncherPackSidePath(const std::string& dest);

// Test seam: returns true to fail the write of `count` bytes at `offset` of
// `path` as a full disk would. Returns the previous hook.
typedef bool (*LauncherPackWriteHook)(const char* path, uint64_t offset, uint32_t count);
LauncherPackWriteHook SetLauncherPackWriteHook(LauncherPackWriteHook hook);
