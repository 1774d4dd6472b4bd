// A minimal chunked ISave/ILoad pair over a byte vector, so that objects can be saved and loaded
// in a test without a scene file. Chunk headers: u16 type (0 empty, 1 container, 2 data), u16 id,
// u32 content length, little-endian.
#pragma once

#include "vantor.h"

#include <string>
#include <vector>

namespace quortest {

class MemSave : public ISave {
 public:
  MemSave();
  int GetRefID(void* p) override;
  void BeginChunk(USHORT id) override;
  void EndChunk() override;
  int CurChunkDepth() override { return (int)open.size() - 1; }
  IOResult Write(const void* buf, ULONG n, ULONG* written) override;
  IOResult WriteWString(const char* s) override { return WriteCString(s); }
  IOResult WriteWString(const wchar_t*) override { return IO_ERROR; }
  IOResult WriteCString(const char* s) override;
  IOResult WriteCString(const wchar_t*) override { return IO_ERROR; }
  // Makes the next Write fail, to test error paths.
  void FailWrites(bool f) { failWrites = f; }
  // Closes the root chunk and answers the bytes.
  const std::vector<unsigned char>& Bytes();

 private:
  void SetU32(size_t at, uint32_t v);
  std::vector<unsigned char> bytes;
  std::vector<size_t> open;  // header offsets of open chunks, the root first
  std::vector<void*> refs;
  bool failWrites = false;
};

class MemLoad : public ILoad {
 public:
  // Reads bytes written by MemSave; the root chunk is open.
  explicit MemLoad(const std::vector<unsigned char>& bytes);
  void* GetAddr(int) override { return nullptr; }
  IOResult OpenChunk() override;
  USHORT CurChunkID() override;
  ChunkType CurChunkType() override;
  ULONG CurChunkLength() override;
  int CurChunkDepth() override { return (int)open.size() - 1; }
  IOResult CloseChunk() override;
  USHORT PeekNextChunkID() override;
  IOResult Read(void* buf, ULONG n, ULONG* nread) override;
  IOResult ReadWStringChunk(char** s) override { return ReadCStringChunk(s); }
  IOResult ReadWStringChunk(wchar_t**) override { return IO_ERROR; }
  IOResult ReadCStringChunk(char** s) override;
  IOResult ReadCStringChunk(wchar_t**) override { return IO_ERROR; }
  void RecordBackpatch(int, void** p, ULONG) override { *p = nullptr; }
  void SetRootAddr(void* a) override { root = a; }
  void* GetRootAddr() override { return root; }
  void RegisterPostLoadCallback(PostLoadCallback*) override {}

 private:
  uint32_t U32(size_t at) const;
  uint16_t U16(size_t at) const;
  size_t End(size_t header) const { return header + 8 + U32(header + 4); }
  std::vector<unsigned char> bytes;
  std::vector<size_t> open;  // header offsets of open chunks
  size_t next = 8;           // next unread byte
  std::string text;
  void* root = nullptr;
};

}  // namespace quortest
