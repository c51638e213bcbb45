#pragma once
// An owner-drawn popup menu in two looks: style 0 (raised and sunken icon
// frames) and style 2 (flat, an icon column, a framed selection). Items may be
// text with an icon, square icon-only buttons, separators, and a vertical side
// bar filled with a gradient and a rotated caption.

#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "kalvo/core/ColorRef.h"
#include "kalvo/core/QtColor.h"
#include "kalvo/ui/CKeyHelper.h"

class QPainter;

namespace kalvo {

// The system values the menu takes its defaults from. Fixed defaults keep
// drawing deterministic; systemDefaults() takes the font and the colours of
// the running application.
struct MenuXPMetrics {
    int checkMarkWidth = 15;
    int checkMarkHeight = 15;
    QFont menuFont;
    COLORREF menu = 0xF0F0F0;
    COLORREF highlight = 0xFF9933;  // red 51, green 153, blue 255
    COLORREF menuText = 0x000000;
    COLORREF highlightText = 0xFFFFFF;
    COLORREF grayText = 0x6D6D6D;
    COLORREF buttonHighlight = 0xFFFFFF;
    COLORREF buttonShadow = 0xA0A0A0;

    [[nodiscard]] static MenuXPMetrics systemDefaults();
};

class CMenuXPItem {
public:
    virtual ~CMenuXPItem() = default;

    int m_id = 0;
    bool m_isSeparator = false;
    bool m_isSideBar = false;
    bool m_isButton = false;
    QString m_text;   // a tab separates the right-aligned part
    QPixmap m_hIcon;  // null: no icon
    int m_size = 16;  // icon size; for a side bar, its width
};

class CMenuXPText : public CMenuXPItem {
public:
    CMenuXPText(int id, QString text, QPixmap icon = {});
};

class CMenuXPSideBar : public CMenuXPItem {
public:
    CMenuXPSideBar(int width, QString text, QPixmap icon = {}, int id = 0);
};

class CMenuXPButton : public CMenuXPItem {
public:
    CMenuXPButton(int id, QPixmap icon);
};

class CMenuXPSeparator : public CMenuXPItem {
public:
    CMenuXPSeparator() { m_isSeparator = true; }
};

// Menu item flags.
inline constexpr unsigned MF_GRAYED = 0x01;
inline constexpr unsigned MF_DISABLED = 0x02;
inline constexpr unsigned MF_CHECKED = 0x08;
inline constexpr unsigned MF_MENUBARBREAK = 0x20;
inline constexpr unsigned MF_MENUBREAK = 0x40;

enum class GradientDirection { Vertical, Horizontal, DiagonalDown, DiagonalUp };

class CMenuXP {
public:
    // What the owner-draw entry gets for one item.
    struct DrawItemStruct {
        const CMenuXPItem* item = nullptr;
        QRect rcItem;
        bool selected = false;
        bool disabled = false;
        bool checked = false;
        bool isDefault = false;
        QRect clipBox;  // the menu's client area
    };

    // Item rectangles in the popup's coordinates, in append order.
    struct Layout {
        QSize size;
        std::vector<QRect> itemRects;
        std::vector<int> dividers;  // x of column divider lines
    };

    static constexpr int kBorder = 3;  // frame around the items

    explicit CMenuXP(const MenuXPMetrics& metrics = MenuXPMetrics{});
    virtual ~CMenuXP();
    CMenuXP(const CMenuXP&) = delete;
    CMenuXP& operator=(const CMenuXP&) = delete;

    // The side bar cannot be chosen; the next item starts a new column.
    void AppendSideBar(std::unique_ptr<CMenuXPSideBar> item);
    // Appends an owner-drawn item; a non-empty accelerator text is added to
    // the item's text.
    void AppendOwnerItem(unsigned flags, std::unique_ptr<CMenuXPItem> item,
                         const ACCEL* accel = nullptr);
    void AppendSeparator() { AppendOwnerItem(0, std::make_unique<CMenuXPSeparator>()); }
    void SetDefaultItem(int id) { m_defaultId = id; }
    void SetBackgroundPicture(QImage picture) { m_hBackgroundBitmap = std::move(picture); }

    [[nodiscard]] int GetMenuItemCount() const { return static_cast<int>(m_entries.size()); }
    [[nodiscard]] const CMenuXPItem& GetItem(int index) const {
        return *m_entries[std::size_t(index)].item;
    }
    [[nodiscard]] unsigned GetItemFlags(int index) const {
        return m_entries[std::size_t(index)].flags;
    }
    // A side bar, a separator or a disabled item cannot be chosen.
    [[nodiscard]] bool IsChoosable(int index) const;

