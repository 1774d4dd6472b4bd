// The Postline's windows: the queue window and the dialogs that add and edit filter events.
#include "postlineui.h"

#include "hostres.h"
#include "interface.h"

#include <commdlg.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

HINSTANCE RuntimeInstance() {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&RuntimeInstance), &self);
  return self;
}

namespace {

std::string ResString(UINT id) {
  char text[256] = "";
  LoadStringA(RuntimeInstance(), id, text, sizeof text);
  return text;
}

// The filter whose setup dialog runs now; while it does, the queue window stays hidden.
ImageFilter* setupFilter = nullptr;

// Runs a filter's setup over the event dialog, with the host's command for the queue window greyed.
void RunSetup(ImageFilter* filter, HWND eventDialog) {
  ImageFilter* outer = setupFilter;
  setupFilter = filter;
  EnablePostlineCommand(FALSE);
  filter->ShowControl(eventDialog);
  setupFilter = outer;
  if (!outer) EnablePostlineCommand(TRUE);
}

// Asks for an image file to open; name (MAX_PATH characters) receives it. False when cancelled.
bool ChooseImage(HWND owner, char* name) {
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = "Images (*.png;*.bmp;*.jpg;*.tif)\0*.png;*.bmp;*.jpg;*.jpeg;*.tif;*.tiff\0All files\0*.*\0";
  ofn.lpstrFile = name;
  ofn.nMaxFile = MAX_PATH;
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
  return GetOpenFileNameA(&ofn) != FALSE;
}

// ---- The event dialog ----------------------------------------------------------------------------

struct EventDialog {
  IPostline* queue = nullptr;
  int event = -1;  // -1: adding a new event
  std::vector<ClassDesc*> classes;
  ImageFilter* pending = nullptr;  // a filter made here and not yet in the queue
  Class_ID pendingClass;
};

ClassDesc* Selected(HWND dlg, EventDialog* d) {
  LRESULT sel = SendDlgItemMessageA(dlg, IDC_EVENT_FILTERS, LB_GETCURSEL, 0, 0);
  return sel >= 0 && sel < (LRESULT)d->classes.size() ? d->classes[(size_t)sel] : nullptr;
}

// The filter of the selected class that Setup and OK work on: the event's own when the class is
// unchanged, else one made here (replacing one made for another class).
ImageFilter* FilterFor(HWND dlg, EventDialog* d) {
  ClassDesc* cd = Selected(dlg, d);
  if (!cd) return nullptr;
  if (d->event >= 0 && d->queue->GetClassID(d->event) == cd->ClassID() && d->queue->GetFilter(d->event))
    return d->queue->GetFilter(d->event);
  if (d->pending && d->pendingClass == cd->ClassID()) return d->pending;
  delete d->pending;
  d->pending = static_cast<ImageFilter*>(cd->Create(FALSE));
  d->pendingClass = cd->ClassID();
  if (d->pending) {
    ImageFilterInfo info = d->queue->Output();
    d->pending->SetFilterInfo(&info);
    d->pending->CreateNode();
  }
  return d->pending;
}

void InitEventDialog(HWND dlg, EventDialog* d) {
  SetWindowTextA(dlg, ResString(d->event < 0 ? IDS_ADD_FILTER_EVENT : IDS_EDIT_FILTER_EVENT).c_str());
  PluginClassInfo info;
  int select = 0;
  for (int i = 0; GetPluginClass(i, &info); i++) {
    if (info.cd->SuperClassID() != FLT_CLASS_ID) continue;
    if (d->event >= 0 && info.cd->ClassID() == d->queue->GetClassID(d->event)) select = (int)d->classes.size();
    d->classes.push_back(info.cd);
    SendDlgItemMessageA(dlg, IDC_EVENT_FILTERS, LB_ADDSTRING, 0, (LPARAM)info.cd->ClassName());
  }
  SendDlgItemMessageA(dlg, IDC_EVENT_FILTERS, LB_SETCURSEL, (WPARAM)select, 0);
  BOOL enabled = d->event < 0 || d->queue->EventEnabled(d->event);
  CheckDlgButton(dlg, IDC_EVENT_ENABLED, enabled ? BST_CHECKED : BST_UNCHECKED);
  if (d->event >= 0 && d->queue->GetFilter(d->event)) {
    const char* name = d->queue->EventName(d->event);
    if (strcmp(name, d->queue->GetFilter(d->event)->Description()) != 0) SetDlgItemTextA(dlg, IDC_EVENT_LABEL, name);
  }
  if (d->event >= 0) SetDlgItemTextA(dlg, IDC_EVENT_MASK, d->queue->EventMask(d->event));
  bool any = !d->classes.empty();
  EnableWindow(GetDlgItem(dlg, IDC_EVENT_SETUP), any);
  EnableWindow(GetDlgItem(dlg, IDC_EVENT_ABOUT), any);
  EnableWindow(GetDlgItem(dlg, IDOK), any);
}

// OK: the event is added or changed; the dialog's result is the event's index (adding) or 1.
void AcceptEvent(HWND dlg, EventDialog* d) {
  ImageFilter* filter = FilterFor(dlg, d);
  if (!filter) {
    MessageBoxA(dlg, "The filter could not be made.", "Postline", MB_OK | MB_ICONERROR);
    return;
  }
  int index = d->event;
  if (index < 0) {
    index = d->queue->AddEvent(filter, d->pendingClass);
    d->pending = nullptr;  // the queue owns it now, or deleted it
  } else if (filter == d->pending) {
    d->queue->ReplaceFilter(index, filter, d->pendingClass);
    d->pending = nullptr;
  }
  if (index >= 0) {
    char label[128] = "";
    GetDlgItemTextA(dlg, IDC_EVENT_LABEL, label, sizeof label);
    d->queue->SetEventLabel(index, label);
    d->queue->SetEventEnabled(index, IsDlgButtonChecked(dlg, IDC_EVENT_ENABLED) == BST_CHECKED);
    char mask[MAX_PATH] = "";
    GetDlgItemTextA(dlg, IDC_EVENT_MASK, mask, sizeof mask);
    d->queue->SetEventMask(index, mask);
  }
  EndDialog(dlg, d->event < 0 ? index : 1);
}

INT_PTR CALLBACK EventDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  EventDialog* d = reinterpret_cast<EventDialog*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dlg, DWLP_USER, lp);
      InitEventDialog(dlg, reinterpret_cast<EventDialog*>(lp));
      return TRUE;
    case WM_COMMAND:
      if (!d) return FALSE;
      switch (LOWORD(wp)) {
        case IDC_EVENT_FILTERS:
          if (HIWORD(wp) != LBN_DBLCLK) return FALSE;
          [[fallthrough]];  // a double click sets the filter up
        case IDC_EVENT_SETUP:
          if (ImageFilter* f = FilterFor(dlg, d)) RunSetup(f, dlg);
          return TRUE;
        case IDC_EVENT_ABOUT:
          if (ImageFilter* f = FilterFor(dlg, d)) f->ShowAbout(dlg);
          return TRUE;
        case IDC_EVENT_MASK_BROWSE: {
          char name[MAX_PATH] = "";
          if (ChooseImage(dlg, name)) SetDlgItemTextA(dlg, IDC_EVENT_MASK, name);
          return TRUE;
        }
        case IDOK:
          AcceptEvent(dlg, d);
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, d->event < 0 ? -1 : 0);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

