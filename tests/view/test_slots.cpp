// The order of the virtual operations in the tables of the library's bases. A client plug-in
// calls through these tables, so an operation that moves to another slot breaks every plug-in
// built against the headers before. Under the Itanium C++ ABI of the MinGW compilers a pointer
// to a virtual member function holds one plus the operation's byte offset in its table, so the
// slot can be read without an object.
#include "Quorlib.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

namespace {

const int kNotVirtual = -1;
// A virtual destructor takes two slots (complete and deleting).
const int kDestructorSlots = 2;
// The view control's operations, Init to InitBypassCtl; its destructor follows them.
const int kViewCtlOperations = 13;

// The slot of a virtual member function, or kNotVirtual.
template <class Member>
int SlotOf(Member m) {
  static_assert(sizeof(Member) == 2 * sizeof(uintptr_t), "a pointer and an adjustment");
  uintptr_t raw[2];
  memcpy(raw, &m, sizeof raw);
  if ((raw[0] & 1) == 0) return kNotVirtual;
  return (int)((raw[0] - 1) / sizeof(void*));
}

// Reaches the protected operations of the bases (never instantiated).
struct DialogSlots : JViewDlgBase {
  static int RegisterCBSlot() { return SlotOf(&DialogSlots::RegisterCB); }
};
struct ImageListSlots : JImageListView {
  static int OnPaintSlot() { return SlotOf(&ImageListSlots::OnPaint); }
};

}  // namespace

TEST(VirtualSlots, ViewControlOperationsComeFirstInTheirOrder) {
  EXPECT_EQ(SlotOf(&JViewCtl::Init), 0);
  EXPECT_EQ(SlotOf(&JViewCtl::Destroy), 1);
  EXPECT_EQ(SlotOf(&JViewCtl::DeleteThis), 2);
  EXPECT_EQ(SlotOf(&JViewCtl::Set), 3);
  EXPECT_EQ(SlotOf(&JViewCtl::Own), 4);
  EXPECT_EQ(SlotOf(&JViewCtl::Valid), 5);
  EXPECT_EQ(SlotOf(&JViewCtl::UpdateData), 6);
  EXPECT_EQ(SlotOf(&JViewCtl::UpdateBypassTreeData), 7);
  EXPECT_EQ(SlotOf(static_cast<void (JViewCtl::*)(ReferenceTarget*)>(&JViewCtl::UpdateView)), 8);
  EXPECT_EQ(SlotOf(static_cast<void (JViewCtl::*)(int, ReferenceTarget*)>(&JViewCtl::UpdateView)), 9);
  EXPECT_EQ(SlotOf(static_cast<void (JViewCtl::*)(int)>(&JViewCtl::UpdateBypassTreeView)), 10);
  EXPECT_EQ(SlotOf(&JViewCtl::Activate), 11);
  EXPECT_EQ(SlotOf(&JViewCtl::InitBypassCtl), kViewCtlOperations - 1);
  EXPECT_EQ(SlotOf(&JViewCtl::Parent), kNotVirtual);
  // A window view's own operation comes right after them and the destructor.
  EXPECT_EQ(ImageListSlots::OnPaintSlot(), kViewCtlOperations + kDestructorSlots);
}

