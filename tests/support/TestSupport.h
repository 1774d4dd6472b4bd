// Helpers shared by the test programs: assertion capture, modal-dialog driving, child processes.
#pragma once

#include "JInternal.h"

#include <windows.h>

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace quortest {

// Records every host assertion raised while it lives, instead of showing it.
class AssertRecorder {
 public:
  struct Hit {
    int line;
    std::string file;
  };
  AssertRecorder();
  ~AssertRecorder();
  const std::vector<Hit>& Hits() const { return hits; }
  bool Saw(const char* file, int line) const;
  void Clear() { hits.clear(); }

 private:
  std::vector<Hit> hits;
};

// Presses a button of the next modal dialog (a message box, a file dialog) that the calling
// thread shows. The driver waits on its own thread for a new visible dialog owned by the thread
// that created it, reads its caption and message text, optionally types into edit controls, then
// clicks the button. If no dialog appears within the time-out it gives up; if the dialog ignores
// the press it is cancelled, so a test never hangs.
class ModalDriver {
 public:
  ModalDriver(int buttonId, DWORD timeoutMs = 10000);
  ~ModalDriver();
  // Text to type into control id of the dialog before pressing (set before the dialog opens).
  void Type(int controlId, const std::string& text);
  // Runs on the driver's thread with the dialog, before typing and pressing (set before the
  // dialog opens).
  void Before(std::function<void(HWND)> f) { before = std::move(f); }
  // Waits for the driver to finish; true when it found a dialog and pressed the button.
  bool Wait();
  const std::string& Caption() const { return caption; }
  const std::string& Text() const { return text; }

 private:
  static unsigned __stdcall Run(void* self);
  void Drive();
  DWORD guiThread;
  int button;
  DWORD timeout;
  std::vector<std::pair<int, std::string>> typing;
  HANDLE thread = nullptr;
  bool pressed = false;
  std::string caption, text;
  std::vector<HWND> existing;
  std::function<void(HWND)> before;
};

// Runs this test program again as a child process that executes the function registered under
// name (see QUORTEST_CHILD) and answers the child's exit code: 0xDEAD when it could not run, or
// when it ended with 0 without its function having returned (a crash).
DWORD RunChild(const char* name, DWORD timeoutMs = 60000);

// What a program run with RunProgram did: its exit code (0xDEAD when it could not start or did
// not end in time, when it is ended) and what it wrote to stdout and stderr.
struct ProgramOutcome {
  DWORD code;
  std::string out, err;
};
// Runs the program beside the test program named exe (BinPath) with the arguments args, its
// standard output and error captured, and waits up to timeoutMs for it to end.
ProgramOutcome RunProgram(const char* exe, const std::string& args, DWORD timeoutMs = 60000);

typedef int (*ChildFunc)();
struct ChildRegistrar {
  ChildRegistrar(const char* name, ChildFunc f);
};
// A function that runs in a child process started with RunChild; its result is the exit code.
#define QUORTEST_CHILD(name)                                                   \
  static int name##_child();                                                   \
  static quortest::ChildRegistrar name##_registrar(#name, name##_child);       \
  static int name##_child()

// Runs a registered child function when argv asks for one; answers -1 otherwise.
int RunChildIfAsked(int argc, char** argv, int* exitCode);

// The text of a window.
std::string WindowText(HWND hwnd);
// A top-level window of this process with the class cls and, unless title is null, that title;
// null when there is none. Unlike FindWindowA it never answers a window of another program (a
// test program running at the same time opens the same pickers and dialogs).
HWND FindOwnWindow(const char* cls, const char* title = nullptr);
// The texts of the items of list box list, in order.
std::vector<std::string> ListBoxItems(HWND list);
// Selects the item of single-selection list box list whose text is text (none when there is no
// such item), as a click on it does without the notification.
void SelectListBoxItem(HWND list, const std::string& text);

// The first visible dialog window (class "#32770") of thread that accept takes; null if none.
HWND FindDialogOf(DWORD thread, const std::function<bool(HWND)>& accept);

// The threads of this process (-1 when they cannot be counted).
int ThreadsInProcess();

// A path in the system's temporary folder.
std::string TempPath(const char* name);
// A file beside the running test program (the build's bin folder).
std::string BinPath(const char* file);
// A whole file's bytes (empty when it cannot be read), and writing them back.
std::vector<unsigned char> ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::vector<unsigned char>& bytes);
// The little-endian 16-bit and 32-bit numbers at offset at, read with the library's own byte
// helpers, and a 32-bit number written there.
inline uint16_t U16(const std::vector<unsigned char>& b, size_t at) { return jlib::ReadLE16(&b[at]); }
inline uint32_t U32(const std::vector<unsigned char>& b, size_t at) { return jlib::ReadLE32(&b[at]); }
inline void SetU32(std::vector<unsigned char>& b, size_t at, uint32_t v) { jlib::WriteLE32(&b[at], v); }
// The colour of a window pixel as the screen shows it.
inline COLORREF WindowPixel(HWND w, int x, int y) {
  HDC dc = GetDC(w);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(w, dc);
  return c;
}
// An access violation, as a faulty client or host makes one: a write through a null pointer.
// Both volatile: the compiler can neither see that the pointer is null nor drop the store.
inline void WriteThroughNull() {
  volatile int* volatile nowhere = nullptr;
  *nowhere = 1;
}

}  // namespace quortest
