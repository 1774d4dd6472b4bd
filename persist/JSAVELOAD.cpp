// Reference makers to blocks and settings files and back; swapping reference targets.
#include "JFileDlg.h"
#include "JSaveLoad.h"
#include "JSaveInternal.h"

#include <stdio.h>

JMemBlock* SaveRefMaker(ReferenceMaker* rm) {
  JSave save(rm);
  return save.TakeOutput();
}

ReferenceMaker* LoadRefMaker(JMemBlock* block) {
  if (!block || !block->Data()) return nullptr;
  JLoad load(block->Data(), block->Size());
  return static_cast<ReferenceMaker*>(load.GetAddr(0));
}

ReferenceMaker* LoadRefMaker(char* data) {
  if (!data) return nullptr;
  JLoad load(data);
  return static_cast<ReferenceMaker*>(load.GetAddr(0));
}

int SaveRefMaker(ReferenceMaker* rm, const char* path) {
  FILE* f = path ? fopen(path, "wb") : nullptr;
  if (!f) return 0;
  JMemBlock* block = SaveRefMaker(rm);
  if (!block || !block->Size()) {
    fclose(f);
    if (block) block->DeleteThis();
    return 0;
  }
  fwrite(block->Data(), 1, block->Size(), f);
  fclose(f);
  block->DeleteThis();
  return 1;
}

ReferenceMaker* LoadRefMakerFromFile(const char* path) {
  FILE* f = path ? fopen(path, "rb") : nullptr;
  if (!f) return nullptr;
  fseek(f, 0, SEEK_END);
  long size = ftell(f);
  fseek(f, 0, SEEK_SET);
  JMemBlock* block = size > 0 ? new JMemBlock : nullptr;
  if (!block || !block->Alloc((unsigned int)size)) {
    fclose(f);
    if (block) block->DeleteThis();
    return nullptr;
  }
  size_t got = fread(block->Data(), 1, (size_t)size, f);
  fclose(f);
  // A file that shrank under us is read as far as it goes.
  if (got < (size_t)size) block->Alloc((unsigned int)got);
  ReferenceMaker* rm = got ? LoadRefMaker(block) : nullptr;
  block->DeleteThis();
  return rm;
}

int SaveRefMaker(ReferenceMaker* rm, HWND owner, const char* title, char* path, const char* filter,
                 const char* defExt) {
  char own[260] = "";
  char* name = path ? path : own;
  if (!GetOFN(title, owner, name, nullptr, filter, defExt, 0)) return 0;
  return SaveRefMaker(rm, name);
}

ReferenceMaker* LoadRefMaker(HWND owner, const char* title, char* path, const char* filter, const char* defExt) {
  char own[260] = "";
  char* name = path ? path : own;
  if (!GetOFN(title, owner, name, nullptr, filter, defExt, 1)) return nullptr;
  return LoadRefMakerFromFile(name);
}

int JReplaceReference(ReferenceTarget* oldTarget, ReferenceTarget* newTarget, int deleteOld) {
  // A target in place of itself changes nothing; the host answers such a replacement with success
  // at once, and the walk below would find the same slot for ever.
  if (!oldTarget || oldTarget == newTarget) return 0;
  int replaced = 0;
  DependentIterator it(oldTarget);
  while (ReferenceMaker* maker = it.Next()) {
    // A maker may hold oldTarget in several slots.
    for (int i = maker->FindRef(oldTarget); i >= 0; i = maker->FindRef(oldTarget)) {
      // With delete-old the last replacement may delete oldTarget: it is not looked at again.
      bool last = oldTarget->NumDependents() == 1;
      if (maker->ReplaceReference(i, newTarget, deleteOld) != REF_SUCCEED) break;
      replaced++;
      if (last) return replaced;
    }
  }
  return replaced;
}

int JReplaceReference(ILoad* iload, ReferenceTarget* oldTarget, ReferenceTarget* newTarget, int deleteOld) {
  if (oldTarget == newTarget) return 0;  // and the root must not be deleted as its own old self
  if (iload && oldTarget && iload->GetRootAddr() == static_cast<ReferenceMaker*>(oldTarget)) {
    iload->SetRootAddr(static_cast<ReferenceMaker*>(newTarget));
    // Not at once: the loader restores the references of every object after all their Loads, the
    // old root's among them. When the deletion cannot be arranged, the old root is left alive
    // rather than deleted under the loader.
    if (deleteOld) jsave::DeleteAfterLoad(iload, oldTarget);
    return 1;
  }
  return JReplaceReference(oldTarget, newTarget, deleteOld);
}
