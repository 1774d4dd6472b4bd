// Property lists, property ids and extension tables.
#include "MemStream.h"
#include "Quorlib.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string.h>

using quortest::U32;

namespace {
const Class_ID A(1, 2), B(3, 4), C(5, 6);

// Loads l from a chunk 7 whose contents fill writes. Whatever the result, the load must leave
// chunk 7 open and nothing inside it.
IOResult LoadFrom(JPropertyList& l, void (*fill)(quortest::MemSave&)) {
  quortest::MemSave s;
  s.BeginChunk(7);
  fill(s);
  s.EndChunk();
  quortest::MemLoad ld(s.Bytes());
  EXPECT_EQ(ld.OpenChunk(), IO_OK);
  int depth = ld.CurChunkDepth();
  IOResult r = l.Load(&ld);
  EXPECT_EQ(ld.CurChunkDepth(), depth) << "chunks opened by the load are closed again";
  return r;
}
}  // namespace

TEST(PropertyList, AddDelAndLookupMatchIdsOnBothParts) {
  JPropertyList l;
  EXPECT_EQ(l.Add(A, 7), 0);
  EXPECT_EQ(l.Add(A, 9), 1) << "the id was there";
  EXPECT_EQ(l.Value(A), 9u);
  EXPECT_EQ(l.Count(), 1);
  EXPECT_EQ(l.Value(B), 0u) << "an absent flag reads as off";
  for (Class_ID other : {Class_ID(1, 3), Class_ID(2, 2), Class_ID(2, 1)}) EXPECT_EQ(l.Exist(other), 0);
  l.Add(B, 2);
  EXPECT_EQ(l.Del(C), 0);
  EXPECT_EQ(l.Del(A), 1);
  EXPECT_EQ(l.Del(A), 0);
  EXPECT_EQ(l.Exist(A), 0);
  EXPECT_EQ(l.Value(B), 2u);
}

TEST(PropertyList, AssignmentCopiesRecordsInOrder) {
  JPropertyList a, b;
  a.Add(A, 1);
  a.Add(B, 2);
  b.Add(C, 3);
  b = a;
  EXPECT_EQ(b.Count(), 2);
  EXPECT_EQ(b.Exist(C), 0);
  a.Add(A, 100);
  EXPECT_EQ(b.Value(A), 1u) << "the copy is independent";
  // Same order: saving both writes the same bytes.
  a.Add(A, 1);
  quortest::MemSave sa, sb;
  a.Save(&sa);
  b.Save(&sb);
  EXPECT_EQ(sa.Bytes(), sb.Bytes());
}

TEST(PropertyList, SavesOneTwelveByteChunkPerRecordLittleEndian) {
  JPropertyList l;
  l.Add(Class_ID(0x11223344, 0x55667788), 0xA1B2C3D4);
  l.Add(JProp_DataBase_NumRefs(), 3);
  quortest::MemSave s;
  ASSERT_EQ(l.Save(&s), IO_OK);
  const std::vector<unsigned char>& b = s.Bytes();
  ASSERT_EQ(b.size(), 8u + 2 * 20);
  // First chunk: type 2 (data), id 1, length 12, then the record.
  EXPECT_EQ(b[8], 2);
  EXPECT_EQ(b[10], 1);
  EXPECT_EQ(U32(b, 12), 12u);
  const unsigned char rec[] = {0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55, 0xD4, 0xC3, 0xB2, 0xA1};
  EXPECT_EQ(memcmp(&b[16], rec, 12), 0);
  EXPECT_EQ(U32(b, 28 + 8), 0x00283FC9u);
  EXPECT_EQ(U32(b, 28 + 16), 3u);

  quortest::MemSave failing, empty;
  failing.FailWrites(true);
  EXPECT_EQ(l.Save(&failing), IO_ERROR);
  EXPECT_EQ(JPropertyList().Save(&empty), IO_OK);
  EXPECT_EQ(empty.Bytes().size(), 8u) << "an empty list writes nothing";
}

