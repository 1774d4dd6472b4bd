// Inside the library: what the reference swap needs of the chunk reader.
#pragma once

#include "vantor.h"

namespace jsave {

// Deletes target (host DeleteMe) through a post-load callback registered with iload, so that it
// goes after the reference callbacks, which may still name it; a JLoad that fails deletes it with
// the objects it created. Answers false when the callback cannot be made (target then stays).
bool DeleteAfterLoad(ILoad* iload, ReferenceTarget* target);

}  // namespace jsave
