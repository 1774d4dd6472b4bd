// The host's custom controls: push and check buttons with images and fly-offs, edit fields that
// read and write numbers, spinners linked to an edit, and colour swatches edited in the host's
// colour picker. A module registers the window classes
// with InitCustomControls and places the controls in its dialog templates by class name; code
// reaches a control through an interface object that it gets from the control's window and
// releases when done. Controls and interface objects belong to the user-interface thread.
#pragma once

#include "vbase.h"

#include <commctrl.h>

class DADMgr;

#define CUSTBUTTONWINDOWCLASS "CustButton"
#define CUSTEDITWINDOWCLASS "CustEdit"
#define SPINNERWINDOWCLASS "SpinnerControl"
#define COLORSWATCHWINDOWCLASS "ColorSwatch"

// Registers the host's custom-control window classes for the module hInst, so that the dialog
// templates of that module can place them. Repeated calls for one module do nothing more.
HOSTAPI void InitCustomControls(HINSTANCE hInst);

// ---- Notifications -----------------------------------------------------------------------------
// Sent to the control's parent window. The low word of wParam is the control id, lParam the
// control's window; the high word of wParam is described with each message.
#define CC_SPINNER_CHANGE 0x658      // the value changed; high word non-zero while dragging
#define CC_SPINNER_BUTTONDOWN 0x659  // a mouse button went down on the spinner
#define CC_SPINNER_BUTTONUP 0x65A    // the gesture ended; high word 1 accept, 0 cancel
#define CC_COLOR_CHANGE 0x65B        // colour swatch changed; high word non-zero when final
#define CC_COLOR_BUTTONDOWN 0x65E    // colour swatch pressed
#define CC_COLOR_BUTTONUP 0x65F      // colour swatch released
#define WM_CUSTEDIT_ENTER 0x6AD      // Enter in a custom edit (high word 1), or the edit lost the
                                     // focus after its text was changed (high word 0)
// A custom button's click reaches its parent as WM_COMMAND with BN_CLICKED, like a Win32 button's.

// ---- Interface objects ---------------------------------------------------------------------------
// What every custom control answers. An interface object stays valid until it is released; once
// its window is destroyed its operations do nothing and its queries answer 0.
class ICustomControl {
 public:
  virtual HWND GetHwnd() = 0;
  virtual BOOL IsEnabled() = 0;
  virtual void Enable(BOOL onOff = TRUE) = 0;  // a disabled control ignores the mouse
  virtual void Disable() = 0;

 protected:
  ~ICustomControl() = default;
};

// Button types: a push button springs back; a check button toggles its checked state per click.
enum CustButType { CBT_PUSH = 0, CBT_CHECK = 1 };

// Where a fly-off strip opens from its button.
#define FLY_VARIABLE 1   // down, or up when the screen has no room below
#define FLY_UP 2
#define FLY_DOWN 3
#define FLY_HVARIABLE 4  // right, or left when the screen has no room on the right
#define FLY_LEFT 5
#define FLY_RIGHT 6

// The images of one fly-off choice: indices into the button's image list for out (not pressed)
// and in (pressed or checked), enabled and disabled.
struct FlyOffData {
  int iOutEn;
  int iInEn;
  int iOutDis;
  int iInDis;
};

