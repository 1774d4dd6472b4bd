// The host's utilities: growable tables, strings and the assertion service.
#include "TestSupport.h"
#include "vantor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<int> Items(const Tab<int>& t) {
  std::vector<int> v;
  for (int i = 0; i < t.Count(); i++) v.push_back(t[i]);
  return v;
}
}  // namespace

TEST(Tab, AppendInsertDeleteAndSortKeepOrder) {
  Tab<int> t;
  EXPECT_EQ(t.Capacity(), 0) << "an empty table has no storage";
  int v[] = {1, 2, 3};
  EXPECT_EQ(t.Append(3, v), 0);
  int x = 9;
  EXPECT_EQ(t.Insert(1, 1, &x), 1);
  EXPECT_EQ(Items(t), (std::vector<int>{1, 9, 2, 3}));
  EXPECT_EQ(t.Insert(4, 1, &x), 4) << "inserting at the count appends";
  EXPECT_EQ(t.Delete(0, 2), 3);
  EXPECT_EQ(Items(t), (std::vector<int>{2, 3, 9}));
  t.Sort([](const void* a, const void* b) { return *(const int*)b - *(const int*)a; });
  EXPECT_EQ(Items(t), (std::vector<int>{9, 3, 2}));
  EXPECT_EQ(t.Delete(1, 100), 1) << "a range past the end is cut to the count";
  EXPECT_EQ(Items(t), (std::vector<int>{9}));
  EXPECT_EQ(t.Delete(5, 1), 1) << "a start past the end deletes nothing";

  Tab<double> d;
  d.Insert(0, 3, nullptr);
  ASSERT_EQ(d.Count(), 3);
  for (int i = 0; i < 3; i++) EXPECT_EQ(d[i], 0.0) << "inserting without elements zeroes";
}

TEST(Tab, SpareElementsResizeAndSetCountSetTheAllocation) {
  Tab<int> spare;
  int x = 1;
  spare.Append(1, &x, 10);
  EXPECT_EQ(spare.Capacity(), 11);
  int* storage = spare.Addr(0);
  for (int i = 0; i < 10; i++) spare.Append(1, &i);
  EXPECT_EQ(spare.Addr(0), storage) << "no reallocation while spare elements last";
  EXPECT_EQ(spare.Count(), 11);

  Tab<int> t;
  t.Resize(8);
  EXPECT_EQ(t.Capacity(), 8);
  EXPECT_EQ(t.Count(), 0);
  int v[] = {1, 2, 3, 4, 5};
  t.Append(5, v);
  t.Resize(3);
  EXPECT_EQ(t.Capacity(), 3);
  EXPECT_EQ(Items(t), (std::vector<int>{1, 2, 3})) << "the count is cut with the allocation";
  t.Resize(0);
  EXPECT_EQ(t.Capacity(), 0);
  EXPECT_EQ(t.Count(), 0);

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
  EXPECT_EQ(t.Addr(0), nullptr) << "no storage, no address";
  EXPECT_EQ(Tab<int>().Addr(0), nullptr);
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

TEST(Zfree, FreesAndNulls) {
  void* p = malloc(16);
  zfree(&p);
  EXPECT_EQ(p, nullptr);
  zfree(&p);
  zfree(nullptr);
}

TEST(CStr, HoldsCopiesAndConcatenates) {
  char text[] = "abc";
  CStr s(text);
  text[0] = 'X';
  EXPECT_STREQ(s.data(), "abc");
  s += "def";
  EXPECT_TRUE(s == "abcdef");
  CStr t = s + "!";
  EXPECT_STREQ(t, "abcdef!");
  EXPECT_STREQ(s, "abcdef");
  t = s;
  EXPECT_TRUE(t == s);
  t = t.data();
  EXPECT_STREQ(t, "abcdef");

  // Empty and null are the same empty text.
  CStr a, b(nullptr), c("");
  EXPECT_STREQ(a.data(), "");
  EXPECT_TRUE(b == "");
  EXPECT_TRUE(c.isNull());
  a += nullptr;
  EXPECT_EQ(a.Length(), 0);
}

TEST(CStr, PrintfAndResize) {
  CStr s;
  EXPECT_EQ(s.printf("%s #%u", "Flag", 12u), 8);
  EXPECT_STREQ(s, "Flag #12");
  s.printf("%s", std::string(5000, 'q').c_str());
  EXPECT_EQ(s.Length(), 5000);
  s.Resize(3);
  EXPECT_STREQ(s, "qqq");
  s.Resize(5);
  EXPECT_STREQ(s, "qqq  ");
  s.Resize(0);
  EXPECT_STREQ(s, "");
}

namespace {
int lastLine = 0;
std::string lastFile;
void Catch(int line, const char* file) {
  lastLine = line;
  lastFile = file;
}
}  // namespace

TEST(Assert1, HandlerIsReplaceableAndRestorable) {
  Assert1Handler old = SetAssert1Handler(Catch);
  ASSERT_NE(old, nullptr);
  assert1(123, "MYFILE");
  EXPECT_EQ(lastLine, 123);
  EXPECT_EQ(lastFile, "MYFILE");
  EXPECT_EQ(SetAssert1Handler(old), Catch);
  {
    quortest::AssertRecorder rec;
    assert1(5, "X");
    EXPECT_TRUE(rec.Saw("X", 5));
  }
  EXPECT_EQ(SetAssert1Handler(old), old) << "the recorder put the previous handler back";
}

TEST(Assert1, DefaultShowsTheHostMessageAndGoesOn) {
  Assert1Handler tests = SetAssert1Handler(nullptr);  // the host's own reaction
  quortest::ModalDriver driver(IDOK);
  assert1(77, "SOMEFILE");
  EXPECT_TRUE(driver.Wait());
  EXPECT_NE(driver.Text().find("SOMEFILE"), std::string::npos);
  EXPECT_NE(driver.Text().find("77"), std::string::npos);
  SetAssert1Handler(tests);
}
