// The script language's own functions: texts, random numbers and elements.
#pragma once
#include <cstdint>

#include "script/interp.h"

#include "runtime.h"

namespace RUNTIME_NS {

int ActAppendText(ScriptContext*, const uint8_t*);
int ActAppendTextLine(ScriptContext*, const uint8_t*);
int ActMainText(ScriptContext*, const uint8_t*);
int ActSubText(ScriptContext*, const uint8_t*);
int ActRandom(ScriptContext*, const uint8_t*);
int ActGetElement(ScriptContext*, const uint8_t*);

}  // namespace RUNTIME_NS
