#pragma once
// Where the colour dialog opens: at the colour button of the floating
// toolbar, pushed back onto the screen at the right and the bottom.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kalvo {

// toolbarRect: the toolbar control's window rectangle in screen coordinates;
// buttonRect: the colour button in the toolbar's client coordinates;
// dialogSize: the dialog with its window manager's frame; screen: the area
// the dialog must stay in (the toolbar's monitor without panels). The left
// edge is kept on the screen; the top edge has no lower bound, so a dialog
// taller than the screen keeps its bottom on the screen's bottom edge.
[[nodiscard]] QPoint PlaceColorDialog(const QRect& toolbarRect, const QRect& buttonRect,
                                      const QSize& dialogSize, const QRect& screen);

}  // namespace kalvo
