// A window that shows one image of an image strip, chosen by an integer parameter.
#pragma once

#include "JViewCtl.h"
#include "JWinProc.h"

// Placed in a dialog template as a window of class "JUniversalWindow"; the view attaches to it
// at Init. The image is stretched over the whole window. Not copyable, as a view and a window.
class QUORAPI JImageListView : public JViewLeaf, public JWinProc {
 public:
  // Answers the image index for the data's value at t (index null), or, with index set, writes
  // the value for *index into data at t.
  typedef int (*Mapping)(int t, JData* data, int* index);

  // A view of data over control idCtl showing the images of bitmap resource bitmapId of inst, cut
  // into count images. Without mapping the index is the leaf's integer value. Null when the window
  // class cannot be registered.
  static JImageListView* Create(JDataBase* data, int idBypass, int idCtl, HINSTANCE inst, int bitmapId, int count,
                                Mapping mapping);
  // The same on a constructed object; answers it.
  JImageListView* Setup(JDataBase* data, int idBypass, int idCtl, HINSTANCE inst, int bitmapId, int count,
                        Mapping mapping);
  int IdCtl() { return idCtl; }

  JImageListView() = default;
  ~JImageListView() override;  // destroys the image list
  // Attaches to the control window; 0 when the dialog has none with the control id.
  int Init(int t) override;
  // Detaches from the window, then the common teardown.
  void Destroy() override;
  void DeleteThis() override;
  int Own(int id) override;  // 0: the window sends no commands
  // Whether the image last drawn is the one for t.
  int Valid(int t) override;
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;  // nothing
  // Paints the window at once.
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

 protected:
  // Draws the image for t over the client area of window into dc; nothing for an index that the
  // image list does not hold.
  virtual void OnPaint(HWND window, HDC dc, int t);
  LRESULT WinProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  int IndexAt(int t);

  int idCtl = 0;
  HIMAGELIST images = nullptr;  // owned
  int lastIndex = -1;           // the index last drawn
  Mapping mapping = nullptr;
};
