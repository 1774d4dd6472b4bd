// Memory that ends at a no-access page: a read or write one byte past the data faults at once
// instead of touching a neighbour's memory. Readers of untrusted bytes and pixel loops are tested
// against it.
#pragma once

#include <stddef.h>

namespace quortest {

class GuardPageBuffer {
 public:
  // Room for up to capacity bytes before the no-access page.
  explicit GuardPageBuffer(size_t capacity);
  ~GuardPageBuffer();
  GuardPageBuffer(const GuardPageBuffer&) = delete;
  GuardPageBuffer& operator=(const GuardPageBuffer&) = delete;

  // The last n bytes before the page (n at most the capacity).
  unsigned char* Tail(size_t n) const { return base + usable - n; }
  // Copies n bytes so that the last one is the last byte before the page; answers the first.
  char* Place(const void* bytes, size_t n);
  // Whether the memory exists and the page after it really faults.
  bool Ok() const;

 private:
  unsigned char* base = nullptr;
  size_t page = 4096, usable = 0;
};

}  // namespace quortest
