#include "common/platform/UinputKeyboard.h"

#include <algorithm>

#include "common/platform/EvdevKeys.h"
#include "common/platform/KeyState.h"

namespace common {

UinputSpec UinputKeyboard::deviceSpec() {
    UinputSpec spec;
    spec.name = "Kalvo page keys";
    spec.keys = {evdevKeyForVk(VK_PRIOR_KEY), evdevKeyForVk(VK_NEXT_KEY)};
    return spec;
}

std::unique_ptr<UinputKeyboard> UinputKeyboard::create(int fd, UinputIoctl ioctl,
                                                       std::string& problem) {
    std::unique_ptr<UinputDevice> device =
        UinputDevice::create(fd, deviceSpec(), std::move(ioctl), problem);
    if (!device) {
        return nullptr;
    }
    return std::unique_ptr<UinputKeyboard>(new UinputKeyboard(std::move(device)));
}

bool UinputKeyboard::tapKey(int vk) {
    const int code = evdevKeyForVk(vk);
    const std::vector<int> keys = deviceSpec().keys;
    if (code == 0 || std::find(keys.begin(), keys.end(), code) == keys.end()) {
        return false;
    }
    const input_event events[] = {
        inputEvent(EV_KEY, code, 1),
        inputEvent(EV_SYN, SYN_REPORT, 0),
        inputEvent(EV_KEY, code, 0),
        inputEvent(EV_SYN, SYN_REPORT, 0),
    };
    return device_->write(events);
}

}  // namespace common
