#include "kalvo/ui/CKeyHelper.h"

namespace kalvo {

QString CKeyHelper::KeyName(std::uint16_t vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) {
        return QString(QChar(vk));
    }
    if (vk >= 0x70 && vk <= 0x87) {  // F1 .. F24
        return QStringLiteral("F%1").arg(vk - 0x70 + 1);
    }
    if (vk >= 0x60 && vk <= 0x69) {  // numeric keypad digits
        return QStringLiteral("Num %1").arg(vk - 0x60);
    }
    switch (vk) {
        case 0x08:
            return QStringLiteral("Backspace");
        case 0x09:
            return QStringLiteral("Tab");
        case 0x0D:
            return QStringLiteral("Enter");
        case 0x13:
            return QStringLiteral("Pause");
        case 0x14:
            return QStringLiteral("Caps Lock");
        case 0x1B:
            return QStringLiteral("Esc");
        case 0x20:
            return QStringLiteral("Space");
        case 0x21:
            return QStringLiteral("Page Up");
        case 0x22:
            return QStringLiteral("Page Down");
        case 0x23:
            return QStringLiteral("End");
        case 0x24:
            return QStringLiteral("Home");
        case 0x25:
            return QStringLiteral("Left");
        case 0x26:
            return QStringLiteral("Up");
        case 0x27:
            return QStringLiteral("Right");
        case 0x28:
            return QStringLiteral("Down");
        case 0x2C:
            return QStringLiteral("Print Screen");
        case 0x2D:
            return QStringLiteral("Insert");
        case 0x2E:
            return QStringLiteral("Delete");
        case 0x6A:
            return QStringLiteral("Num *");
        case 0x6B:
            return QStringLiteral("Num +");
        case 0x6D:
            return QStringLiteral("Num -");
        case 0x6E:
            return QStringLiteral("Num Del");
        case 0x6F:
            return QStringLiteral("Num /");
        case 0x90:
            return QStringLiteral("Num Lock");
        case 0x91:
            return QStringLiteral("Scroll Lock");
        case 0xBA:
            return QStringLiteral(";");
        case 0xBB:
            return QStringLiteral("=");
        case 0xBC:
            return QStringLiteral(",");
        case 0xBD:
            return QStringLiteral("-");
        case 0xBE:
            return QStringLiteral(".");
        case 0xBF:
            return QStringLiteral("/");
        case 0xC0:
            return QStringLiteral("`");
        case 0xDB:
            return QStringLiteral("[");
        case 0xDC:
            return QStringLiteral("\\");
        case 0xDD:
            return QStringLiteral("]");
        case 0xDE:
            return QStringLiteral("'");
        default:
            return {};
    }
}

void CKeyHelper::Format(QString& text) const {
    text.clear();
    if (m_pAccel == nullptr) {
        return;
    }
    if (m_pAccel->fVirt & FCONTROL) {
        text += QStringLiteral("Ctrl+");
    }
    if (m_pAccel->fVirt & FSHIFT) {
        text += QStringLiteral("Shift+");
    }
    if (m_pAccel->fVirt & FALT) {
        text += QStringLiteral("Alt+");
    }
    if (m_pAccel->fVirt & FVIRTKEY) {
        text += KeyName(m_pAccel->key);
    } else if (m_pAccel->key != 27 && m_pAccel->key != 0) {
        text += QChar(m_pAccel->key);
    }
}

}  // namespace kalvo
