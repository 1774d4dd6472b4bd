// Value controls: edit fields, tab controls, colour swatches and spinners of a dialog bound to
// leaf parameters and text data. A control writes what the user sets into its data at the
// dialog's time and shows the data's value whenever the data or the dialog's time changes.
// Spinners and swatches show the leaf's value through its parameter dimension (an angle stored in
// radians shows in degrees) and draw the host's key brackets when the leaf has a key at the time
// shown.
#pragma once

#include "JMemBlock.h"
#include "JViewCtl.h"

class JViewChildBase;
class IColorSwatch;
class ISpinnerControl;

// Sent by a stepping spinner to its dialog when the user moves it: wParam is 1 to step forward or
// -1 (as a signed value) to step back, lParam the JViewFSpinner. The dialog decides what a step is.
#define JWM_VIEWSTEP (WM_USER + 48)

// A Win32 edit control bound to text (a JBinaryData, or any data whose value is a JMemBlock). The
// text does not vary over time: it is read at time 0 and written at the dialog's time.
class QUORAPI JEditView : public JViewLeaf {
 public:
  // A view of data (null allowed: the edit shows nothing and writes nothing) in edit idEdit; it
  // has no bypass control. Null when memory is short (asserted).
  static JEditView* Create(JData* data, int idEdit);
  void DeleteThis() override;
  int Own(int id) override;  // the edit's id
  // 1 when the edit shows exactly the bound text.
  int Valid(int t) override;
  // WM_COMMAND from the edit: focus in and out switch the host's shortcuts off and on; a change
  // writes the edit's text.
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

 protected:
  explicit JEditView(int idEdit);
  int idEdit;
};

// An edit view that also tells a named object that its name text changed, so that the views of
// the named object (a label, a list entry) refresh.
class QUORAPI JEditNameView : public JEditView {
 public:
  // As JEditView::Create; named (null allowed) hears of every change.
  static JEditNameView* Create(JData* data, int idEdit, JData* named);
  // Rebinds to data and named and shows the text.
  void Set(JData* data, JData* named);
  using JViewCtl::Set;
  void DeleteThis() override;
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;

 protected:
  JEditNameView(int idEdit, JData* named);
  JData* named;
};

// A Win32 tab control whose pages are child dialogs; bound (optionally) to a float leaf that holds
// the index of the page shown. Add the tab view to its dialog first, then its pages.
class QUORAPI JTabView : public JViewLeaf {
 public:
  // A view of data (null allowed) in tab control idTab; page is the page shown first without
  // data. Null when memory is short (asserted).
  static JTabView* Create(JData* data, int idTab, int page);
  // Appends a page titled title (copied); the page takes the tab view's dialog as its parent and
  // is never centred. Answers 1.
  int Add(JViewChildBase* page, const char* title);
  JViewChildBase* GetPage(int i);  // i must be below the page count
  int GetPageCount();
  int GetPageNum();  // the tab control's current selection
  // The page the data asks for: the leaf's value at time 0 cut to a whole page index (below 1.0:
  // page 0; past the last page: the last), or the current page without data.
  int Data2View();

  int Init(int t) override;  // inserts the tabs and creates the pages
  // Closes every page window (each page deletes itself), then unregisters and deletes the view.
  void Destroy() override;
  void DeleteThis() override;
  int Own(int id) override;   // the tab control's id
  int Valid(int t) override;  // 0: the selection is always checked again
  // WM_NOTIFY from the tab control: the old page hides before the change, the new one shows
  // after it and its index is written.
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

 protected:
  JTabView(int idTab, int page);
  HWND TabWindow();
  void ShowPage(int i, int show);
  int idTab;
  int current;                   // index of the page shown
  Tab<JViewChildBase*> pages;    // not owned: each page deletes itself when it closes
  JSZTab titles;
};

// A host colour swatch bound to a colour leaf (Point3, components 0 to 1). The swatch shows each
// component x 255 rounded half away from zero; a colour set in the swatch is stored as bytes / 255.
class QUORAPI JColorSwatch : public JViewLeaf {
 public:
  // A view of data (required: asserted, null result) in swatch idSwatch with bypass control
  // idBypass (-1: none). The swatch's title is the data's name at this moment.
  static JColorSwatch* Create(JData* data, int idBypass, int idSwatch);
  IColorSwatch* ICS() { return ics; }  // null until Init
  // The colour reference (red in the low byte) of the leaf's colour at t.
  COLORREF Data2View(int t);

  int Init(int t) override;  // 0 when the dialog has no swatch idSwatch (asserted)
  void Destroy() override;   // releases the swatch, then unregisters and deletes the view
  void DeleteThis() override;
  int Own(int id) override;  // the swatch's id
  int Valid(int t) override;  // the swatch shows the leaf's colour at t
  // The swatch's colour changed: writes it.
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;
  // Non-zero hands the swatch to an open colour picker; zero closes a picker editing it.
  void Activate(int on) override;

 protected:
  JColorSwatch(int idSwatch, const char* title);
  void ShowKeyBrackets(int t);
  IColorSwatch* ics;
  int idSwatch;
  const char* title;  // the data's name text, not copied
};

// A host spinner with its linked custom edit, bound to one number. The spinner shows the leaf's
// value converted by the leaf's dimension; a value set in it is unconverted and written.
class QUORAPI JViewSpinner : public JViewLeaf {
 public:
  ISpinnerControl* ISC() { return isc; }  // null until Init
  // Enables (on non-zero) or disables the spinner; answers whether it was enabled, 0 without one.
  int Enable(int on);

