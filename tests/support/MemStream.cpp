#include "MemStream.h"

#include "JInternal.h"

#include <string.h>

namespace quortest {

// ---- MemSave ---------------------------------------------------------------------------------

MemSave::MemSave() {
  bytes.assign(8, 0);
  bytes[0] = 1;  // the root is a container
  open.push_back(0);
}

int MemSave::GetRefID(void* p) {
  for (size_t i = 0; i < refs.size(); i++)
    if (refs[i] == p) return (int)i;
  refs.push_back(p);
  return (int)refs.size() - 1;
}

void MemSave::SetU32(size_t at, uint32_t v) { jlib::WriteLE32(&bytes[at], v); }

void MemSave::BeginChunk(USHORT id) {
  bytes[open.back()] = 1;
  size_t at = bytes.size();
  bytes.resize(at + 8, 0);
  jlib::WriteLE16(&bytes[at + 2], id);
  open.push_back(at);
}

void MemSave::EndChunk() {
  if (open.size() < 2) return;
  SetU32(open.back() + 4, (uint32_t)(bytes.size() - open.back() - 8));
  open.pop_back();
}

IOResult MemSave::Write(const void* buf, ULONG n, ULONG* written) {
  if (failWrites) return IO_ERROR;
  bytes[open.back()] = 2;
  const unsigned char* p = static_cast<const unsigned char*>(buf);
  bytes.insert(bytes.end(), p, p + n);
  if (written) *written = n;
  return IO_OK;
}

IOResult MemSave::WriteCString(const char* s) { return Write(s, (ULONG)strlen(s) + 1, nullptr); }

const std::vector<unsigned char>& MemSave::Bytes() {
  while (open.size() > 1) EndChunk();
  SetU32(4, (uint32_t)(bytes.size() - 8));
  return bytes;
}

// ---- MemLoad ---------------------------------------------------------------------------------

MemLoad::MemLoad(const std::vector<unsigned char>& b) : bytes(b) { open.push_back(0); }

uint32_t MemLoad::U32(size_t at) const { return jlib::ReadLE32(&bytes[at]); }
uint16_t MemLoad::U16(size_t at) const { return jlib::ReadLE16(&bytes[at]); }

IOResult MemLoad::OpenChunk() {
  size_t cur = open.back();
  if (U16(cur) != 1) return IO_ERROR;
  if (next >= End(cur)) return IO_END;
  if (next + 8 > End(cur)) return IO_ERROR;
  open.push_back(next);
  next += 8;
  return IO_OK;
}

USHORT MemLoad::CurChunkID() { return U16(open.back() + 2); }
ChunkType MemLoad::CurChunkType() { return (ChunkType)U16(open.back()); }
ULONG MemLoad::CurChunkLength() { return U32(open.back() + 4); }

IOResult MemLoad::CloseChunk() {
  if (open.size() < 2) return IO_ERROR;
  next = End(open.back());
  open.pop_back();
  return IO_OK;
}

USHORT MemLoad::PeekNextChunkID() {
  size_t cur = open.back();
  if (U16(cur) != 1 || next + 8 > End(cur)) return 0;
  return U16(next + 2);
}

IOResult MemLoad::Read(void* buf, ULONG n, ULONG* nread) {
  size_t cur = open.back();
  if (U16(cur) != 2) return IO_ERROR;
  size_t left = End(cur) - next;
  size_t count = n < left ? n : left;
  memcpy(buf, bytes.data() + next, count);
  next += count;
  if (nread) *nread = (ULONG)count;
  return IO_OK;
}

IOResult MemLoad::ReadCStringChunk(char** s) {
  size_t end = End(open.back());
  size_t n = 0;
  while (next + n < end && bytes[next + n]) n++;
  text.assign(reinterpret_cast<const char*>(bytes.data() + next), n);
  next += n + 1 <= end - next ? n + 1 : end - next;
  *s = &text[0];
  return IO_OK;
}

}  // namespace quortest
