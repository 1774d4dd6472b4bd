// Button-like view controls: push buttons that report to a callback and can draw themselves from
// an image strip, host custom buttons, check boxes, radio groups and drop-down lists bound to leaf
// parameters. Each is added to a dialog, which initialises it, routes its control's messages to
// UpdateData and refreshes it through UpdateView.
//
// Callbacks get the control, the user pointer given with the callback, then the arguments of the
// call that triggered them: the time, the control id, the message (0x110 at Init, 0xF when the
// control refreshes, otherwise the dialog message routed to it) and the message's parameter.
// Controls with two callbacks call the first before they write their data and the second after.
#pragma once

#include "JMemBlock.h"
#include "JViewCtl.h"
#include "vcustctrl.h"

// A Win32 push button. It writes no data: every message and every refresh goes to the callback.
// With an image strip (SetImage) it becomes owner-drawn at Init and draws the image for its state,
// one pixel down and right while pressed. Owns its image list.
class QUORAPI JButton : public JViewLeaf {
 public:
  typedef void (*Callback)(JButton* button, void* user, int t, int id, unsigned int msg, UINT_PTR param);

  JButton();  // unbound: Setup binds it
  ~JButton() override;

  // A button for control idCtl; data may be null. Null (asserted) when memory is short.
  static JButton* Create(JData* data, int idCtl, Callback callback, void* user);
  // Binds a constructed button; answers this.
  JButton* Setup(JData* data, int idCtl, Callback callback, void* user);
  // Rebinds and refreshes at t.
  void Set(JData* data, int t, Callback callback, void* user);
  using JViewCtl::Set;
  // Cuts bitmap bitmapId of hinst into count images and keeps the image indices for the states.
  // 1, or 0 when the list cannot be made (the previous images stay).
  int SetImage(HINSTANCE hinst, int bitmapId, int count, int normal, int pressed, int disabled,
               int disabledPressed);

  int IdCtl() { return idCtl; }
  HWND GetHwnd();  // the button window in the parent dialog
  int Updated() { return updated; }  // 1 once UpdateView ran

  // ---- What the dialog calls ----
  void DeleteThis() override;
  int Init(int t) override;
  int Own(int id) override;
  int Valid(int t) override;  // 0: a push button shows no value
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

 protected:
  void Draw(const DRAWITEMSTRUCT* item);

  int idCtl;
  int updated;
  Callback callback;
  void* user;
  HIMAGELIST images;
  int iNormal, iPressed, iDisabled, iDisabledPressed;
  int imageWidth, imageHeight;
};

// A host custom button. As a check button (type CBT_CHECK) it shows and writes one number: checked
// (0 or 1) plus twice the index of the current fly-off choice. Owns its image list and tooltip
// text; releases the button interface.
class QUORAPI JCustButton : public JViewLeaf {
 public:
  typedef void (*Callback)(JCustButton* button, void* user, int t, int id, unsigned int msg, UINT_PTR param);

  // A button of type type; highlight is the colour of the checked state, 0xFFFFFFFF for none.
  // data may be null. Null (asserted) when memory is short.
  static JCustButton* Create(JData* data, int idBypass, int idCtl, Callback first, void* firstUser,
                             Callback second, void* secondUser, CustButType type, unsigned long highlight);
  static JCustButton* Create(JData* data, int idBypass, int idCtl, Callback callback, void* user,
                             CustButType type, unsigned long highlight);
  // A check button highlighted in the host's colour 4.
  static JCustButton* Create(JData* data, int idBypass, int idCtl, Callback first, void* firstUser,
                             Callback second, void* secondUser);
  void Set(JData* data, int t, Callback first, void* firstUser, Callback second, void* secondUser);
  using JViewCtl::Set;

  int IdCtl() { return idCtl; }
  HWND GetHwnd();
  ICustButton* ICB() { return button; }  // null before Init
  // What the button shows at t: the leaf value truncated, negative values as 0.
  int Data2View(int t);

  // ---- Setters of the host button: call them after Init ----
  void SetType(CustButType type);
  void SetCheckHighlight(int on);
  void SetHighlightColor(unsigned long color);
  // count choices from data, opened after timeOut ms, starting at init, towards dir (FLY_...);
  // makes the button a check button.
  void SetFlyOff(int count, FlyOffData* data, int timeOut, int init, int dir);
  // A copy of text as tooltip; null removes it; LPSTR_TEXTCALLBACKA asks the parent.
  void SetTooltip(const char* text);
  // As JButton::SetImage, for the states out and in, enabled and disabled; given to the host
  // button at once when it exists.
  int SetImage(HINSTANCE hinst, int bitmapId, int count, int outEnabled, int inEnabled, int outDisabled,
               int inDisabled);

