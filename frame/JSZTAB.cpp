// Owned byte buffers, packed string lists and string tables.
#include "JMemBlock.h"

#include <stdlib.h>
#include <string.h>

namespace {
const char kSource[] = "JSZTAB";
// Lines reported to the host's assertion service for index errors.
const int kLineGetString = 53;
const int kLineSetString = 62;
const int kLineDelete = 85;
}  // namespace

// ---- JMemBlock -------------------------------------------------------------------------------

JMemBlock::JMemBlock() : data(nullptr), size(0) {}

JMemBlock::JMemBlock(const char* src, unsigned int n) : data(nullptr), size(0) { Copy(src, n); }

JMemBlock::JMemBlock(const JMemBlock& other) : data(nullptr), size(0) { Copy(other.data, other.size); }

JMemBlock::~JMemBlock() { Free(); }

JMemBlock& JMemBlock::operator=(const JMemBlock& other) {
  if (this != &other) Copy(other.data, other.size);
  return *this;
}

unsigned int JMemBlock::Copy(const char* src, unsigned int n) {
  if (n == kText && src) n = (unsigned int)strlen(src) + 1;
  if (n == 0 || !src) {
    Free();
    return 0;
  }
  // A fresh buffer rather than a resize: src may lie inside the current one.
  char* p = static_cast<char*>(malloc(n));
  if (!p) return 0;
  memcpy(p, src, n);
  free(data);
  data = p;
  size = n;
  return n;
}

int JMemBlock::Alloc(unsigned int n) {
  if (n == 0) {
    Free();
    return 1;
  }
  char* p = static_cast<char*>(realloc(data, n));
  if (!p) return 0;
  data = p;
  size = n;
  return 1;
}

void JMemBlock::Free() {
  free(data);
  data = nullptr;
  size = 0;
}

void JMemBlock::DeleteThis() { delete this; }

void* JMemBlock::operator new(size_t size) noexcept {
  // A derived class asks for its own size; never less than a block.
  if (size < sizeof(JMemBlock)) size = sizeof(JMemBlock);
  void* p = malloc(size);
  if (!p) return nullptr;
  // The block is empty even before its constructor runs.
  memset(p, 0, size);
  return p;
}

void* JMemBlock::operator new(size_t size, int, const char*, int) noexcept { return operator new(size); }

void JMemBlock::operator delete(void* p) { free(p); }

void JMemBlock::operator delete(void* p, int, const char*, int) { free(p); }

int JMemBlock::operator==(JMemBlock& other) {
  if (size != other.size) return 0;
  return size == 0 || memcmp(data, other.data, size) == 0;
}

// ---- JSZList ---------------------------------------------------------------------------------

void JSZList::Clear() { Free(); }

int JSZList::Append(const char* s) {
  if (!s) s = "";
  unsigned int n = (unsigned int)strlen(s) + 1;
  // s may point into this list's own buffer, which the resize can move.
  char* own = nullptr;
  if (data && s >= data && s < data + size) {
    own = static_cast<char*>(malloc(n));
    if (!own) return 0;
    memcpy(own, s, n);
    s = own;
  }
  int ok;
  if (size == 0) {
    ok = Alloc(n + 1);
    if (ok) {
      memcpy(data, s, n);
      data[n] = 0;
    }
  } else {
    unsigned int old = size;
    ok = Alloc(old + n);
    if (ok) {
      memcpy(data + old - 1, s, n);
      data[old + n - 1] = 0;
    }
  }
  free(own);
  return ok;
}

int JSZList::IsEmpty() { return size == 0; }

int JSZList::IsMultiple() {
  if (size == 0) return 0;
  size_t first = strlen(data) + 1;
  return first < size && data[first] != 0;
}

int JSZList::Count() {
  int count = 0;
  for (char* p = nullptr; GetString(p) && *p;) count++;
  return count;
}

int JSZList::GetString(char*& p) {
  if (size == 0) return 0;
  if (!p) {
    p = data;
    return 1;
  }
  if (*p == 0) return 0;  // already at the final NUL
  p += strlen(p) + 1;
  return *p != 0;
}

// ---- JSZTab ----------------------------------------------------------------------------------

JSZTab::JSZTab() {}

JSZTab::JSZTab(const JSZTab& other) { *this = other; }

JSZTab::~JSZTab() { Clear(); }

JSZTab& JSZTab::operator=(const JSZTab& other) {
  if (this == &other) return *this;
  Clear();
  for (int i = 0; i < other.tab.Count(); i++) {
    JMemBlock* block = other.tab[i];
    Append(block ? block->Data() : nullptr);
  }
  return *this;
}

void JSZTab::Clear() {
  for (int i = 0; i < tab.Count(); i++)
    if (tab[i]) tab[i]->DeleteThis();
  tab.SetCount(0);  // also releases the storage
}

int JSZTab::Append(const char* s) {
  JMemBlock* block = nullptr;
  int ok = 1;
  if (s) {
    block = new JMemBlock;
    if (block && !block->Copy(s, JMemBlock::kText)) {
      block->DeleteThis();
      block = nullptr;
    }
    ok = block != nullptr;
  }
  if (tab.Append(1, &block) < 0) {  // the table could not grow: it stays as it was
    if (block) block->DeleteThis();
    return 0;
  }
  return ok;
}

int JSZTab::IsEmpty() { return tab.Count() == 0; }

int JSZTab::IsMultiple() { return tab.Count() > 1; }

int JSZTab::Count() { return tab.Count(); }

char* JSZTab::GetString(int i) {
  if (i < 0 || i >= tab.Count()) {
    assert1(kLineGetString, kSource);
    return nullptr;
  }
  return tab[i] ? tab[i]->Data() : nullptr;
}

int JSZTab::SetString(int i, const char* s) {
  if (i < 0 || i >= tab.Count()) {
    assert1(kLineSetString, kSource);
    return 0;
  }
  JMemBlock*& block = tab[i];
  if (!s) {
    if (block) block->DeleteThis();
    block = nullptr;
    return 1;
  }
  // A null entry receives a block of its own: whoever sets a string expects to read it back.
  if (!block) {
    block = new JMemBlock;
    if (!block) return 0;
  }
  return block->Copy(s, JMemBlock::kText) != 0;
}

void JSZTab::Delete(int i) {
  if (i < 0 || i >= tab.Count()) {
    assert1(kLineDelete, kSource);
    return;
  }
  if (tab[i]) tab[i]->DeleteThis();
  tab.Delete(i, 1);
}

void JSZTab::Shrink(int n) {
  if (n < 0) n = 0;
  if (n >= tab.Count()) return;
  for (int i = n; i < tab.Count(); i++)
    if (tab[i]) tab[i]->DeleteThis();
  tab.SetCount(n);
}
