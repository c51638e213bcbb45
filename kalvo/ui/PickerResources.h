#pragma once
// The pickers' pictures by resource number: width icons 222..227, heading 229,
// eraser picture 159, and the tool cursors 165 (pen), 233 (eraser) and 168
// (eraser pressed) with their hot spots.

#include <QCursor>
#include <QImage>
#include <QPixmap>
#include <QString>

namespace kalvo {

// ":/pickers/icon<id>.png", ":/pickers/bitmap<id>.png" or ":/pickers/cursor<id>.png";
// empty for a number that is not one of ours.
[[nodiscard]] QString pickerResourcePath(int id);

[[nodiscard]] QImage pickerImage(int id);    // null when unknown
[[nodiscard]] QPixmap pickerPixmap(int id);  // null when unknown

// Cursor 165, 168 or 233 with its hot spot; the arrow for any other number.
[[nodiscard]] QCursor pickerCursor(int id);
[[nodiscard]] QPoint pickerCursorHotSpot(int id);

}  // namespace kalvo
