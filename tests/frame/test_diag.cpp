// The library's assertion message box and debug output.
#include "Quorlib.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

TEST(JAssert, NoAnswersZeroAndTheCallerGoesOnAndAnOverlongMessageIsCut) {
  EXPECT_EQ(jassert(1, "fine", "f.cpp", 1), 1) << "a true condition shows no box";
  quortest::ModalDriver driver(IDNO);
  int r = jassert(0, "Index out of range", "client.cpp", 42);
  ASSERT_TRUE(driver.Wait());
  EXPECT_EQ(r, 0);
  EXPECT_EQ(driver.Caption(), "Assertion failed");
  EXPECT_EQ(driver.Text(), "Index out of range\n\nFile: client.cpp\nLine: 42\n\nAbort the program?");

  // An overlong message is cut to the buffer.
  quortest::ModalDriver again(IDNO);
  EXPECT_EQ(jassert(0, std::string(5000, 'm').c_str(), "f", 1), 0);
  ASSERT_TRUE(again.Wait());
  EXPECT_EQ(again.Text(), std::string(1023, 'm'));
}

QUORTEST_CHILD(JAssertYes) {
  quortest::ModalDriver driver(IDYES);
  jassert(0, "fatal", "child.cpp", 7);
  return 3;  // not reached: Yes ends the process
}

TEST(JAssert, YesEndsTheProcessWithExitCodeMinusOne) { EXPECT_EQ(quortest::RunChild("JAssertYes"), 0xFFFFFFFFu); }

namespace {
// Debug output is raised as an exception that a debugger would catch; a vectored handler sees it
// first, so the test can read what was sent.
std::vector<std::string> debugLines;

LONG CALLBACK CatchDebugOutput(EXCEPTION_POINTERS* ep) {
  const EXCEPTION_RECORD* r = ep->ExceptionRecord;
  if (r->ExceptionCode == DBG_PRINTEXCEPTION_C && r->NumberParameters >= 2)
    debugLines.emplace_back(reinterpret_cast<const char*>(r->ExceptionInformation[1]));
  return EXCEPTION_CONTINUE_SEARCH;
}
}  // namespace

TEST(PrintfDbg, FormatsIntoTheDebuggerOutputAndCutsLongText) {
  void* h = AddVectoredExceptionHandler(1, CatchDebugOutput);
  debugLines.clear();
  _printf_dbg("%s %d|", "value", 42);
  _printf_dbg("%s", std::string(3000, 'x').c_str());
  RemoveVectoredExceptionHandler(h);
  ASSERT_EQ(debugLines.size(), 2u);
  EXPECT_EQ(debugLines[0], "value 42|");
  EXPECT_EQ(debugLines[1], std::string(1023, 'x'));
}
