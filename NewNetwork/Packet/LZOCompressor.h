// LZO1X-1 through minilzo. One process-wide instance with one staging area:
// not for two threads at once (the library uses it on the update thread).
#pragma once
#include <cstddef>

class CDataTransform {
 public:
  virtual bool Compress(const char* src, size_t srcLen, char* dest, size_t* compressedLen) = 0;
  // *len: the room in dest on entry, the bytes written on success.
  virtual bool DecompressSafe(const char* src, size_t srcLen, char* dest, size_t* len) = 0;
  // No bounds checks at all: for trusted input only.
  virtual bool DecompressFast(const char* src, size_t srcLen, char* dest, size_t* len) = 0;
  virtual ~CDataTransform() {}
};

class CLZOCompressor : public CDataTransform {
 public:
  static const size_t kStagingSize = 0x20000;
  // Worst-case LZO1X output for a 128 KiB input.
  static const size_t kMaxCompressed = 139331;

  // Made on first use; the server object deletes it when it shuts down.
  static CLZOCompressor* GetInstance();
  static void DeleteInstance();

  bool Compress(const char* src, size_t srcLen, char* dest, size_t* compressedLen) override;
  bool DecompressSafe(const char* src, size_t srcLen, char* dest, size_t* len) override;
  bool DecompressFast(const char* src, size_t srcLen, char* dest, size_t* len) override;
};
