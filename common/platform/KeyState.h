#pragma once
// Asynchronous key state with the meaning of the classic query: non-zero when
// the key is down now or was pressed since the previous query of that key.

#include <map>
#include <mutex>

namespace common {

inline constexpr int VK_ESCAPE_KEY = 27;
inline constexpr int VK_PRIOR_KEY = 0x21;  // Page Up
inline constexpr int VK_NEXT_KEY = 0x22;   // Page Down
inline constexpr int VK_F13_KEY = 0x7C;

class KeyState {
public:
    virtual ~KeyState() = default;
    [[nodiscard]] virtual int asyncKeyState(int vk) = 0;
};

// Keys set by a test or a simulator: down() holds a key, tap() latches one
// press that the next query reports once.
class ScriptedKeyState final : public KeyState {
public:
    void setDown(int vk, bool down) {
        std::lock_guard lock(mutex_);
        auto& k = keys_[vk];
        if (down && !k.down) {
            k.latched = true;
        }
        k.down = down;
    }
    void tap(int vk) {
        std::lock_guard lock(mutex_);
        keys_[vk].latched = true;
    }
    int asyncKeyState(int vk) override {
        std::lock_guard lock(mutex_);
        auto& k = keys_[vk];
        int result = k.down ? 0x8000 : (k.latched ? 1 : 0);
        k.latched = false;
        return result;
    }

private:
    struct Key {
        bool down = false;
        bool latched = false;
    };
    std::mutex mutex_;
    std::map<int, Key> keys_;
};

}  // namespace common
