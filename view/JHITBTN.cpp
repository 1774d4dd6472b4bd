// The select-by-name button.
#include "JHitByNameButton.h"
#include "JClassDesc.h"
#include "JInternal.h"
#include "JViewDlg.h"

#include <stdio.h>
#include <string.h>

#include <new>
#include <vector>

namespace {
const char kSource[] = "JHITBTN";
const int kLineNoData = 40;
const int kLineNoMemory = 44;

const int kStrOK = 14;
const int kStrNone = 2000;
const int kStrSelectObject = 2001;
const int kStrSelectObjects = 2002;

// printf into a string of the length it needs.
std::vector<char> Format(const char* fmt, const char* a, const char* b = nullptr) {
  int n = b ? snprintf(nullptr, 0, fmt, a, b) : snprintf(nullptr, 0, fmt, a);
  std::vector<char> out(n > 0 ? n + 1 : 1, '\0');
  if (n > 0) b ? snprintf(out.data(), out.size(), fmt, a, b) : snprintf(out.data(), out.size(), fmt, a);
  return out;
}
}  // namespace

// ---- HitByName -------------------------------------------------------------------------------

HitByName::HitByName(JSZList* n, const char* t, int s) : names(n), single(s) { title.Copy(t, 0xFFFFFFFFu); }
HitByName::~HitByName() {}
const char* HitByName::dialogTitle() { return title.Data() ? title.Data() : ""; }
const char* HitByName::buttonText() { return GetResString(kStrOK); }
BOOL HitByName::singleSelect() { return single; }
BOOL HitByName::useFilter() { return FALSE; }
int HitByName::filter(INode*) { return TRUE; }
BOOL HitByName::useProc() { return TRUE; }

void HitByName::proc(INodeTab& nodeTab) {
  names->Clear();
  for (int i = 0; i < nodeTab.Count(); i++)
    if (nodeTab[i]) names->Append(nodeTab[i]->GetName());
}

BOOL HitByName::doCustomHilite() { return TRUE; }

BOOL HitByName::doHilite(INode* node) {
  const char* name = node ? node->GetName() : nullptr;
  if (!name) return FALSE;
  char* p = nullptr;
  for (int more = names->GetString(p); more; more = names->GetString(p))
    if (strcmp(p, name) == 0) return TRUE;
  return FALSE;
}

BOOL HitByName::showHiddenAndFrozen() { return FALSE; }

// ---- JHitByNameButton ------------------------------------------------------------------------

JHitByNameButton* JHitByNameButton::Create(JData* d, int idButton, int mode, const char* title, int idText,
                                           const char* format) {
  if (!d) {
    assert1(kLineNoData, kSource);
    return nullptr;
  }
  JHitByNameButton* b = new (std::nothrow) JHitByNameButton;
  if (!b) {
    assert1(kLineNoMemory, kSource);
    return nullptr;
  }
  b->Setup(d, -1);
  b->idButton = idButton;
  b->mode = mode;
  b->title = title;
  b->idText = idText == -1 ? idButton : idText;
  b->format = format;
  return b;
}

int JHitByNameButton::Init(int) { return 1; }
void JHitByNameButton::DeleteThis() { delete this; }
int JHitByNameButton::Own(int id) { return id == idButton; }
int JHitByNameButton::Valid(int) { return 0; }

void JHitByNameButton::ReadNames(int t, JSZList& names) {
  JDataBase* d = JViewCtl::Data();
  if (!d) return;
  Interval valid = FOREVER;
  d->GetValue(&names, t, valid, CTRL_ABSOLUTE);
  jlib::EndWithNuls(names, 2);  // the last name's NUL and the list's own
}

void JHitByNameButton::UpdateView(int t, ReferenceTarget*) {
  JSZList names;
  ReadNames(t, names);
  std::vector<char> label;
  char* first = nullptr;
  if (!names.GetString(first))
    label = Format("%s", GetResString(kStrNone));
  else
    label = Format("%s%s", first, names.IsMultiple() ? "..." : "");
  std::vector<char> text = Format(format ? format : "%s", label.data());
  SetDlgItemTextA(hwndParent(), idText, text.data());
}

void JHitByNameButton::UpdateData(int t, int, unsigned int, UINT_PTR) {
  JDataBase* d = JViewCtl::Data();
  if (!d) return;
  JSZList names;
  ReadNames(t, names);
  int single = (mode & kMultiple) ? 0 : 1;
  const char* dlgTitle = title ? title : GetResString(single ? kStrSelectObject : kStrSelectObjects);
  HitByName pick(&names, dlgTitle, single);
  if (!GetCOREInterface()->DoHitByNameDialog(&pick)) return;
  WriteBack(t, &names);
  UpdateView(t, nullptr);
}
