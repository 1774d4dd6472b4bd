// Classes the host itself provides (controllers, scene nodes), listed in its class directory so
// that scene files can create them.
#pragma once

#include "vcore.h"

void RegisterBuiltinClass(ClassDesc* cd);

// Releases the calling thread's top-level clone directory (NoRemap), as the thread ends.
void ReleaseThreadRemapDir();

// Before a scene is saved: every Postline event references the node its filter holds now.
void SyncPostlineNodes();

// Little-endian byte helpers for the host's own save formats.
inline void PutU32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = (unsigned char)(v >> (8 * i));
}
inline uint32_t GetU32(const unsigned char* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
