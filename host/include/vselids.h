// Control ids of the host's select-by-name dialog, for scripted use and tests. Kept apart from
// vscene.h so that resource scripts can include them.
#pragma once

#define HITBYNAME_LIST 1001    // the list of nodes
#define HITBYNAME_FIND 1002    // typing a name's beginning selects the nodes whose names match
#define HITBYNAME_ALL 1003     // selects every listed node (several-node dialogs only)
#define HITBYNAME_NONE 1004    // clears the selection
#define HITBYNAME_INVERT 1005  // selects the unselected nodes and clears the others (several only)
#define HITBYNAME_COUNT 1006   // "n of m selected"
