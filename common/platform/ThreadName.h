#pragma once
// Names the calling thread, so that top -H, ps and a debugger show what each
// thread of a program does. Linux keeps at most 15 characters; elsewhere the
// name is not set.

namespace common {

void nameThisThread(const char* name);

}  // namespace common