TEST(VirtualSlots, WindowAndDialogObjectsStartWithTheirProcedures) {
  EXPECT_EQ(SlotOf(&JWinProc::WinProc), 0);
  EXPECT_EQ(SlotOf(&JGradCtlLabel::WinProc), 0);

  EXPECT_EQ(SlotOf(&JDlgProc::DlgProc), 0);
  EXPECT_EQ(SlotOf(&JDlgProc::DeleteThis), 1);
  EXPECT_EQ(SlotOf(&JDlgProc::GetInstanceHandle), 2);
  EXPECT_EQ(SlotOf(&JDlgProc::IdDlg), 3);
  EXPECT_EQ(SlotOf(&JProgressDlg::IdDlg), 3);

  // A dialog's operations continue right after the dialog object's four.
  EXPECT_EQ(SlotOf(&JViewDlgBase::operator+=), 4);
  EXPECT_EQ(SlotOf(&JViewDlgBase::operator-=), 5);
  EXPECT_EQ(SlotOf(&JViewDlgBase::GetTime), 6);
  EXPECT_EQ(SlotOf(&JViewDlgBase::SetTime), 7);
  EXPECT_EQ(SlotOf(&JViewDlgBase::GetTimeLock), 8);
  EXPECT_EQ(SlotOf(&JViewDlgBase::SetTimeLock), 9);
  EXPECT_EQ(SlotOf(&JViewDlgBase::SetPlayAnimation), 10);
  EXPECT_EQ(SlotOf(&JViewDlgBase::GetPlayAnimation), 11);
  EXPECT_EQ(SlotOf(&JViewDlgBase::ActionName), 12);
  EXPECT_EQ(SlotOf(&JViewDlgBase::Destroy), 13);
  EXPECT_EQ(SlotOf(&JViewDlgBase::SwitchData), 14);
  EXPECT_EQ(SlotOf(&JViewDlgBase::PreInit), 15);
  EXPECT_EQ(SlotOf(&JViewDlgBase::PostInit), 16);
  EXPECT_EQ(SlotOf(&JViewDlgBase::Command), 17);
  EXPECT_EQ(SlotOf(&JViewDlgBase::Mouse), 18);
  EXPECT_EQ(SlotOf(static_cast<void (JViewDlgBase::*)(JBinaryData*)>(&JViewDlgBase::SetDlgTitle)), 19);
  EXPECT_EQ(SlotOf(static_cast<void (JViewDlgBase::*)(const char*)>(&JViewDlgBase::SetDlgTitle)), 20);
  EXPECT_EQ(SlotOf(&JViewDlgBase::DlgTitleMenu), 21);
  EXPECT_EQ(SlotOf(&JViewDlgBase::DlgTitleMessage), 22);
  EXPECT_EQ(DialogSlots::RegisterCBSlot(), 23);
}

TEST(VirtualSlots, BlockComparisonIsFirstAndCacheEntriesStartWithTheDestructor) {
  EXPECT_EQ(SlotOf(&JMemBlock::operator==), 0);
  EXPECT_EQ(SlotOf(&JSZList::operator==), 0);
  // The destructor's slots come ahead of the client's four.
  EXPECT_EQ(SlotOf(&JCacheEntry::SetKey), kDestructorSlots);
  EXPECT_EQ(SlotOf(&JCacheEntry::Evaluate), kDestructorSlots + 1);
  EXPECT_EQ(SlotOf(&JCacheEntry::Release), kDestructorSlots + 2);
  EXPECT_EQ(SlotOf(&JCacheEntry::Matches), kDestructorSlots + 3);
  EXPECT_EQ(SlotOf(&JCache::NewEntry), 0);
}

TEST(VirtualSlots, DataObjectsStartWithTheirDescriptorThenTheStatedOperations) {
  EXPECT_EQ(SlotOf(&JDataBase::GetCD), 0);
  EXPECT_EQ(SlotOf(&JDataBase::JNotifyDependents), 1);
  EXPECT_EQ(SlotOf(&JDataBase::SetName), 2);
  EXPECT_EQ(SlotOf(&JDataBase::GetName), 3);
  EXPECT_EQ(SlotOf(&JDataBase::GetValue), 4);
  EXPECT_EQ(SlotOf(&JDataBase::SetValue), 5);
  EXPECT_EQ(SlotOf(&JDataBase::IsAnimated), 6);
  EXPECT_EQ(SlotOf(&JDataBase::LoadResource), 7);
  EXPECT_EQ(SlotOf(&JDataBase::SetupResource), 8);
}
