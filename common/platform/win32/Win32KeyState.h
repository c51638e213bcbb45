#pragma once
// The system's own asynchronous key state (GetAsyncKeyState): bit 15 while the
// key is down, bit 0 when it was pressed since the previous query.

#include "common/platform/KeyState.h"

namespace common {

class Win32KeyState final : public KeyState {
public:
    int asyncKeyState(int vk) override;
};

}  // namespace common
