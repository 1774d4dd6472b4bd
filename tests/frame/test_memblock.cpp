// Owned byte buffers, and which owners of memory copy and which refuse to.
#include "Quorlib.h"

#include <gtest/gtest.h>

#include <string.h>

#include <type_traits>

// Owners of memory copy deeply or cannot be copied at all: never the compiler's shallow copy.
template <class T>
constexpr bool kCopies = std::is_copy_constructible<T>::value && std::is_copy_assignable<T>::value;
template <class T>
constexpr bool kRefuses = !std::is_copy_constructible<T>::value && !std::is_copy_assignable<T>::value;
static_assert(kCopies<JMemBlock> && kCopies<JSZList> && kCopies<JSZTab> && kCopies<JPropertyList>,
              "buffers, string tables and property lists copy deeply");
static_assert(kRefuses<JExtTable> && kRefuses<JDataBase> && kRefuses<JData> && kRefuses<JDataNode> &&
                  kRefuses<JDataLeafBase> && kRefuses<JViewCtl> && kRefuses<JDlgProc> && kRefuses<JViewDlgBase> &&
                  kRefuses<JSave> && kRefuses<JLoad> && kRefuses<MRefPostLoadCallback> && kRefuses<JCache>,
              "owners of records, registrations, windows and streams refuse copying");


TEST(MemBlock, CopyKeepsATextsTerminatorCopyOfNothingEmptiesAndItsOwnBytesAreSafe) {
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

  // From its own bytes, and assigned to itself.
  b.Copy("hello world", JMemBlock::kText);
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

namespace {
// A block with fields of its own, the way a client derives one.
class TaggedBlock : public JMemBlock {
 public:
  int tags[64];
};
}  // namespace

TEST(MemBlock, LibraryNewGivesAnEmptyBlockAtLeastAsLargeAsAskedOrAsADerivedClassNeeds) {
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

  // Asked for more, the storage is as large as asked and starts as an empty block.
  void* raw = JMemBlock::operator new(4096);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(static_cast<JMemBlock*>(raw)->Size(), 0u);
  EXPECT_EQ(static_cast<JMemBlock*>(raw)->Data(), nullptr);
  EXPECT_GE(_msize(raw), 4096u);
  JMemBlock::operator delete(raw);

  TaggedBlock* t = new TaggedBlock;
  ASSERT_NE(t, nullptr);
  ASSERT_GE(_msize(t), sizeof(TaggedBlock));
  for (int i = 0; i < 64; i++) t->tags[i] = i * 7;
  t->Copy("payload", 0xFFFFFFFF);
  EXPECT_STREQ(t->Data(), "payload");
  for (int i = 0; i < 64; i++) EXPECT_EQ(t->tags[i], i * 7) << "the derived fields survive Copy, at " << i;
  t->DeleteThis();
}

TEST(MemBlock, EqualityComparesSizeAndBytesAndCopiesOwnTheirOwnBuffers) {
  JMemBlock a, b, empty;
  EXPECT_EQ(a == b, 1) << "two empty blocks are equal";
  a.Copy("abcd", 4);
  b.Copy("abce", 4);
  EXPECT_EQ(a == b, 0) << "same size, last byte differs";
  b.Copy("abc", 3);
  EXPECT_EQ(a == b, 0);
  b = empty;
  EXPECT_EQ(b.Size(), 0u);
  EXPECT_EQ(b.Data(), nullptr);
  JMemBlock fromEmpty(empty);
  EXPECT_EQ(fromEmpty.Data(), nullptr);
  EXPECT_EQ(fromEmpty.Size(), 0u);

  a.Copy("first", 0xFFFFFFFF);
  {
    JMemBlock c = a;
    EXPECT_NE(c.Data(), a.Data());
    EXPECT_EQ(c == a, 1);
    c.Copy("second", 0xFFFFFFFF);
    EXPECT_STREQ(a.Data(), "first");
    const JMemBlock& constant = c;
    a = constant;
    EXPECT_NE(a.Data(), c.Data());
    EXPECT_EQ(a == c, 1);
  }
  EXPECT_STREQ(a.Data(), "second") << "the copy's buffer went with the copy";

  // A packed list copies as a block.
  JSZList list;
  list.Append("a");
  list.Append("bc");
  JSZList copy = list;
  EXPECT_NE(copy.Data(), list.Data());
  EXPECT_EQ(copy.Count(), 2);
  list.Clear();
  char* p = nullptr;
  ASSERT_EQ(copy.GetString(p), 1);
  EXPECT_STREQ(p, "a");
}
