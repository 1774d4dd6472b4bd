// The host's growable tables.
#include "vantor.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
std::vector<int> Items(const Tab<int>& t) {
  std::vector<int> v;
  for (int i = 0; i < t.Count(); i++) v.push_back(t[i]);
  return v;
}
}  // namespace

TEST(Tab, StartsEmptyWithoutStorage) {
  Tab<int> t;
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.Capacity(), 0);
}

TEST(Tab, AppendInsertAndDeleteKeepOrder) {
  Tab<int> t;
  int v[] = {1, 2, 3};
  EXPECT_EQ(t.Append(3, v), 0);
  int x = 9;
  EXPECT_EQ(t.Insert(1, 1, &x), 1);
  EXPECT_EQ(Items(t), (std::vector<int>{1, 9, 2, 3}));
  EXPECT_EQ(t.Insert(4, 1, &x), 4) << "inserting at the count appends";
  EXPECT_EQ(t.Delete(0, 2), 3);
  EXPECT_EQ(Items(t), (std::vector<int>{2, 3, 9}));
  EXPECT_EQ(t.Delete(1, 100), 1) << "a range past the end is cut to the count";
  EXPECT_EQ(Items(t), (std::vector<int>{2}));
  EXPECT_EQ(t.Delete(5, 1), 1) << "a start past the end deletes nothing";
}

TEST(Tab, AppendWithExtraReservesSpareElements) {
  Tab<int> t;
  int x = 1;
  t.Append(1, &x, 10);
  EXPECT_EQ(t.Count(), 1);
  EXPECT_EQ(t.Capacity(), 11);
  int* storage = t.Addr(0);
  for (int i = 0; i < 10; i++) t.Append(1, &i);
  EXPECT_EQ(t.Addr(0), storage) << "no reallocation while spare elements last";
  EXPECT_EQ(t.Count(), 11);
}

TEST(Tab, MakeSizeSetsTheAllocationAndCutsTheCount) {
  Tab<int> t;
  t.Resize(8);
  EXPECT_EQ(t.Capacity(), 8);
  EXPECT_EQ(t.Count(), 0);
  int v[] = {1, 2, 3, 4, 5};
  t.Append(5, v);
  t.Resize(3);
  EXPECT_EQ(t.Capacity(), 3);
  EXPECT_EQ(Items(t), (std::vector<int>{1, 2, 3}));
  t.Shrink();
  EXPECT_EQ(t.Capacity(), 3);
  t.Resize(0);
  EXPECT_EQ(t.Capacity(), 0);
  EXPECT_EQ(t.Count(), 0);
}

TEST(Tab, SetCountGrowsAndOptionallyResizes) {
  Tab<int> t;
  t.SetCount(4, FALSE);
  EXPECT_EQ(t.Count(), 4);
  EXPECT_GE(t.Capacity(), 4);
  t.Resize(10);
  t.SetCount(2, FALSE);
  EXPECT_EQ(t.Capacity(), 10);
  t.SetCount(2, TRUE);
  EXPECT_EQ(t.Capacity(), 2);
  t.SetCount(0);
  EXPECT_EQ(t.Capacity(), 0);
}

TEST(Tab, CopyAndAssignmentAreIndependent) {
  Tab<int> a;
  int v[] = {4, 5, 6};
  a.Append(3, v);
  Tab<int> b(a);
  Tab<int> c;
  int z = 0;
  c.Append(1, &z);
  c = a;
  a[0] = 40;
  EXPECT_EQ(Items(b), (std::vector<int>{4, 5, 6}));
  EXPECT_EQ(Items(c), (std::vector<int>{4, 5, 6}));
  c = c;
  EXPECT_EQ(Items(c), (std::vector<int>{4, 5, 6}));
}

TEST(Tab, InsertWithoutElementsZeroes) {
  Tab<double> t;
  t.Insert(0, 3, nullptr);
  ASSERT_EQ(t.Count(), 3);
  for (int i = 0; i < 3; i++) EXPECT_EQ(t[i], 0.0);
}

TEST(Tab, SortOrdersElements) {
  Tab<int> t;
  int v[] = {5, 1, 4, 2, 3};
  t.Append(5, v);
  t.Sort([](const void* a, const void* b) { return *(const int*)a - *(const int*)b; });
  EXPECT_EQ(Items(t), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(Zfree, FreesAndNulls) {
  Tab<int> t;
  t.Resize(4);
  void* p = malloc(16);
  zfree(&p);
  EXPECT_EQ(p, nullptr);
  zfree(&p);
  zfree(nullptr);
}