// A custom button ("CustButton"). A click sends WM_COMMAND/BN_CLICKED to the parent. With
// fly-offs, pressing and holding opens a strip of the choices beside the button; releasing the
// mouse on a choice makes it current (and checks a check button) and sends BN_CLICKED.
class ICustButton : public ICustomControl {
 public:
  // The button's text, shown when it has no images; GetText fills at most ct characters.
  virtual void GetText(char* text, int ct) = 0;
  virtual void SetText(const char* text) = 0;
  // Images from list (not owned: the caller keeps it alive while the button shows it, null for
  // none), by state, each w x h pixels. Fly-off choices bring their own indices.
  virtual void SetImage(HIMAGELIST list, int iOutEn, int iInEn, int iOutDis, int iInDis, int w,
                        int h) = 0;
  // Default CBT_PUSH. Making a button a push button unchecks it.
  virtual void SetType(CustButType type) = 0;
  virtual CustButType GetType() = 0;
  // Checked state; shown pressed in. Default FALSE.
  virtual BOOL IsChecked() = 0;
  virtual void SetCheck(BOOL checked) = 0;
  // A checked button is filled with the highlight colour when highlighting is on (default off,
  // colour a light yellow).
  virtual void SetCheckHighlight(BOOL highlight) = 0;
  virtual void SetHighlightColor(COLORREF color) = 0;
  virtual COLORREF GetHighlightColor() = 0;
  // Tooltip with text (copied) when onOff is TRUE; LPSTR_TEXTCALLBACKA asks the parent through
  // TTN_GETDISPINFO. FALSE removes it.
  virtual void SetTooltip(BOOL onOff, const char* text) = 0;
  // count choices (copied from data; 0 removes the fly-off), opened after timeOut milliseconds of
  // holding (0: 300), starting at choice init, towards dir (FLY_...), columns cells across.
  virtual void SetFlyOff(int count, FlyOffData* data, int timeOut, int init, int dir = FLY_VARIABLE,
                         int columns = 1) = 0;
  // The current choice, 0 without fly-offs; setting one out of range is ignored, notify sends
  // BN_CLICKED.
  virtual int GetCurFlyOff() = 0;
  virtual void SetCurFlyOff(int choice, BOOL notify = FALSE) = 0;
  // The drag-and-drop handler of a button that stands for a map slot (not owned; null: none).
  // The host asks it what the button holds when a map is dragged from or dropped on the button.
  virtual void SetDADMgr(DADMgr* mgr) = 0;
  virtual DADMgr* GetDADMgr() = 0;

 protected:
  ~ICustButton() = default;
};

// A custom edit ("CustEdit"): a one-line edit field. Enter sends WM_CUSTEDIT_ENTER to the parent.
class ICustEdit : public ICustomControl {
 public:
  // GetText fills at most ct characters (with the terminator).
  virtual void GetText(char* text, int ct) = 0;
  virtual void SetText(const char* text) = 0;
  virtual void SetText(int value) = 0;
  virtual void SetText(float value, int precision = 3) = 0;  // precision: digits after the point
  // The text as a number; valid (when given) tells whether the text is one. An invalid text gives
  // 0. GetInt rounds a text with a fraction to the nearest whole number.
  virtual int GetInt(BOOL* valid = nullptr) = 0;
  virtual float GetFloat(BOOL* valid = nullptr) = 0;

 protected:
  ~ICustEdit() = default;
};

// What a spinner's linked edit shows and how it steps.
enum EditSpinnerType { EDITTYPE_INT = 1, EDITTYPE_FLOAT = 2 };

// A spinner ("SpinnerControl"): two arrow halves beside a linked custom edit that shows the value.
// Pressing sends CC_SPINNER_BUTTONDOWN; dragging up or down changes the value by the scale per
// pixel (an int spinner by whole steps) and sends CC_SPINNER_CHANGE (high word 1) per change;
// releasing sends CC_SPINNER_BUTTONUP (1). A press and release without movement steps once by the
// scale towards the pressed arrow. A right click during a drag restores the value it began with
// and ends it with CC_SPINNER_BUTTONUP (0); a right click otherwise sets the reset value
// (button down, change with high word 0, button up 1). A number entered in the linked edit
// (Enter, or leaving the edit) sets the value, clamped, and sends CC_SPINNER_CHANGE (0); a text
// that is not a number restores the shown value.
class ISpinnerControl : public ICustomControl {
 public:
  virtual float GetFVal() = 0;
  virtual int GetIVal() = 0;  // rounded to the nearest whole number
  // Clamped to the limits; notify sends CC_SPINNER_CHANGE with high word 0.
  virtual void SetValue(float value, int notify) = 0;
  virtual void SetValue(int value, int notify) = 0;
  // Limits (swapped when given in the wrong order); limitCurValue clamps the current value at once.
  // Default 0 to 100.
  virtual void SetLimits(float low, float high, int limitCurValue = TRUE) = 0;
  virtual void SetLimits(int low, int high, int limitCurValue = TRUE) = 0;
  // Change per pixel of drag and per click; default 0.1 (1 for an int spinner set up as one).
  virtual void SetScale(float scale) = 0;
  virtual float GetScale() = 0;
  // The value a right click sets (clamped to the limits then); default 0.
  virtual void SetResetValue(float value) = 0;
  virtual void SetResetValue(int value) = 0;
  // Shows the value in the custom edit edit (null unlinks) and makes this an int or float spinner.
  virtual void LinkToEdit(HWND edit, EditSpinnerType type) = 0;
  // Key brackets drawn around the linked edit: the value has a key at the time shown.
  virtual void SetKeyBrackets(BOOL onOff) = 0;
  virtual BOOL IsKeyBrackets() = 0;