    // Owner-draw entries.
    [[nodiscard]] virtual QSize MeasureItem(const CMenuXPItem& item) const;
    virtual void DrawItem(QPainter& dc, const DrawItemStruct& dis);

    virtual void PaintItemBackground(QPainter& dc, const QRect& rect, bool selected, bool disabled);
    virtual void PaintButtonFrame(QPainter& dc, const QRect& rect, bool selected, bool disabled,
                                  bool checked);
    virtual void PaintIcon(QPainter& dc, const QRect& rect, const QPixmap& icon, bool selected,
                           bool disabled, bool checked);
    virtual void PaintSideBar(QPainter& dc, QRect rect, const QPixmap& icon, const QString& text);
    virtual void PaintItemText(QPainter& dc, const QRect& rect, const QString& text, bool selected,
                               bool disabled, bool bold);
    virtual void PaintCheckMark(QPainter& dc, const QRect& rect, bool selected);
    virtual void PaintTextInColor(QPainter& dc, const QRect& rect, const QString& text,
                                  COLORREF color);
    virtual void PaintIconArea(QPainter& dc, const QRect& rect, bool selected, bool disabled,
                               bool checked);

    // Columns of items laid out as the system lays out an owner-drawn popup.
    [[nodiscard]] Layout ComputeLayout() const;
    // Paints the frame and every item; `selected` is an item index or -1.
    void PaintMenu(QPainter& dc, const Layout& layout, int selected);
    [[nodiscard]] QImage Render(int selected = -1);
    [[nodiscard]] static int ItemAt(const Layout& layout, QPoint pos);

    // Shows the menu at a screen point and waits until an item is chosen or
    // the menu is dismissed. Returns the chosen command and passes it to
    // onCommand; 0 and no call when dismissed.
    int TrackPopupMenu(QPoint screenPos, const std::function<void(int)>& onCommand = {},
                       QWidget* parent = nullptr);

    // The side bar's caption font: bold "Arial" 16 pixels high, ascent and
    // descent together.
    [[nodiscard]] static QFont SideBarFont();

    // One general gradient routine; the side bar uses the vertical one, whose
    // first colour is at the bottom.
    [[nodiscard]] static QImage GradientBitmap(QSize size, COLORREF from, COLORREF to,
                                               GradientDirection direction);

    QFont m_menuFont;
    COLORREF m_crBackground;
    COLORREF m_crSelection;
    COLORREF m_crText;
    COLORREF m_crSelectedText;
    COLORREF m_crDisabledText;
    COLORREF m_crGradientFrom = 0xFFAA82;
    COLORREF m_crGradientTo = 0x3C0806;
    COLORREF m_crIconArea;
    bool m_breakPending = false;
    bool m_barBreakPending = false;
    QImage m_hBackgroundBitmap;  // null: no background picture
    int m_style = 0;

private:
    struct Entry {
        std::unique_ptr<CMenuXPItem> item;
        unsigned flags = 0;
    };

    void drawEmbossed(QPainter& dc, const QRect& rect, const QPixmap& icon, COLORREF first,
                      COLORREF second) const;

    MenuXPMetrics m_metrics;
    std::vector<Entry> m_entries;
    int m_defaultId = -1;
};

// The popup window that shows a CMenuXP, tracks the item under the pointer and
// reports the chosen command.
class CMenuXPPopup final : public QWidget {
    Q_OBJECT
public:
    CMenuXPPopup(CMenuXP& menu, QWidget* parent = nullptr);

    // Places the popup at a screen point, kept inside that point's screen.
    void popupAt(QPoint screenPos);

    [[nodiscard]] int selectedIndex() const { return m_selected; }
    [[nodiscard]] std::optional<int> chosenCommand() const { return m_chosen; }
    [[nodiscard]] const CMenuXP::Layout& layout() const { return m_layout; }

signals:
    void commandChosen(int id);
    void dismissed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void select(int index);
    void moveSelection(int step);
    void choose(int index);

    CMenuXP& m_menu;
    CMenuXP::Layout m_layout;
    int m_selected = -1;
    std::optional<int> m_chosen;
    bool m_reported = false;
};

}  // namespace kalvo
