// The chunk stream: a reference maker and everything it references, written to a memory block
// and read back. Each object saves and loads its own contents through the ordinary Save and Load
// calls, so any host reference target travels through this format.
#pragma once

#include "JClassDesc.h"
#include "JMemBlock.h"
#include "vantor.h"

// Writes one reference maker with everything it references into a block. Constructing it
// performs the whole save; the status and the output tell the result. Not copyable: it owns its
// output and index.
class QUORAPI JSave : public ISave {
 public:
  explicit JSave(ReferenceMaker* root);
  ~JSave() override;
  JSave(const JSave&) = delete;
  JSave& operator=(const JSave&) = delete;

  IOResult Init(IOResult start);       // resets the writer; 0 also writes the root header
  IOResult Save(ReferenceMaker* root);  // IO_ERROR for a null root
  IOResult Finit();                     // writes the object table
  IOResult Status() { return status; }
  // Hands the output over to the caller (who releases it with DeleteThis); null after an error.
  JMemBlock* TakeOutput();

  int GetRefID(void* p) override;
  void BeginChunk(USHORT id) override;
  void EndChunk() override;
  int CurChunkDepth() override;
  IOResult Write(const void* buf, ULONG n, ULONG* written) override;
  // Appends bytes (headers too) to the current chunk; when the output cannot grow to hold them,
  // the save ends with the error.
  IOResult WriteAny(const void* buf, ULONG n, ULONG* written);
  IOResult WriteWString(const char* s) override;
  IOResult WriteWString(const wchar_t* s) override;
  IOResult WriteCString(const char* s) override;
  IOResult WriteCString(const wchar_t* s) override;
  int DoingWhat() override;

 private:
  uint16_t TypeAt(uint32_t offset);
  void SetTypeAt(uint32_t offset, uint16_t type);
  uint32_t LengthAt(uint32_t offset);
  void SetLengthAt(uint32_t offset, uint32_t length);

  JMemBlock* out;
  uint32_t position;
  IOResult status;
  int depth;
  uint32_t current;
  Tab<uint32_t> open;
  Tab<void*> objects;
  void* index;  // object pointer -> object index, so that GetRefID stays fast on large graphs
};

// Recreates a graph written by JSave. Constructing it performs the whole load; GetAddr(0) is the
// saved root, or null after an error (when every object created on the way is deleted again).
// Not copyable: it owns its callbacks and the objects of a failed load.
class QUORAPI JLoad : public ILoad {
 public:
  // The stream's extent is its root header's length plus 8.
  explicit JLoad(char* data);
  // Reads at most size bytes from data.
  JLoad(char* data, unsigned int size);
  ~JLoad() override;
  JLoad(const JLoad&) = delete;
  JLoad& operator=(const JLoad&) = delete;

  IOResult Init(char* data);
  IOResult Finit();
  IOResult Status() { return status; }
  int NumObjects() { return objects.Count(); }

  void* GetAddr(int id) override;
  IOResult OpenChunk() override;
  USHORT CurChunkID() override;
  ChunkType CurChunkType() override;
  ULONG CurChunkLength() override;
  int CurChunkDepth() override;
  IOResult CloseChunk() override;
  USHORT PeekNextChunkID() override;
  IOResult Read(void* buf, ULONG n, ULONG* nread) override;
  IOResult ReadWStringChunk(char** out) override;
  IOResult ReadWStringChunk(wchar_t** out) override;
  IOResult ReadCStringChunk(char** out) override;
  IOResult ReadCStringChunk(wchar_t** out) override;
  void RecordBackpatch(int id, void** patch, ULONG partID = 0) override;
  void SetRootAddr(void* addr) override;
  void* GetRootAddr() override;
  void SetObsolete() override;
  void RegisterPostLoadCallback(PostLoadCallback* cb) override;
  // Registers cb ahead of every callback registered so far.
  void Register_Ref_LoadCallback(PostLoadCallback* cb);
  void PostLoadCall();
  const char* GetDir(int which) override;
  INode* RootNode() override;
  int DoingWhat() override;
  int Obsolete() { return obsolete; }

 private:
  void Start(char* data, const char* end);
  IOResult Fail();
  const char* ChunkEnd(const char* header);
  uint16_t TypeOf(const char* header);
  uint32_t LengthOf(const char* header);
  IOResult ReadEntry();
  void DiscardObjects();
  void DropOwnCallbacks();

  char* data;
  const char* current;
  const char* next;
  IOResult status;
  int depth;
  Tab<const char*> open;
  Tab<ReferenceMaker*> objects;
  void* root;
  int obsolete;
  JMemBlock text;
  // Callbacks registered in front run first, the last registered first; then the others in order.
  Tab<PostLoadCallback*> frontCallbacks;
  Tab<PostLoadCallback*> callbacks;
  Tab<PostLoadCallback*> owned;  // the reader's own callbacks, released if they never run
  const char* end;                // one past the last byte the reader may touch
};

// Restores the references of one loaded object once every object exists. Not copyable: it owns
// its ids.
class QUORAPI MRefPostLoadCallback : public PostLoadCallback {
 public:
  // Takes ids (count object indices, allocated with malloc) over.
  MRefPostLoadCallback(ReferenceMaker* maker, int count, uint32_t* ids);
  ~MRefPostLoadCallback() override;
  MRefPostLoadCallback(const MRefPostLoadCallback&) = delete;
  MRefPostLoadCallback& operator=(const MRefPostLoadCallback&) = delete;
  void proc(ILoad* iload) override;

 private:
  ReferenceMaker* maker;
  int count;
  uint32_t* ids;
};

// Stores the address of a loaded object through a pointer once every object exists.
class QUORAPI BackpatchCallback : public PostLoadCallback {
 public:
  BackpatchCallback(int id, void** target) : id(id), target(target) {}
  void proc(ILoad* iload) override;

 private:
  int id;
  void** target;
};
