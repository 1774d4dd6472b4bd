// A button that lets the user pick scene objects by name through the host's select-by-name
// dialog; the chosen names are stored in the bound data and shown in a text control.
#pragma once

#include "JMemBlock.h"
#include "JViewCtl.h"
#include "vscene.h"

// What the host's select-by-name dialog asks while the user picks: the title, single or multiple
// selection, which nodes start selected (those named in the list), and where the choice goes (the
// list, replaced by the chosen nodes' names in order). Copies deeply, as its title block.
class QUORAPI HitByName : public HitByNameDlgCallback {
 public:
  // names receives the choice and must outlive the dialog; the title is copied.
  HitByName(JSZList* names, const char* title, int single);
  virtual ~HitByName();
  const char* dialogTitle() override;
  const char* buttonText() override;     // the library's "OK"
  BOOL singleSelect() override;
  BOOL useFilter() override;             // 0
  int filter(INode* node) override;      // 1: every node may be chosen
  BOOL useProc() override;               // 1
  void proc(INodeTab& nodeTab) override;
  BOOL doCustomHilite() override;        // 1
  BOOL doHilite(INode* node) override;   // the node's name is in the list (case-sensitive)
  BOOL showHiddenAndFrozen() override;   // 0

 protected:
  JSZList* names;
  JMemBlock title;
  int single;
};

// Binds a JBinaryData (or any data whose value is a JSZList) holding object names. Not copyable,
// as a view.
class QUORAPI JHitByNameButton : public JViewLeaf {
 public:
  static const int kMultiple = 1;  // mode bit: several objects may be chosen

  // data is required (asserted, null result). mode: kMultiple or 0; title: the dialog's title,
  // null for "Select Object" or "Select Objects"; idText: the text control that shows the names
  // (-1: the button itself); format: a printf format with one %s for the label, null for "%s".
  // title and format are kept, not copied.
  static JHitByNameButton* Create(JData* data, int idButton, int mode, const char* title, int idText,
                                  const char* format);

  int Init(int t) override;   // 1
  void DeleteThis() override;
  int Own(int id) override;   // the button
  int Valid(int t) override;  // 0
  // A click: opens the select-by-name dialog; a confirmed choice is written at t and shown.
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  // Shows "<None>", the only name, or the first name followed by "..." through the label format.
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

 protected:
  JHitByNameButton() = default;
  void ReadNames(int t, JSZList& names);
  int idButton = 0;
  int mode = 0;                   // bit 0: multiple
  const char* title = nullptr;    // null: the library's default
  int idText = 0;                 // where the names are shown
  const char* format = nullptr;   // null: "%s"
};
