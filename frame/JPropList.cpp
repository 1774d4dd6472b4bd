// Property lists, the library's property ids and extension tables.
#include "JPropList.h"
#include "JInternal.h"

#include <new>

namespace {

using jlib::ReadLE32;
using jlib::WriteLE32;

const unsigned short kRecordChunk = 1;
const ULONG kRecordSize = 12;

}  // namespace

// ---- JPropertyList ---------------------------------------------------------------------------

int JPropertyList::Find(const Class_ID& id) {
  for (int i = 0; i < tab.Count(); i++)
    if (tab[i].id == id) return i;
  return -1;
}

int JPropertyList::Add(const Class_ID& id, unsigned long value) {
  int i = Find(id);
  if (i >= 0) {
    tab[i].value = value;
    return 1;
  }
  Record r{id, value};
  if (tab.Append(1, &r) < 0) return IO_ERROR;  // no memory: the list stays as it was
  return IO_OK;
}

int JPropertyList::Del(const Class_ID& id) {
  int i = Find(id);
  if (i < 0) return 0;
  tab.Delete(i, 1);
  return 1;
}

int JPropertyList::Exist(const Class_ID& id) { return Find(id) >= 0; }

unsigned long JPropertyList::Value(const Class_ID& id) {
  int i = Find(id);
  return i >= 0 ? tab[i].value : 0;
}

JPropertyList& JPropertyList::operator=(const JPropertyList& other) {
  tab = other.tab;
  return *this;
}

IOResult JPropertyList::Save(ISave* isave) {
  for (int i = 0; i < tab.Count(); i++) {
    unsigned char rec[kRecordSize];
    WriteLE32(rec, tab[i].id.PartA());
    WriteLE32(rec + 4, tab[i].id.PartB());
    WriteLE32(rec + 8, (uint32_t)tab[i].value);
    isave->BeginChunk(kRecordChunk);
    ULONG written = 0;
    IOResult res = isave->Write(rec, kRecordSize, &written);
    isave->EndChunk();
    if (res != IO_OK) return IO_ERROR;
  }
  return IO_OK;
}

IOResult JPropertyList::Load(ILoad* iload) {
  if (iload->CurChunkLength() == 0) return IO_OK;
  for (;;) {
    IOResult res = iload->OpenChunk();
    if (res != IO_OK) return res == IO_END ? IO_OK : IO_ERROR;
    bool failed = false;
    if (iload->CurChunkID() == kRecordChunk) {
      unsigned char rec[kRecordSize];
      ULONG nread = 0;
      failed = iload->Read(rec, kRecordSize, &nread) != IO_OK || nread != kRecordSize;
      if (!failed) failed = Add(Class_ID(ReadLE32(rec), ReadLE32(rec + 4)), ReadLE32(rec + 8)) == IO_ERROR;
    }
    // The record's chunk is closed whatever became of it: the caller's chunks stay in step.
    iload->CloseChunk();
    if (failed) return IO_ERROR;
  }
}

// ---- Property ids ----------------------------------------------------------------------------

#define JPROP(name, a, b)              \
  const Class_ID& name() {             \
    static const Class_ID id((a), (b)); \
    return id;                         \
  }

JPROP(JProp_DataBase_BypassThis, 0x34DE6179, 0x7B853377)
JPROP(JProp_DataBase_BypassThisMask, 0x76E96B15, 0x2DDE73CA)
JPROP(JProp_DataBase_BypassTree, 0x72B272DC, 0x599E09C6)
JPROP(JProp_DataBase_BypassTreeMask, 0x09F2166B, 0x65D727FD)
JPROP(JProp_DataBase_NumRefs, 0x00283FC9, 0x6D151219)
JPROP(JProp_FltDlg_PreviewWidth, 0x59A6251A, 0x3C336A3B)
JPROP(JProp_FltDlg_PreviewHeight, 0x77EC4E12, 0x1A0B1A11)
JPROP(JProp_FltDlg_PreviewAspect, 0x7ED5599C, 0x77A15DB8)
JPROP(JProp_FltDlg_PreviewType, 0x40A0745A, 0x168E04FE)
JPROP(JProp_Wnd_NoCenter, 0x49566CF1, 0x13787D8A)
JPROP(JProp_WndFlt_NoToolBar, 0x0EF62C09, 0x03AB0C69)

#undef JPROP

// ---- Extension records -----------------------------------------------------------------------

JExtProperty* JExtProperty::Create(const Class_ID& id, int value) {
  return new (std::nothrow) JExtProperty(id, value);
}

void JExtProperty::DeleteMe() { delete this; }

JExtTable::JExtTable() {}

JExtTable::~JExtTable() {
  for (int i = 0; i < tab.Count(); i++)
    if (tab[i]) tab[i]->DeleteMe();
}

namespace {
JExtProperty* AsProperty(JDeletable* d, const Class_ID& id) {
  JExtProperty* p = dynamic_cast<JExtProperty*>(d);
  return p && p->Id() == id ? p : nullptr;
}
}  // namespace

void JExtTable::AddExtProperty(const Class_ID& id, int value) {
  for (int i = 0; i < tab.Count(); i++) {
    if (JExtProperty* p = AsProperty(tab[i], id)) {
      p->SetValue(value);
      return;
    }
  }
  JDeletable* record = JExtProperty::Create(id, value);
  if (tab.Append(1, &record) < 0 && record) record->DeleteMe();  // the table could not grow
}

int JExtTable::FindExtProperty(const Class_ID& id, int* value) {
  for (int i = 0; i < tab.Count(); i++) {
    if (JExtProperty* p = AsProperty(tab[i], id)) {
      if (value) *value = p->Value();
      return 1;
    }
  }
  if (value) *value = 0;
  return 0;
}