int RunEventDialog(IPostline* queue, HWND owner, int event) {
  EventDialog d;
  d.queue = queue;
  d.event = event;
  INT_PTR r = DialogBoxParamA(RuntimeInstance(), MAKEINTRESOURCEA(IDD_FILTER_EVENT), owner, EventDlgProc, (LPARAM)&d);
  delete d.pending;
  if (r == -1) return event < 0 ? -1 : 0;  // the dialog could not be made
  return (int)r;
}

// ---- The queue window ----------------------------------------------------------------------------

HWND queueWindow = nullptr;

int Selection(HWND dlg) { return (int)SendDlgItemMessageA(dlg, IDC_QUEUE_EVENTS, LB_GETCURSEL, 0, 0); }

void FillQueueWindow(HWND dlg, int select) {
  IPostline* q = GetPostline();
  HWND list = GetDlgItem(dlg, IDC_QUEUE_EVENTS);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (int i = 0; i < q->NumEvents(); i++) {
    char line[200];
    snprintf(line, sizeof line, "%d.  %s%s", i + 1, q->EventName(i), q->EventEnabled(i) ? "" : "   (off)");
    SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)line);
  }
  if (select >= q->NumEvents()) select = q->NumEvents() - 1;
  SendMessageA(list, LB_SETCURSEL, (WPARAM)select, 0);
  const char* input = q->InputFile();
  SetDlgItemTextA(dlg, IDC_QUEUE_INPUT, *input ? input : "(test scene)");
  ImageFilterInfo out = q->Output();
  char text[120];
  snprintf(text, sizeof text, "Output: %d x %d, pixel aspect %.2f", out.width, out.height, out.aspect);
  SetDlgItemTextA(dlg, IDC_QUEUE_OUTPUT, text);
  bool any = select >= 0;
  for (int id : {IDC_QUEUE_EDIT, IDC_QUEUE_DELETE, IDC_QUEUE_UP, IDC_QUEUE_DOWN, IDC_QUEUE_ENABLE})
    EnableWindow(GetDlgItem(dlg, id), any);
}

void ChooseInput(HWND dlg) {
  char name[MAX_PATH] = "";
  if (ChooseImage(dlg, name)) GetPostline()->SetInputFile(name);
}

