// A modeless progress dialog for long operations on the user-interface thread: a status line, a
// progress bar and a Cancel button. The operation polls CheckCancelButton between its steps; other
// code can drive the dialog with the progress messages of JMessages.h.
#pragma once

#include "JExport.h"
#include "JMessages.h"
#include "JViewDlg.h"

// The library's dialog 104. While it is open its owner is disabled (unless it already was).
// Not copyable, as a dialog object.
class QUORAPI JProgressDlg : public JDlgProc {
 public:
  // Control ids of the dialog template.
  static const int kIdBar = 1001;     // the progress bar
  static const int kIdStatus = 1002;  // the status line
  static const int kIdCancel = IDCANCEL;

  JProgressDlg();  // no window; every flag cleared

  // Opens the dialog over the top-level window of parent (null: no owner). Answers 1, or 0 when
  // the dialog cannot be created (the owner is left enabled).
  int Create(HWND parent);
  // Enables the owner again when this dialog disabled it, then destroys the window; answers
  // DestroyWindow's result.
  int Destroy();
  // Enables the owner when this dialog disabled it; afterwards the owner is left alone.
  void ReEnableParent();
  // Lets the host process pending messages, then answers whether Cancel was pressed since the
  // last call (1 or 0).
  int CheckCancelButton();
  // 1 once Cancel was pressed; stays 1.
  int IsCanceled();
  void SetStatus(const char* text);
  // The bar's range becomes low..high (16-bit each), then its position pos.
  void SetPos(int pos, int low, int high);

  INT_PTR DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void DeleteThis() override;                  // destroys the window and frees the object
  HINSTANCE GetInstanceHandle() override;      // the library's module
  int IdDlg() override;                        // 104
  // After the dialog object's operations; destroys the window when there is one.
  virtual ~JProgressDlg();

 protected:
  HWND owner;         // the dialog's owner window, or null
  int ownerDisabled;  // 1 while this dialog keeps the owner disabled
  int cancelPressed;  // set by Cancel, cleared when CheckCancelButton reads it
  int canceled;       // set by Cancel for good
};