  // ---- What the dialog calls ----
  void DeleteThis() override;
  int Init(int t) override;  // 0 (asserted) without a custom button at the control id
  int Own(int id) override;
  int Valid(int t) override;
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

 protected:
  JCustButton();
  ~JCustButton() override;
  void GiveImages();
  int Shown();  // checked + 2 x current fly-off of the host button

  ICustButton* button;
  int idCtl;
  Callback first;
  Callback second;
  void* firstUser;
  void* secondUser;
  CustButType type;
  unsigned long highlight;
  HIMAGELIST images;
  int iOutEnabled, iInEnabled, iOutDisabled, iInDisabled;
  int imageWidth, imageHeight;
  JMemBlock tooltip;
};

// A Win32 check box bound to a 0/1 value: values of 1.0 and more show checked.
class QUORAPI JCheckButton : public JViewLeaf {
 public:
  typedef void (*Callback)(JCheckButton* button, void* user, int t, int id, unsigned int msg, UINT_PTR param);

  // data may be null. Null (asserted) when memory is short.
  static JCheckButton* Create(JData* data, int idBypass, int idCtl, Callback first, void* firstUser,
                              Callback second, void* secondUser);
  void Set(JData* data, int t, Callback first, void* firstUser, Callback second, void* secondUser);
  using JViewCtl::Set;

  int IdCtl() { return idCtl; }
  HWND GetHwnd();
  int Data2View(int t);  // 1 when the value at t is at least 1.0

  // ---- What the dialog calls ----
  void DeleteThis() override;
  int Own(int id) override;
  int Valid(int t) override;
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

 protected:
  JCheckButton();

  int idCtl;
  Callback first;
  Callback second;
  void* firstUser;
  void* secondUser;
};

// A group of Win32 radio buttons bound to an index: the button at that position of the id list is
// checked (indices below the first give the first, past the end the last). A mapping callback,
// when given, converts between the data and the index both ways.
class QUORAPI JRadioButton : public JViewLeaf {
 public:
  typedef void (*Callback)(JRadioButton* radio, void* user, int t, unsigned int msg, UINT_PTR param);
  // With index null: answers the index that data's value at t stands for. Otherwise writes the
  // value for *index into data at t.
  typedef int (*Mapping)(int t, JData* data, int* index);

  JRadioButton();  // unbound: Setup binds it

  // ids: the radio buttons' control ids ended by -1, kept (not copied) by the control. data must
  // not be null (asserted, null result).
  static JRadioButton* Create(JData* data, int idBypass, int* ids, Callback callback, void* user, Mapping mapping);
  static JRadioButton* Create(JData* data, int idBypass, int* ids, Mapping mapping);
  // Binds a constructed control; answers this, or null (asserted) without data.
  JRadioButton* Setup(JData* data, int idBypass, int* ids, Callback callback, void* user, Mapping mapping);
  JRadioButton* Setup(JData* data, int idBypass, int* ids, Mapping mapping);
  void Set(JData* data, int t, Callback callback, void* user);
  using JViewCtl::Set;

  // The id of the radio button to check at t (-1 without ids); value receives the index.
  int Data2View(int t, int& value);

  // ---- What the dialog calls ----
  void DeleteThis() override;
  int Init(int t) override;
  int Own(int id) override;
  int Valid(int t) override;
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

 protected:
  int Count();  // ids before the -1

  int* ids;
  Mapping mapping;
  Callback callback;
  void* user;
};

// A Win32 drop-down combo box bound to an index, filled at Init from a text of newline-separated
// items. Owns a copy of the text.
class QUORAPI JDropDownListBox : public JViewLeaf {
 public:
  typedef void (*Callback)(JDropDownListBox* list, void* user, int t, int id, unsigned int msg, UINT_PTR param);

  // data must not be null (asserted, null result); items is copied (null: one empty item).
  static JDropDownListBox* Create(JData* data, int idBypass, int idCtl, const char* items, Callback first,
                                  void* firstUser, Callback second, void* secondUser);
  void Set(JData* data, int t, Callback first, void* firstUser, Callback second, void* secondUser);
  using JViewCtl::Set;

  int IdCtl() { return idCtl; }
  HWND GetHwnd();
  // The item to select at t: the value truncated, below 1 as 0, at most the last item.
  int Data2View(int t);

  // ---- What the dialog calls ----
  void DeleteThis() override;
  int Init(int t) override;
  int Own(int id) override;
  int Valid(int t) override;
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

 protected:
  JDropDownListBox();

  JMemBlock items;
  int idCtl;
  Callback first;
  Callback second;
  void* firstUser;
  void* secondUser;
};
