// Companions: familiars, animal companions, a paladin's mount and a fiendish servant,
// built as monsters of their own through the creation driver and adjusted to their master.
#pragma once

#include "generator/char.h"

#include "runtime.h"

namespace RUNTIME_NS {

// Familiar, animal companions, mount and servant, in this order.
void DoCompanions(Char* c);
// The familiar has at least half its master's hit points: called once they are final
// and whenever they change.
void FamiliarHitPoints(Char* master);

// Raises a field to the master's value; the difference goes to *counter (when given).
int RaiseToMaster(int32_t* field, int32_t master, int32_t* counter);

// Strength up by n; natural attacks follow the modifier.
void RaiseStrength(Char* c, int n);

}  // namespace RUNTIME_NS
