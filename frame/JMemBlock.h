// Owned byte buffers and string containers. Their memory is allocated and released inside the
// library, so a client built against another runtime hands them back through the library.
#pragma once

#include "JExport.h"
#include "vantor.h"

#include <stddef.h>

// An owned byte buffer. Text is stored with its terminating NUL counted in the size.
// Copies deeply: a copy owns a buffer of its own (empty when memory for it is short).
class QUORAPI JMemBlock {
 public:
  JMemBlock();
  JMemBlock(const char* src, unsigned int n);  // empty, then Copy(src, n)
  JMemBlock(const JMemBlock& other);            // empty, then Copy(other's bytes)
  JMemBlock& operator=(const JMemBlock& other);  // Copy(other's bytes); an empty other empties

  // The length that makes Copy take the text src with its NUL (0xFFFFFFFF).
  enum TextLength : unsigned int { kText = 0xFFFFFFFFu };

  char* Data() { return data; }                // null when empty
  unsigned int Size() { return size; }
  // Copies n bytes of src (n = kText: the text src with its NUL). n = 0 or a null src empties
  // the block and answers 0. Answers n, or 0 with the old contents kept when memory is short.
  unsigned int Copy(const char* src, unsigned int n);
  // Resizes to exactly n bytes keeping the common prefix (n = 0 frees). 1, or 0 when memory is
  // short (the block unchanged).
  int Alloc(unsigned int n);
  void Free();
  // Destroys a block that the library allocated for the caller.
  void DeleteThis();

  // Storage of the size asked (a derived class's fields too) from the library's heap, all bytes
  // zero so that the block is empty; null when memory is short.
  static void* operator new(size_t size) noexcept;
  static void* operator new(size_t size, int blockType, const char* file, int line) noexcept;
  static void operator delete(void* p);
  static void operator delete(void* p, int blockType, const char* file, int line);

  // 1 when both hold the same bytes (two empty blocks are equal).
  virtual int operator==(JMemBlock& other);
  // Virtual, so that DeleteThis destroys lists through the base; declared after operator== so
  // that the comparison keeps the table's first slot.
  virtual ~JMemBlock();

 protected:
  char* data;
  unsigned int size;
};

// Strings packed one after another, each with its NUL, the whole ended by one more NUL: the form
// of a multiple file selection. The first empty string ends the list. Copies deeply, as a block.
class QUORAPI JSZList : public JMemBlock {
 public:
  void Clear();
  // Appends s; answers 1, or 0 when memory is short (the list unchanged).
  int Append(const char* s);
  int IsEmpty();
  int IsMultiple();
  int Count();
  // Iteration: with p null, p becomes the first string; otherwise p moves to the next string.
  // Answers 1 while p is at a string, 0 at the end.
  int GetString(char*& p);
};

// A table of separately owned strings; an entry may hold no string (a null entry).
// Copies deeply: a copy holds copies of the strings (null entries where memory is short).
class QUORAPI JSZTab {
 public:
  JSZTab();
  JSZTab(const JSZTab& other);
  ~JSZTab();
  JSZTab& operator=(const JSZTab& other);
  void Clear();
  // Appends a copy of s (null appends a null entry). 0 when memory for the copy is short, in
  // which case a null entry is appended all the same.
  int Append(const char* s);
  int IsEmpty();
  int IsMultiple();
  int Count();
  // The text of entry i, null for a null entry or an index out of range (asserted).
  char* GetString(int i);
  // Stores a copy of s in entry i (null empties it). 0 for an index out of range (asserted).
  int SetString(int i, const char* s);
  // Removes entry i; later entries move down by one.
  void Delete(int i);
  // Removes the entries from index n to the end.
  void Shrink(int n);

 private:
  Tab<JMemBlock*> tab;
};
