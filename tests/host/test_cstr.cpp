// Host strings and the assertion service.
#include "TestSupport.h"
#include "vantor.h"

#include <gtest/gtest.h>

#include <string>

TEST(CStr, HoldsCopiesAndConcatenates) {
  char text[] = "abc";
  CStr s(text);
  text[0] = 'X';
  EXPECT_STREQ(s.data(), "abc");
  EXPECT_EQ(s.Length(), 3);
  s += "def";
  EXPECT_TRUE(s == "abcdef");
  CStr t = s + "!";
  EXPECT_STREQ(t, "abcdef!");
  EXPECT_STREQ(s, "abcdef");
  t = s;
  EXPECT_TRUE(t == s);
  t = t.data();
  EXPECT_STREQ(t, "abcdef");
}

TEST(CStr, EmptyAndNullAreTheEmptyText) {
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
  std::string big(5000, 'q');
  s.printf("%s", big.c_str());
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
  ASSERT_TRUE(driver.Wait());
  EXPECT_NE(driver.Text().find("SOMEFILE"), std::string::npos);
  EXPECT_NE(driver.Text().find("77"), std::string::npos);
  SetAssert1Handler(tests);
}
