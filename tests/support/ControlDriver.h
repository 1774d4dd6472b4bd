// Drives a control with the mouse and keyboard messages a person produces and records what its
// parent window receives, so that a test compares the sequence with an expected one.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace quortest {

// A message the parent received, and what the probe read when it arrived.
struct ParentMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  double probe;  // the probe's value, or 0 without a probe
};

// An expected message; a probe of NoProbe() is not compared.
struct Expected {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  double probe;
};
double NoProbe();

// A visible top-level parent window for controls under test. It records WM_COMMAND and the host's
// custom-control notifications (0x658 to 0x6AD) that it receives.
class ControlDriver {
 public:
  ControlDriver();
  ~ControlDriver();
  ControlDriver(const ControlDriver&) = delete;
  ControlDriver& operator=(const ControlDriver&) = delete;

  HWND Parent() const { return parent; }
  // A child control of class cls registered for module inst, with control id id.
  HWND Create(HINSTANCE inst, const char* cls, int id, int x, int y, int w, int h, const char* text = "",
              bool visible = true);

  // Called for each recorded message; its result is stored with the message.
  void Probe(std::function<double()> f) { probe = std::move(f); }
  const std::vector<ParentMessage>& Log() const { return log; }
  void Clear() { log.clear(); }

  // Mouse messages with a position in ctl's client coordinates. As with a real mouse, a window
  // that holds the capture receives them instead, in its own client coordinates.
  void LeftDown(HWND ctl, int x, int y);
  void LeftUp(HWND ctl, int x, int y);
  void MoveTo(HWND ctl, int x, int y);
  void RightDown(HWND ctl, int x, int y);
  void RightUp(HWND ctl, int x, int y);
  void Click(HWND ctl, int x, int y);
  void RightClick(HWND ctl, int x, int y);

  // The keyboard: focus moves to ctl (and on into a control's inner window, as it does); keys
  // go to the window that has the focus.
  void Focus(HWND ctl);
  void SelectAll();
  void Type(const char* text);
  void Key(UINT vk);

  // Dispatches the thread's messages until done() holds or timeoutMs passed; answers done().
  static bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

 private:
  static LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Mouse(HWND ctl, UINT msg, int x, int y);
  // A mouse button message; the button's MK_ flag is held from down to up.
  void MouseButton(HWND ctl, UINT msg, WPARAM button, bool down, int x, int y);
  HWND parent = nullptr;
  WPARAM buttons = 0;  // MK_ flags of the buttons held down
  std::function<double()> probe;
  std::vector<ParentMessage> log;
};

// Compares a recorded sequence with the expected one message by message, and says where they part.
testing::AssertionResult SequenceIs(const std::vector<ParentMessage>& got, const std::vector<Expected>& want);

// What ctl draws for WM_PRINTCLIENT: its client area, row by row from the top.
struct Printed {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;
  COLORREF At(int x, int y) const { return pixels[(size_t)y * width + x]; }
  // The first pixel of colour c in reading order; false when there is none.
  bool Find(COLORREF c, POINT& at) const;
};
Printed PrintClient(HWND ctl);
// The colour of pixel (x, y) of what ctl draws for WM_PRINTCLIENT.
COLORREF PrintedPixel(HWND ctl, int x, int y);

// The text of the tooltip that the calling thread shows for tool window ctl of parent, or
// "(none)".
std::string TooltipOf(HWND parent, HWND ctl);

// Windows that leak show in these counts: the children of parent (all levels), and the top-level
// windows of the calling thread.
int CountChildren(HWND parent);
int CountThreadWindows();

}  // namespace quortest
