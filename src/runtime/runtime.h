// Everything under src/runtime is compiled five times, once per runtime, each time into
// the namespace RUNTIME_NS names; everything under src/process once. A runtime header
// includes this file, so that code built once cannot use it by mistake.
#pragma once

#ifndef RUNTIME_NS
#error "runtime code is compiled with -DRUNTIME_NS=<namespace>"
#endif
