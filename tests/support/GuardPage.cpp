#include "GuardPage.h"

#include <windows.h>

#include <string.h>

namespace quortest {

GuardPageBuffer::GuardPageBuffer(size_t capacity) {
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  page = si.dwPageSize;
  usable = (capacity + page - 1) / page * page;
  base = static_cast<unsigned char*>(VirtualAlloc(nullptr, usable + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  DWORD old;
  if (base) VirtualProtect(base + usable, page, PAGE_NOACCESS, &old);
}

GuardPageBuffer::~GuardPageBuffer() {
  if (base) VirtualFree(base, 0, MEM_RELEASE);
}

char* GuardPageBuffer::Place(const void* bytes, size_t n) {
  unsigned char* at = Tail(n);
  memcpy(at, bytes, n);
  return reinterpret_cast<char*>(at);
}

bool GuardPageBuffer::Ok() const { return base && IsBadReadPtr(base + usable, 1) && !IsBadReadPtr(base, usable); }

}  // namespace quortest
