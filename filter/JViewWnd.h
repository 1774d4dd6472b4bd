// The image view window: a view control that owns a child window of a dialog and shows a 24-bit
// image in it. A client callback computes the image on demand, at full, half or quarter
// resolution, on the calling thread or on a worker thread of the view's own; the view reports
// progress in the window, can be aborted, and folds bursts of update requests into one
// computation.
#pragma once

#include "JMessages.h"
#include "JViewCtl.h"
#include "JWinProc.h"
#include "vbmm.h"
#include "vtex.h"

// Fills width x height pixels of out, rows top to bottom; nonzero on success, 0 on failure. It
// may send JWM_PROGRESS and JWM_QUERYABORT to window, and should stop when asked to.
typedef int (*JViewRenderFunc)(BMM_Color_24* out, void* user, int time, int width, int height, float aspect,
                               HWND window);
// The colour (0 to 1 per channel; alpha ignored) at u (left to right) and v (top to bottom), 0 to 1.
typedef AColor (*JViewColorFunc)(void* user, float u, float v);

// Update flags (GetUpdateFlags / SetUpdateFlags).
constexpr unsigned long JVWF_THREAD = 1;    // once a first update succeeded, updates run on the worker
constexpr unsigned long JVWF_PROGRESS = 2;  // JWM_PROGRESS draws a progress line
constexpr unsigned long JVWF_UPDATED = 4;   // set by the view after a first synchronous update; stays
constexpr unsigned long JVWF_PAINTED = 8;   // set on every paint message

// The extension property that, with a nonzero value given before Init, keeps the view from
// offering its resolution menu.
QUORAPI Class_ID& JViewWnd_resolution_off();

// The image view. Its window is a dialog item of the class "JUniversalWindow"; the image fills
// the client area inside a one-pixel black frame. The resolution (1:1, 1:2, 1:4, fitted to the
// window or centred on a panel) is a property of the bound data object, chosen with the
// right-click menu. Not copyable, as a view control.
class QUORAPI JViewWnd : public JViewCtl, public JWinProc {
 public:
  // What UpdateView_Thread answers (the worker's exit code).
  enum Result : unsigned long {
    kInstalled = 0,              // image installed, or no callback set
    kAborted = 1,                // aborted during per-pixel evaluation
    kNoWidth = 0xBAD0,           // the image width is 0 (before Init)
    kNoHeight = 0xBAD1,          // the image height is 0
    kRenderFailed = 0xBAD3,      // render answered 0 or was aborted
    kNoColorMemory = 0xBAD4,     // no memory for the colour path's image
    kNoRenderMemory = 0xFFFFFFFF,  // no memory for the render path's image
    kFaulted = 0x0BAD0000,       // access fault trapped, or no memory for the display image
  };

  // A view of the dialog item ctrlId bound to data (null allowed); null when the window class
  // cannot be registered or memory is short (the latter reported by jassert).
  static JViewWnd* Create(JDataBase* data, int idBypass, int ctrlId);
  static JViewWnd* Create(JDataBase* data, int idBypass, int ctrlId, JViewColorFunc f, void* user);
  static JViewWnd* Create(JDataBase* data, int idBypass, int ctrlId, JViewRenderFunc f, void* user);
  // Binds a view that a derived class allocated: no callbacks, empty image, aspect 1.0. Null for null w.
  static JViewWnd* Setup(JViewWnd* w, JDataBase* data, int idBypass, int ctrlId);

  JViewWnd();
  ~JViewWnd() override;  // aborts the worker and waits for it; detaches the window
  JViewWnd(const JViewWnd&) = delete;
  JViewWnd& operator=(const JViewWnd&) = delete;

  // ---- View control ----
  // Attaches the dialog item: 0 when the dialog has none, else 1.
  int Init(int t) override;
  // Frees the image, then unregisters and deletes the view.
  void Destroy() override;
  void DeleteThis() override;
  int Own(int id) override;   // 1 for the control identifier
  int Valid(int t) override;  // always 1
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;  // nothing
  // Schedules a computation of the image at time (nothing while frozen).
  void UpdateView(int time, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;
  // The resolution setting of data: resolution 0 (1:1), 1 (1:2) or 2 (1:4), and noFit 1 when a
  // reduced image is centred on a panel instead of enlarged to the window. 0 and 0 when data is
  // null or has no setting. Neither recomputes.
  virtual void GetResolution(JDataBase* data, int& resolution, int& noFit);
  virtual void SetResolution(JDataBase* data, int resolution, int noFit);

  // ---- Updates ----
  unsigned long GetUpdateFlags() { return updateFlags; }
  // Stores f (JVWF_UPDATED stays once set); answers the previous flags.
  unsigned long SetUpdateFlags(unsigned long f);
  // The Win32 priority the next worker runs at; 0 (normal) by default.
  int GetUpdatePriority();
  int SetUpdatePriority(int p);  // answers the previous value
  // Installs an image of the window's image size and shows it; the view takes pixels (malloc'ed).
  JViewWnd& operator=(BMM_Color_24* pixels);
  // Draws frame and image into the window at once.
  void Redraw();
  // Stops the worker and waits for it, processing messages meanwhile.
  void AbortUpdate();
  // The worker's entry; view is the JViewWnd.
  static unsigned __stdcall UpdateView_StartThread(void* view);

 protected:
  struct State;  // what the worker shares with the interface thread: private to the library

  // Computes one image at the latest update time and installs it; answers one of the codes.
  unsigned long UpdateView_Thread();
  LRESULT WinProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // 0, or -1 while the computation in progress is to stop: what render code polls.
  int AbortValue();

  int ctrlId;
  JViewColorFunc colorFunc;
  void* colorUser;
  JViewRenderFunc renderFunc;
  void* renderUser;
  RECT imageRect;  // the client rectangle inset by one pixel
  float aspect;    // 1.0, handed to the render function
  unsigned long updateFlags;
  State* state;

 private:
  void Paint(HDC dc);
  void DrawProgress(unsigned done, unsigned total);
  void ShowMenu(LPARAM at);
  void OnCommand(int id);
  HMENU PopupMenu();
  void StartWorker();
  void JoinEndedWorker();
};
