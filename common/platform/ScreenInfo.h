#pragma once
// Size of the primary screen in pixels.

namespace common {

struct ScreenSize {
    int width = 0;
    int height = 0;
};

class ScreenInfo {
public:
    virtual ~ScreenInfo() = default;
    [[nodiscard]] virtual ScreenSize primarySize() const = 0;
};

class FixedScreenInfo final : public ScreenInfo {
public:
    explicit FixedScreenInfo(ScreenSize size) : size_(size) {}
    ScreenSize primarySize() const override { return size_; }

private:
    ScreenSize size_;
};

}  // namespace common
