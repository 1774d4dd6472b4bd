#include "boxes.h"

#include "TestSupport.h"

#include <stdio.h>

const Class_ID Box::kID(0x7E57B0C5, 1);
std::vector<std::string> Box::events;

namespace {
JClassDesc<Box, ReferenceTargetRTTI> boxDesc(0, "Box", 0x200, Box::kID, "");

// Records, after the load, whether the box's references were already restored.
struct BoxLoaded : PostLoadCallback {
  explicit BoxLoaded(Box* b) : box(b) {}
  void proc(ILoad*) override {
    char line[64];
    snprintf(line, sizeof line, "post %d refs %s", box->value,
             box->NumRefs() && box->GetReference(0) ? "set" : "unset");
    Box::events.push_back(line);
    delete this;
  }
  Box* box;
};
}  // namespace

Box* NewBox(int n, int value) {
  Box* b = JCreateRegistered<Box>(0x200, Box::kID);
  b->Slots(n);
  b->value = value;
  return b;
}

std::vector<unsigned char> SavedBytes(ReferenceMaker* rm) {
  JMemBlock* block = SaveRefMaker(rm);
  if (!block) return {};
  std::vector<unsigned char> bytes(block->Data(), block->Data() + block->Size());
  block->DeleteThis();
  return bytes;
}

bool BreakLastBox(std::vector<unsigned char>& bytes) {
  size_t record = 0;  // a class record: class id, super class id, then the number of references
  for (size_t at = 0; at + 12 <= bytes.size(); at++)
    if (quortest::U32(bytes, at) == Box::kID.PartA() && quortest::U32(bytes, at + 4) == Box::kID.PartB() &&
        quortest::U32(bytes, at + 8) == REF_TARGET_CLASS_ID)
      record = at;
  if (record) bytes[record + 12] = 5;
  return record != 0;
}

IOResult Box::Save(ISave* isave) {
  if (writeNothing) return IO_OK;
  const int head[2] = {value, NumRefs()};  // little-endian, as the stream is
  isave->BeginChunk(10);
  if (isave->Write(head, 8, nullptr) != IO_OK) return IO_ERROR;
  isave->EndChunk();
  isave->BeginChunk(11);
  IOResult r = isave->WriteCString(text.c_str());
  isave->EndChunk();
  return r;
}

IOResult Box::Load(ILoad* iload) {
  IOResult r;
  while ((r = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == 10) {
      int head[2];
      ULONG got = 0;
      if (iload->Read(head, 8, &got) != IO_OK || got != 8 || (unsigned)head[1] > 64) return IO_ERROR;
      value = head[0];
      Slots(head[1]);
    } else if (iload->CurChunkID() == 11) {
      char* s = nullptr;
      if (iload->ReadCStringChunk(&s) != IO_OK) return IO_ERROR;
      text = s;
    }
    iload->CloseChunk();
  }
  events.push_back("load " + std::to_string(value));
  iload->RegisterPostLoadCallback(new BoxLoaded(this));
  return r == IO_END ? IO_OK : IO_ERROR;
}

RefTargetHandle Box::Clone(RemapDir& remap) {
  Box* b = NewBox(NumRefs(), value);
  b->text = text;
  for (int i = 0; i < NumRefs(); i++)
    if (refs[i]) b->ReplaceReference(i, remap.CloneRef(refs[i]), TRUE);
  BaseClone(this, b, remap);
  return b;
}
