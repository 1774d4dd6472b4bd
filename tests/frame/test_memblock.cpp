// Owned byte buffers.
#include "Quorlib.h"

#include <gtest/gtest.h>

#include <string.h>

TEST(MemBlock, CopyKeepsATextsTerminatorAndCopyOfNothingEmpties) {
  JMemBlock b;
  EXPECT_EQ(b.Copy("abc", JMemBlock::kText), 4u);
  ASSERT_EQ(b.Size(), 4u);
  // Plug-ins built against older headers pass the number itself.
  EXPECT_EQ(b.Copy("abcd", 0xFFFFFFFF), 5u);
  ASSERT_EQ(b.Size(), 5u);
  b.Copy("abc", JMemBlock::kText);
  EXPECT_EQ(memcmp(b.Data(), "abc\0", 4), 0);
  EXPECT_EQ(b.Copy("p", 0), 0u);
  EXPECT_EQ(b.Size(), 0u);
  EXPECT_EQ(b.Data(), nullptr);
  b.Copy("xyz", 3);
  EXPECT_EQ(b.Copy(nullptr, 5), 0u);
  EXPECT_EQ(b.Data(), nullptr);
  EXPECT_EQ(b.Copy(nullptr, JMemBlock::kText), 0u);
}

TEST(MemBlock, CopyFromItsOwnBytesIsSafe) {
  JMemBlock b("hello world", JMemBlock::kText);
  EXPECT_EQ(b.Copy(b.Data() + 6, JMemBlock::kText), 6u);
  EXPECT_STREQ(b.Data(), "world");
  b = b;
  EXPECT_STREQ(b.Data(), "world");
}

TEST(MemBlock, AllocResizesKeepingThePrefix) {
  JMemBlock b("abcdef", 6);
  EXPECT_EQ(b.Alloc(3), 1);
  EXPECT_EQ(b.Size(), 3u);
  EXPECT_EQ(b.Alloc(100000), 1);
  EXPECT_EQ(b.Size(), 100000u);
  EXPECT_EQ(memcmp(b.Data(), "abc", 3), 0);
  EXPECT_EQ(b.Alloc(0), 1);
  EXPECT_EQ(b.Data(), nullptr);
  EXPECT_EQ(b.Size(), 0u);
}

TEST(MemBlock, EqualityComparesSizeAndBytesAndAssignmentCopies) {
  JMemBlock a, b, empty;
  EXPECT_EQ(a == b, 1) << "two empty blocks are equal";
  a.Copy("abcd", 4);
  b.Copy("abce", 4);
  EXPECT_EQ(a == b, 0) << "same size, last byte differs";
  b.Copy("abc", 3);
  EXPECT_EQ(a == b, 0);
  b = a;
  EXPECT_EQ(b == a, 1);
  EXPECT_NE(b.Data(), a.Data());
  b = empty;
  EXPECT_EQ(b.Size(), 0u);
  EXPECT_EQ(b.Data(), nullptr);
}

TEST(MemBlock, LibraryNewGivesOneEmptyBlockWhateverTheSize) {
  JMemBlock* b = new JMemBlock;
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Data(), nullptr);
  b->Copy("payload", JMemBlock::kText);
  b->DeleteThis();

  // The debug form ignores its extra arguments.
  JMemBlock* d = new (1, __FILE__, __LINE__) JMemBlock("x", 2);
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->Data(), "x");
  d->DeleteThis();

  // Asked for more, the storage is still exactly one block, initialised empty.
  void* raw = JMemBlock::operator new(4096);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(static_cast<JMemBlock*>(raw)->Size(), 0u);
  EXPECT_EQ(static_cast<JMemBlock*>(raw)->Data(), nullptr);
  EXPECT_EQ(_msize(raw), sizeof(JMemBlock));
  JMemBlock::operator delete(raw);
}
