// Integer properties keyed by class id, the library's fixed property ids, and owned extension
// records.
#pragma once

#include "JExport.h"
#include "vantor.h"

// Records of (id, value), unique by id, in insertion order. Saved as one 12-byte chunk each.
// Copies deeply (its records are plain values).
class QUORAPI JPropertyList {
 public:
  JPropertyList() = default;
  JPropertyList(const JPropertyList& other) = default;
  // Sets id to value: 1 when id was present (its value replaced), 0 when a record was appended,
  // 2 when there was no memory to append one (the list is unchanged).
  int Add(const Class_ID& id, unsigned long value);
  // Removes id: 1, or 0 when absent.
  int Del(const Class_ID& id);
  int Exist(const Class_ID& id);
  // The value of id; 0 when absent, so an absent flag reads as off.
  unsigned long Value(const Class_ID& id);
  JPropertyList& operator=(const JPropertyList& other);
  int Count() { return tab.Count(); }

  // Writes each record as chunk 1 of 12 bytes. IO_OK, or IO_ERROR when a write fails.
  IOResult Save(ISave* isave);
  // Merges the records stored in the chunks of the open chunk. IO_OK or IO_ERROR.
  IOResult Load(ILoad* iload);

 private:
  struct Record {
    Class_ID id;
    unsigned long value;
  };
  int Find(const Class_ID& id);
  Tab<Record> tab;
};

// The library's property ids.
QUORAPI const Class_ID& JProp_DataBase_BypassThis();
QUORAPI const Class_ID& JProp_DataBase_BypassThisMask();
QUORAPI const Class_ID& JProp_DataBase_BypassTree();
QUORAPI const Class_ID& JProp_DataBase_BypassTreeMask();
QUORAPI const Class_ID& JProp_DataBase_NumRefs();
QUORAPI const Class_ID& JProp_FltDlg_PreviewWidth();
QUORAPI const Class_ID& JProp_FltDlg_PreviewHeight();
QUORAPI const Class_ID& JProp_FltDlg_PreviewAspect();
QUORAPI const Class_ID& JProp_FltDlg_PreviewType();
QUORAPI const Class_ID& JProp_Wnd_NoCenter();
QUORAPI const Class_ID& JProp_WndFlt_NoToolBar();

// An object that the library owns and destroys through DeleteMe.
class QUORAPI JDeletable {
 public:
  virtual void DeleteMe() = 0;

 protected:
  virtual ~JDeletable() = default;
};

// An integer keyed by class id, held in a JExtTable.
class QUORAPI JExtProperty : public JDeletable {
 public:
  // A new record from the library's heap; null when memory is short.
  static JExtProperty* Create(const Class_ID& id, int value);
  void DeleteMe() override;
  const Class_ID& Id() const { return id; }
  int Value() const { return value; }
  void SetValue(int v) { value = v; }

 private:
  JExtProperty(const Class_ID& id, int value) : id(id), value(value) {}
  Class_ID id;
  int value;
};

// A table of owned extension records; the lookups see its JExtProperty records.
// Not copyable: its records are of classes it does not know how to copy.
class QUORAPI JExtTable {
 public:
  JExtTable();
  ~JExtTable();
  JExtTable(const JExtTable&) = delete;
  JExtTable& operator=(const JExtTable&) = delete;
  // Sets the value of the JExtProperty with id, appending a new one when there is none (a null
  // entry when memory for it is short).
  void AddExtProperty(const Class_ID& id, int value);
  // 1 when a JExtProperty with id exists, storing its value through value (when not null);
  // otherwise 0, storing 0.
  int FindExtProperty(const Class_ID& id, int* value);
  int Count() { return tab.Count(); }

 private:
  Tab<JDeletable*> tab;
};