  // Sets the spinner up with the limits and the shown value; its reset value (a right click) is
  // the value of the range nearest to 0. 0 when the dialog has no spinner idSpin (asserted).
  int Init(int t) override;
  void Destroy() override;  // releases the spinner, then unregisters and deletes the view
  void DeleteThis() override;
  int Own(int id) override;   // the spinner's id (not the edit's)
  int Valid(int t) override;  // the leaf's value equals the spinner's, unconverted, exactly
  // The spinner's value changed: writes it.
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

 protected:
  JViewSpinner(int idSpin, int idEdit);
  // The host spinner of the parent dialog set up for this view's kind of number, showing shown.
  virtual ISpinnerControl* SetupSpinner(float shown) = 0;
  virtual float LowLimit() = 0;
  virtual float HighLimit() = 0;
  float Shown(int t);  // the leaf's value at t, converted
  void ShowKeyBrackets(int t);
  ISpinnerControl* isc;
  int idSpin;
  int idEdit;
};

// A spinner of floats from lowLimit to highLimit, changing by scale per pixel of drag.
class QUORAPI JFloatSpinner : public JViewSpinner {
 public:
  // data is required (asserted, null result); idBypass -1 means no bypass control.
  static JFloatSpinner* Create(JData* data, int idBypass, int idSpin, int idEdit, float lowLimit, float highLimit,
                               float scale);

 protected:
  JFloatSpinner(int idSpin, int idEdit, float low, float high, float scale);
  ISpinnerControl* SetupSpinner(float shown) override;
  float LowLimit() override { return low; }
  float HighLimit() override { return high; }
  float low, high, scale;
};

// A spinner of whole numbers from lowLimit to highLimit; the shown value is cut to a whole number.
class QUORAPI JIntSpinner : public JViewSpinner {
 public:
  // data is required (asserted, null result); idBypass -1 means no bypass control.
  static JIntSpinner* Create(JData* data, int idBypass, int idSpin, int idEdit, int lowLimit, int highLimit);

 protected:
  JIntSpinner(int idSpin, int idEdit, int low, int high);
  ISpinnerControl* SetupSpinner(float shown) override;
  float LowLimit() override { return (float)low; }
  float HighLimit() override { return (float)high; }
  int low, high;
};

// Three spinners bound to the three components of a Point3 leaf, each shown through the leaf's
// dimension. They draw no key brackets.
class QUORAPI JViewSpinner3 : public JViewLeaf {
 public:
  // The three components at t, converted for showing.
  void Data2View(int t, Point3& shown);
  ISpinnerControl* ISC(int i) { return i >= 0 && i < 3 ? isc[i] : nullptr; }  // x, y, z

  // 0 when any of the three spinners is missing (asserted).
  int Init(int t) override;
  void Destroy() override;  // releases the spinners, then unregisters and deletes the view
  void DeleteThis() override;
  int Own(int id) override;   // any of the three spinner ids
  int Valid(int t) override;  // all three components match exactly
  // A spinner's value changed: writes the three components.
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

 protected:
  JViewSpinner3(const int spinIds[3], const int editIds[3]);
  virtual ISpinnerControl* SetupSpinner(int i, float shown) = 0;
  virtual float LowLimit() = 0;
  virtual float HighLimit() = 0;
  void ReleaseSpinners();
  ISpinnerControl* isc[3];
  int idSpin[3];
  int idEdit[3];
};

// Three float spinners sharing limits and scale.
class QUORAPI JFloatSpinner3 : public JViewSpinner3 {
 public:
  // data is required (asserted, null result); idBypass -1 means no bypass control.
  static JFloatSpinner3* Create(JData* data, int idBypass, int idSpinX, int idEditX, int idSpinY, int idEditY,
                                int idSpinZ, int idEditZ, float lowLimit, float highLimit, float scale);

 protected:
  JFloatSpinner3(const int spinIds[3], const int editIds[3], float low, float high, float scale);
  ISpinnerControl* SetupSpinner(int i, float shown) override;
  float LowLimit() override { return low; }
  float HighLimit() override { return high; }
  float low, high, scale;
};

// Three whole-number spinners sharing limits.
class QUORAPI JIntSpinner3 : public JViewSpinner3 {
 public:
  // data is required (asserted, null result); idBypass -1 means no bypass control.
  static JIntSpinner3* Create(JData* data, int idBypass, int idSpinX, int idEditX, int idSpinY, int idEditY,
                              int idSpinZ, int idEditZ, int lowLimit, int highLimit);

 protected:
  JIntSpinner3(const int spinIds[3], const int editIds[3], int low, int high);
  ISpinnerControl* SetupSpinner(int i, float shown) override;
  float LowLimit() override { return (float)low; }
  float HighLimit() override { return (float)high; }
  int low, high;
};

// A spinner without data that steps its dialog: moved up it sends JWM_VIEWSTEP with 1, moved down
// with -1, and shows 0 again.
class QUORAPI JViewFSpinner : public JViewLeaf {
 public:
  static JViewFSpinner* Create(int idSpin);  // null when memory is short (asserted)
  ISpinnerControl* ISC() { return isc; }

  int Init(int t) override;  // 1 when the dialog has the spinner
  void Destroy() override;   // releases the spinner, then deletes the view
  void DeleteThis() override;
  int Own(int id) override;
  int Valid(int t) override;  // 0
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  void UpdateView(int t, ReferenceTarget* changed) override;  // nothing
  using JViewCtl::UpdateView;

 protected:
  explicit JViewFSpinner(int idSpin);
  ISpinnerControl* isc;
  int idSpin;
};