TEST(PropertyList, LoadMergesStoredRecordsSkipsOtherChunksAndFailsOnAShortRecordOrABrokenStream) {
  JPropertyList l;
  l.Add(B, 99);
  l.Add(C, 30);
  EXPECT_EQ(LoadFrom(l, [](quortest::MemSave& s) {
              s.BeginChunk(9);  // a foreign chunk among the records
              s.Write("junk", 4, nullptr);
              s.EndChunk();
              JPropertyList saved;
              saved.Add(A, 10);
              saved.Add(B, 20);
              saved.Save(&s);
            }),
            IO_OK);
  EXPECT_EQ(l.Value(A), 10u);
  EXPECT_EQ(l.Value(B), 20u) << "a stored id overwrites";
  EXPECT_EQ(l.Value(C), 30u) << "records not in the stream stay";
  EXPECT_EQ(l.Count(), 3);
  EXPECT_EQ(LoadFrom(l, [](quortest::MemSave&) {}), IO_OK);
  EXPECT_EQ(l.Count(), 3) << "an empty chunk changes nothing";

  JPropertyList fresh;
  EXPECT_EQ(LoadFrom(fresh, [](quortest::MemSave& s) {
              s.BeginChunk(1);
              s.Write("short", 5, nullptr);
              s.EndChunk();
            }),
            IO_ERROR);
  EXPECT_EQ(fresh.Count(), 0);
  // A data chunk cannot hold records: opening a chunk inside it fails.
  EXPECT_EQ(LoadFrom(fresh, [](quortest::MemSave& s) { s.Write("123456789", 9, nullptr); }), IO_ERROR);
}

TEST(PropertyIds, AreStableReferencesWithTheirValues) {
  struct {
    const Class_ID& (*f)();
    ULONG a, b;
  } ids[] = {{JProp_DataBase_BypassThis, 0x34DE6179, 0x7B853377},   {JProp_DataBase_BypassThisMask, 0x76E96B15, 0x2DDE73CA},
             {JProp_DataBase_BypassTree, 0x72B272DC, 0x599E09C6},   {JProp_DataBase_BypassTreeMask, 0x09F2166B, 0x65D727FD},
             {JProp_DataBase_NumRefs, 0x00283FC9, 0x6D151219},      {JProp_FltDlg_PreviewWidth, 0x59A6251A, 0x3C336A3B},
             {JProp_FltDlg_PreviewHeight, 0x77EC4E12, 0x1A0B1A11},  {JProp_FltDlg_PreviewAspect, 0x7ED5599C, 0x77A15DB8},
             {JProp_FltDlg_PreviewType, 0x40A0745A, 0x168E04FE},    {JProp_Wnd_NoCenter, 0x49566CF1, 0x13787D8A},
             {JProp_WndFlt_NoToolBar, 0x0EF62C09, 0x03AB0C69}};
  for (auto& id : ids) {
    EXPECT_EQ(id.f().PartA(), id.a);
    EXPECT_EQ(id.f().PartB(), id.b);
    EXPECT_EQ(&id.f(), &id.f()) << "one constant per id";
  }
}

TEST(ExtTable, AddReplacesAndFindReports) {
  JExtTable t;
  int v = -5;
  EXPECT_EQ(t.FindExtProperty(A, &v), 0);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(t.FindExtProperty(A, nullptr), 0);
  t.AddExtProperty(A, 4);
  t.AddExtProperty(B, -8);
  t.AddExtProperty(A, 6);
  EXPECT_EQ(t.Count(), 2);
  EXPECT_EQ(t.FindExtProperty(A, &v), 1);
  EXPECT_EQ(v, 6);
  EXPECT_EQ(t.FindExtProperty(B, &v), 1);
  EXPECT_EQ(v, -8);
  EXPECT_EQ(t.FindExtProperty(B, nullptr), 1);
  // A lone property is created and destroyed through the library.
  JExtProperty* p = JExtProperty::Create(C, 12);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->Value(), 12);
  p->DeleteMe();
}
