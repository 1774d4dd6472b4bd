// The host's default implementations of the optional slots of its plug-in interfaces.
#include "vcore.h"

ClassDesc::~ClassDesc() = default;
BOOL ClassDesc::OkToCreate(Interface*) { return TRUE; }
const char* ClassDesc::InternalName() { return ClassName(); }
DWORD ClassDesc::Version() { return 1; }
void ClassDesc::ResetClassParams(BOOL) {}
BOOL ClassDesc::NeedsToSave() { return FALSE; }
IOResult ClassDesc::Save(ISave*) { return IO_OK; }
IOResult ClassDesc::Load(ILoad*) { return IO_OK; }

ISave::~ISave() = default;
int ISave::DoingWhat() { return 0; }
DWORD ISave::SavingVersion() { return 0; }

PostLoadCallback::~PostLoadCallback() = default;
int PostLoadCallback::Priority() { return 5; }

ILoad::~ILoad() = default;
const char* ILoad::GetDir(int which) { return GetCOREInterface()->GetDir(which); }
INode* ILoad::RootNode() { return GetCOREInterface()->GetRootNode(); }
void ILoad::SetObsolete() {}
int ILoad::DoingWhat() { return 0; }
