#pragma once
// The colour dialog of the toolbar's colour button: starts on the current pen
// colour with the custom colours shown, and opens at the colour button, kept
// on the screen.

#include <QColorDialog>
#include <QRect>

#include <optional>

#include "kalvo/core/ColorRef.h"

namespace kalvo {

class CMYCOLORDLG final : public QColorDialog {
    Q_OBJECT
public:
    // toolbarRect: the toolbar's window rectangle on the screen; buttonRect:
    // the colour button in the toolbar's coordinates.
    CMYCOLORDLG(COLORREF initial, QRect toolbarRect, QRect buttonRect, QWidget* parent = nullptr);

    // Runs the dialog; the chosen colour on OK, nothing on cancel.
    [[nodiscard]] static std::optional<COLORREF> ChooseColor(COLORREF current, QRect toolbarRect,
                                                             QRect buttonRect,
                                                             QWidget* parent = nullptr);

    [[nodiscard]] COLORREF chosenColorRef() const;

    // Where the dialog must stay: the toolbar's monitor without its panels.
    [[nodiscard]] QRect screenArea() const;

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void place(bool always = false);

    QRect m_toolbarRect;
    QRect m_buttonRect;
    // From showing until the window is first painted, framed by the window
    // manager: its frame is known only then.
    bool m_placing = false;
};

}  // namespace kalvo
