// What the test filter module records, read by the host tests through its exports.
#pragma once

#include <windows.h>

// One call of a test filter's Render.
struct TestRenderCall {
  int add;        // the filter's offset (Test Double records -2)
  int frame;      // FilterInfo()->frame
  int width;      // the source bitmap's size
  int height;
  int hadForeground;
  int maskWidth;  // the mask bitmap's size, 0 without one
  int maskHeight;
};

// Class ids of the module's classes.
#define TESTFILT_OFFSET_B 1
#define TESTFILT_DOUBLE_B 2
#define TESTFILT_THING_B 3
#define TESTFILT_CLASS_A 0x7E5F0000u
#define TESTFILT_DOUBLE_MARK (-2)
// Test Offset's failing frame that instead has each Render report a host assertion (source name
// TESTFILT_ASSERT_SOURCE, line TESTFILT_ASSERT_LINE) and go on.
#define TESTFILT_ASSERT_EVERY_FRAME (-2)
#define TESTFILT_ASSERT_SOURCE "TESTFILT"
#define TESTFILT_ASSERT_LINE 77

// Exports of testfilt.flt.
typedef int (*TestFilterLogCountProc)();
typedef int (*TestFilterLogEntryProc)(int i, TestRenderCall* out);
typedef void (*TestFilterLogClearProc)();
// How many times ShowControl ran, the title of the window it was given, and whether the host's
// queue window was visible after ShowControl asked the host to show it.
typedef int (*TestFilterSetupCountProc)();
typedef const char* (*TestFilterSetupTitleProc)();
typedef int (*TestFilterSetupQueueShownProc)();
