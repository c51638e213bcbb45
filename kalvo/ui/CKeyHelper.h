#pragma once
// Formats an accelerator entry as menu text: "Ctrl+Shift+Alt+" and the key.

#include <QString>

#include <cstdint>

namespace kalvo {

// An accelerator table entry: flags, key (virtual-key code or character) and command.
struct ACCEL {
    std::uint8_t fVirt = 0;
    std::uint16_t key = 0;
    std::uint16_t cmd = 0;
};

inline constexpr std::uint8_t FVIRTKEY = 0x01;
inline constexpr std::uint8_t FSHIFT = 0x04;
inline constexpr std::uint8_t FCONTROL = 0x08;
inline constexpr std::uint8_t FALT = 0x10;

class CKeyHelper {
public:
    explicit CKeyHelper(const ACCEL* accel) : m_pAccel(accel) {}

    // Replaces `text` with the entry's text; empty without an entry.
    void Format(QString& text) const;

    // The name of a virtual-key code ("Enter", "F5", "A"); empty when unknown.
    [[nodiscard]] static QString KeyName(std::uint16_t virtualKey);

private:
    const ACCEL* m_pAccel;
};

}  // namespace kalvo
