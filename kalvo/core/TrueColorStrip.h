#pragma once
// Cuts a strip of button images into single images, with the strip's mask
// colour made transparent.

#include <QColor>
#include <QImage>

#include <vector>

namespace kalvo {

// The mask colour: the strip's bottom-left pixel (the first pixel stored in a
// bottom-up bitmap file). Invalid for an empty image.
[[nodiscard]] QColor stripMaskColor(const QImage& strip);

// strip.width() / buttonWidth images of buttonWidth x strip.height(), in
// order, every pixel of the mask colour fully transparent (also inside an
// icon). Empty when the strip is empty or narrower than one button.
[[nodiscard]] std::vector<QImage> splitTrueColorStrip(const QImage& strip, int buttonWidth);

}  // namespace kalvo