// Renders the whole queue for the current frame and shows it in an image window; the progress of
// the render goes to the status line.
void PreviewQueue(HWND dlg) {
  IPostline* q = GetPostline();
  Bitmap* bm = nullptr;
  char error[300] = "";
  int tpf = GetTicksPerFrame();
  int frame = tpf > 0 ? GetCOREInterface()->GetTime() / tpf : 0;
  if (!q->RenderFrame(frame, -1, &bm, dlg, error, sizeof error)) {
    SetDlgItemTextA(dlg, IDC_QUEUE_STATUS, error);
    return;
  }
  SetDlgItemTextA(dlg, IDC_QUEUE_STATUS, "");
  bm->Display(ResString(IDS_POSTLINE_PREVIEW).c_str(), BMM_CENTER, FALSE, TRUE);
  bm->DeleteThis();
}

void QueueCommand(HWND dlg, int id) {
  IPostline* q = GetPostline();
  int sel = Selection(dlg);
  switch (id) {
    case IDC_QUEUE_ADD: {
      int added = RunAddEventDialog(q, dlg);
      FillQueueWindow(dlg, added >= 0 ? added : sel);
      return;
    }
    case IDC_QUEUE_EDIT:
      if (sel >= 0) RunEditEventDialog(q, dlg, sel);
      break;
    case IDC_QUEUE_DELETE:
      q->DeleteEvent(sel);
      break;
    case IDC_QUEUE_UP:
      if (q->MoveEvent(sel, sel - 1)) sel--;
      break;
    case IDC_QUEUE_DOWN:
      if (q->MoveEvent(sel, sel + 1)) sel++;
      break;
    case IDC_QUEUE_ENABLE:
      q->SetEventEnabled(sel, !q->EventEnabled(sel));
      break;
    case IDC_QUEUE_BROWSE:
      ChooseInput(dlg);
      break;
    case IDC_QUEUE_TESTSCENE:
      q->SetInputFile(nullptr);
      break;
    case IDC_QUEUE_PREVIEW:
      PreviewQueue(dlg);
      break;
    case IDCANCEL:
      ShowWindow(dlg, SW_HIDE);
      return;
    default:
      return;
  }
  FillQueueWindow(dlg, sel);
}

INT_PTR CALLBACK QueueDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      FillQueueWindow(dlg, 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDC_QUEUE_EVENTS) {
        if (HIWORD(wp) == LBN_DBLCLK) QueueCommand(dlg, IDC_QUEUE_EDIT);
        if (HIWORD(wp) == LBN_SELCHANGE) FillQueueWindow(dlg, Selection(dlg));
        return TRUE;
      }
      QueueCommand(dlg, LOWORD(wp));
      return TRUE;
    case WM_SHOWWINDOW:
      if (wp) FillQueueWindow(dlg, Selection(dlg) >= 0 ? Selection(dlg) : 0);  // the scene may have changed
      return FALSE;
    case FLTWM_PROGRESS: {
      char text[64];
      snprintf(text, sizeof text, "Rendering: %d of %d", (int)wp, (int)lp);
      SetDlgItemTextA(dlg, IDC_QUEUE_STATUS, text);
      UpdateWindow(GetDlgItem(dlg, IDC_QUEUE_STATUS));
      return TRUE;
    }
    case WM_DESTROY:
      GetCOREInterface()->UnRegisterDlgWnd(dlg);
      if (queueWindow == dlg) queueWindow = nullptr;
      return FALSE;
  }
  (void)lp;
  return FALSE;
}

}  // namespace

HWND PostlineWindow() { return queueWindow && IsWindow(queueWindow) ? queueWindow : nullptr; }

HWND ShowPostlineWindow() {
  // While a filter's setup runs its dialog stands for the queue: it comes forward instead.
  if (setupFilter) {
    if (HWND filterDlg = setupFilter->DlgHandle()) SetForegroundWindow(filterDlg);
    return PostlineWindow();
  }
  if (!PostlineWindow()) {
    HWND main = GetCOREInterface()->GetMainHWnd();
    queueWindow = CreateDialogParamA(RuntimeInstance(), MAKEINTRESOURCEA(IDD_POSTLINE), main, QueueDlgProc, 0);
    if (!queueWindow) return nullptr;
    SetWindowTextA(queueWindow, ResString(IDS_POSTLINE_TITLE).c_str());
    GetCOREInterface()->RegisterDlgWnd(queueWindow);
  }
  ShowWindow(queueWindow, SW_SHOW);
  SetForegroundWindow(queueWindow);
  return queueWindow;
}

int RunAddEventDialog(IPostline* queue, HWND owner) { return RunEventDialog(queue, owner, -1); }

int RunEditEventDialog(IPostline* queue, HWND owner, int event) {
  if (event < 0 || event >= queue->NumEvents()) return 0;
  return RunEventDialog(queue, owner, event);
}
