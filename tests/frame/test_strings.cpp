// Packed string lists and string tables.
#include "Quorlib.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> Strings(JSZList& l) {
  std::vector<std::string> out;
  for (char* p = nullptr; l.GetString(p) && *p;) out.push_back(p);
  return out;
}
}  // namespace

TEST(SZList, TwoStringsArePackedWithAFinalNulAndIteratedToIt) {
  JSZList l;
  EXPECT_EQ(l.Append("a"), 1);
  EXPECT_EQ(l.Append("bc"), 1);
  ASSERT_EQ(l.Size(), 6u);
  EXPECT_EQ(memcmp(l.Data(), "a\0bc\0\0", 6), 0);
  EXPECT_EQ(l.Count(), 2);
  EXPECT_EQ(l.IsMultiple(), 1);
  EXPECT_EQ(l.IsEmpty(), 0);
  char* p = nullptr;
  ASSERT_EQ(l.GetString(p), 1);
  EXPECT_STREQ(p, "a");
  ASSERT_EQ(l.GetString(p), 1);
  EXPECT_STREQ(p, "bc");
  for (int i = 0; i < 2; i++) {
    EXPECT_EQ(l.GetString(p), 0);
    EXPECT_EQ(p, l.Data() + 5) << "left at the final NUL";
  }
}

TEST(SZList, EmptySingleAndCutShortLists) {
  JSZList l;
  EXPECT_EQ(l.IsEmpty(), 1);
  EXPECT_EQ(l.IsMultiple(), 0);
  EXPECT_EQ(l.Count(), 0);
  char* p = nullptr;
  EXPECT_EQ(l.GetString(p), 0);
  EXPECT_EQ(p, nullptr);
  l.Append("only");
  EXPECT_EQ(l.Size(), 6u);
  EXPECT_EQ(l.Count(), 1);
  EXPECT_EQ(l.IsMultiple(), 0);
  l.Clear();
  EXPECT_EQ(l.IsEmpty(), 1);

  // An empty string ends the list early.
  for (const char* s : {"a", "", "b"}) l.Append(s);
  EXPECT_EQ(l.Count(), 1);
  EXPECT_EQ(Strings(l), std::vector<std::string>{"a"});
  JSZList first;
  first.Append("");
  EXPECT_EQ(first.Count(), 0);
  EXPECT_EQ(first.IsEmpty(), 0);
}

TEST(SZList, AppendingOneOfItsOwnStringsIsSafe) {
  JSZList l;
  l.Append("first");
  for (int i = 0; i < 20; i++) l.Append(l.Data());
  EXPECT_EQ(l.Count(), 21);
  for (const std::string& s : Strings(l)) EXPECT_EQ(s, "first");
}

TEST(SZTab, EntriesAreOwnCopiesOrNullAndCopiesHoldCopiesOfEveryEntry) {
  quortest::AssertRecorder rec;
  JSZTab t;
  EXPECT_EQ(t.IsEmpty(), 1);
  char text[] = "one";
  EXPECT_EQ(t.Append(text), 1);
  text[0] = 'X';
  EXPECT_EQ(t.Append(nullptr), 1);
  EXPECT_EQ(t.Append("three"), 1);
  EXPECT_EQ(t.Count(), 3);
  EXPECT_EQ(t.IsMultiple(), 1);
  EXPECT_STREQ(t.GetString(0), "one");
  EXPECT_EQ(t.GetString(1), nullptr);
  EXPECT_STREQ(t.GetString(2), "three");
  {
    JSZTab copy(t);
    ASSERT_EQ(copy.Count(), 3);
    EXPECT_STREQ(copy.GetString(0), "one");
    EXPECT_NE(copy.GetString(0), t.GetString(0));
    EXPECT_EQ(copy.GetString(1), nullptr) << "a null entry stays null";
    EXPECT_STREQ(copy.GetString(2), "three");
    copy.SetString(0, "changed");
    EXPECT_STREQ(t.GetString(0), "one");
  }
  EXPECT_STREQ(t.GetString(2), "three") << "the copy's strings went with the copy";
  JSZTab assigned;
  for (const char* s : {"old", "older", "oldest", "gone"}) assigned.Append(s);
  assigned = t;
  ASSERT_EQ(assigned.Count(), 3);
  EXPECT_STREQ(assigned.GetString(0), "one");
  EXPECT_EQ(assigned.GetString(1), nullptr);
  EXPECT_NE(assigned.GetString(2), t.GetString(2));
  const JSZTab& self = assigned;
  assigned = self;
  EXPECT_STREQ(assigned.GetString(2), "three");

  // Setting null empties an entry; text set into a null entry gets a block of its own.
  EXPECT_EQ(t.SetString(0, nullptr), 1);
  EXPECT_EQ(t.GetString(0), nullptr);
  EXPECT_EQ(t.SetString(1, "again"), 1);
  EXPECT_STREQ(t.GetString(1), "again");
  EXPECT_EQ(t.SetString(2, "a much longer text than before"), 1);
  EXPECT_STREQ(t.GetString(2), "a much longer text than before");
  EXPECT_EQ(t.Count(), 3);
  EXPECT_TRUE(rec.Hits().empty());
}

TEST(SZTab, IndexErrorsAssertWithTheirLinesAndDoNothing) {
  quortest::AssertRecorder rec;
  JSZTab t;
  t.Append("a");
  EXPECT_EQ(t.GetString(1), nullptr);
  EXPECT_TRUE(rec.Saw("JSZTAB", 53));
  EXPECT_EQ(t.GetString(-1), nullptr);
  EXPECT_EQ(t.SetString(1, "x"), 0);
  EXPECT_TRUE(rec.Saw("JSZTAB", 62));
  t.Delete(5);
  EXPECT_TRUE(rec.Saw("JSZTAB", 85));
  EXPECT_EQ(rec.Hits().size(), 4u);
  EXPECT_EQ(t.Count(), 1);
  EXPECT_STREQ(t.GetString(0), "a");
}

TEST(SZTab, DeleteMovesLaterEntriesDownAndShrinkCutsTheTailOnly) {
  JSZTab t;
  for (const char* s : {"0", "1", "2", "3", "4"}) t.Append(s);
  t.Delete(1);
  ASSERT_EQ(t.Count(), 4);
  EXPECT_STREQ(t.GetString(1), "2");
  EXPECT_STREQ(t.GetString(3), "4");
  t.Shrink(4);
  t.Shrink(9);
  EXPECT_EQ(t.Count(), 4);
  t.Shrink(2);
  ASSERT_EQ(t.Count(), 2);
  EXPECT_STREQ(t.GetString(1), "2");
  t.Append("new");
  EXPECT_STREQ(t.GetString(2), "new");
  t.Clear();
  EXPECT_EQ(t.IsEmpty(), 1);
}