 protected:
  ~ISpinnerControl() = default;
};

// A colour swatch ("ColorSwatch"): a box painted in its colour (greyed while disabled). A click
// opens the host's colour picker on it, a modeless window that edits the swatch live. The parent
// hears CC_COLOR_BUTTONDOWN when the picker starts editing the swatch, CC_COLOR_CHANGE (high word
// 0) on each change, and at the end CC_COLOR_CHANGE (1) followed by CC_COLOR_BUTTONUP with high
// word 1 when the colour was accepted (OK, or the picker moved on to another swatch), or 0 when it
// was cancelled (the colour it began with is back).
class IColorSwatch : public ICustomControl {
 public:
  virtual COLORREF GetColor() = 0;
  // Sets the colour and answers the previous one; notify sends CC_COLOR_CHANGE (high word 1). An
  // open picker editing the swatch shows the new colour.
  virtual COLORREF SetColor(COLORREF color, int notify = FALSE) = 0;
  // Makes this swatch the one the open colour picker edits (the swatch it edited before is ended
  // as accepted). Without an open picker: openNew non-zero opens one on this swatch, zero does
  // nothing.
  virtual void EditThis(BOOL openNew) = 0;
  // Non-zero: as EditThis(FALSE). Zero: an open picker editing this swatch is closed, accepted.
  virtual void Activate(int onOff) = 0;
  // Key brackets drawn around the swatch: the colour has a key at the time shown. Default off.
  virtual void SetKeyBrackets(BOOL onOff) = 0;
  virtual BOOL IsKeyBrackets() = 0;

 protected:
  ~IColorSwatch() = default;
};

// The host's colour picker: a top-level window of this class, one at a time, with a custom edit
// and an int spinner per component (red, green, blue 0 to 255; hue 0 to 360 degrees; saturation
// and value 0 to 255), a patch of the colour, and OK and Cancel buttons. Its title is the title
// of the swatch it edits.
#define COLORPICKERWINDOWCLASS "VantorColorPicker"
// Control ids: the edits are IDC_PICKER_RED_EDIT + 0 to 5 in the order red, green, blue, hue,
// saturation, value, and their spinners IDC_PICKER_RED_SPIN + 0 to 5.
#define IDC_PICKER_RED_EDIT 1101
#define IDC_PICKER_HUE_EDIT 1104
#define IDC_PICKER_RED_SPIN 1111
#define IDC_PICKER_HUE_SPIN 1114
#define IDC_PICKER_PATCH 1120  // the window painted in the colour being edited

// Interface objects of the controls' windows; null for a window that is not such a control. Each
// object is released with its own function (a null pointer is ignored).
HOSTAPI ICustButton* GetICustButton(HWND hCtrl);
HOSTAPI void ReleaseICustButton(ICustButton* button);
HOSTAPI ICustEdit* GetICustEdit(HWND hCtrl);
HOSTAPI void ReleaseICustEdit(ICustEdit* edit);
HOSTAPI ISpinnerControl* GetISpinner(HWND hCtrl);
HOSTAPI void ReleaseISpinner(ISpinnerControl* spinner);
// The swatch hCtrl set to colour (no notification), titled title (copied; null for none).
HOSTAPI IColorSwatch* GetIColorSwatch(HWND hCtrl, COLORREF color, const char* title);
HOSTAPI void ReleaseIColorSwatch(IColorSwatch* swatch);

// The spinner idSpin of window hwnd linked to its custom edit idEdit, with limits, value (no
// notification) and scale; null when hwnd has no spinner idSpin. Release it with ReleaseISpinner.
HOSTAPI ISpinnerControl* SetupFloatSpinner(HWND hwnd, int idSpin, int idEdit, float low, float high,
                                           float value, float scale = 0.1f);
// The same for a spinner of whole numbers, scale 1.
HOSTAPI ISpinnerControl* SetupIntSpinner(HWND hwnd, int idSpin, int idEdit, int low, int high,
                                         int value);

// Interface objects of custom controls not yet released, for leak checks.
HOSTAPI int GetLiveCustomControlCount();
