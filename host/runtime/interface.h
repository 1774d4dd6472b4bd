// Parts of the interface object shared by the runtime's own files.
#pragma once

#include "vscene.h"

// Makes root the scene root; the former root is deleted.
void SetSceneRoot(INode* root);

// The select-by-name dialog over the nodes below root.
BOOL RunHitByNameDialog(HitByNameDlgCallback* cb, INode* root);
