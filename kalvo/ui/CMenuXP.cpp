#include "kalvo/ui/CMenuXP.h"

#include <QApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>

#include <algorithm>
#include <array>

namespace kalvo {
namespace {

void fillRow(QPainter& dc, int left, int right, int y, COLORREF c) {
    if (right >= left) {
        dc.fillRect(QRect(left, y, right - left + 1, 1), toQColor(c));
    }
}
void fillColumn(QPainter& dc, int x, int top, int bottom, COLORREF c) {
    if (bottom >= top) {
        dc.fillRect(QRect(x, top, 1, bottom - top + 1), toQColor(c));
    }
}

// A thin edge around `r`: topLeft on the top and left sides, bottomRight on
// the others.
void thinEdge(QPainter& dc, const QRect& r, COLORREF topLeft, COLORREF bottomRight) {
    fillRow(dc, r.left(), r.right(), r.bottom(), bottomRight);
    fillColumn(dc, r.right(), r.top(), r.bottom(), bottomRight);
    fillRow(dc, r.left(), r.right() - 1, r.top(), topLeft);
    fillColumn(dc, r.left(), r.top(), r.bottom() - 1, topLeft);
}

QString measuredText(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\t'), QStringLiteral("  "));
    return t;
}

}  // namespace

MenuXPMetrics MenuXPMetrics::systemDefaults() {
    MenuXPMetrics m;
    m.menuFont = QApplication::font("QMenu");
    const QPalette pal = QApplication::palette("QMenu");
    m.menu = fromQColor(pal.color(QPalette::Window));
    m.highlight = fromQColor(pal.color(QPalette::Highlight));
    m.menuText = fromQColor(pal.color(QPalette::WindowText));
    m.highlightText = fromQColor(pal.color(QPalette::HighlightedText));
    m.grayText = fromQColor(pal.color(QPalette::Disabled, QPalette::WindowText));
    m.buttonHighlight = fromQColor(pal.color(QPalette::Light));
    m.buttonShadow = fromQColor(pal.color(QPalette::Dark));
    return m;
}

CMenuXPText::CMenuXPText(int id, QString text, QPixmap icon) {
    m_id = id;
    m_text = std::move(text);
    m_hIcon = std::move(icon);
}

CMenuXPSideBar::CMenuXPSideBar(int width, QString text, QPixmap icon, int id) {
    m_size = width;
    m_text = std::move(text);
    m_hIcon = std::move(icon);
    m_id = id;
    m_isSideBar = true;
}

CMenuXPButton::CMenuXPButton(int id, QPixmap icon) {
    m_id = id;
    m_hIcon = std::move(icon);
    m_isButton = true;
}

CMenuXP::CMenuXP(const MenuXPMetrics& metrics)
    : m_menuFont(metrics.menuFont),
      m_crBackground(metrics.menu),
      m_crSelection(metrics.highlight),
      m_crText(metrics.menuText),
      m_crSelectedText(metrics.highlightText),
      m_crDisabledText(metrics.grayText),
      m_crIconArea(metrics.menu),
      m_metrics(metrics) {}

CMenuXP::~CMenuXP() = default;

void CMenuXP::AppendSideBar(std::unique_ptr<CMenuXPSideBar> item) {
    m_entries.push_back({std::move(item), MF_GRAYED | MF_DISABLED});
    m_breakPending = true;
    m_barBreakPending = false;
}

void CMenuXP::AppendOwnerItem(unsigned flags, std::unique_ptr<CMenuXPItem> item,
                              const ACCEL* accel) {
    if (m_breakPending) {
        flags |= MF_MENUBREAK;
    }
    if (m_barBreakPending) {
        flags |= MF_MENUBARBREAK;
    }
    m_breakPending = false;
    m_barBreakPending = false;
    if (accel != nullptr) {
        QString keys;
        CKeyHelper(accel).Format(keys);
        if (!keys.isEmpty()) {
            item->m_text += QLatin1Char('\t') + keys;
        }
    }
    m_entries.push_back({std::move(item), flags});
}

bool CMenuXP::IsChoosable(int index) const {
    if (index < 0 || index >= GetMenuItemCount()) {
        return false;
    }
    const Entry& e = m_entries[std::size_t(index)];
    return !e.item->m_isSideBar && !e.item->m_isSeparator &&
           (e.flags & (MF_GRAYED | MF_DISABLED)) == 0;
}

QSize CMenuXP::MeasureItem(const CMenuXPItem& item) const {
    int w = 0;
    int h = 0;
    if (item.m_isSideBar) {
        w = item.m_size;
    } else if (item.m_isSeparator) {
        h = m_metrics.checkMarkHeight / 2;
    } else {
        const QFontMetrics fm(m_menuFont);
        const int textWidth = fm.horizontalAdvance(measuredText(item.m_text));
        h = std::max(item.m_size + 4, fm.height());
        w = item.m_isButton ? h : 2 * item.m_size + textWidth + 12;
    }
    // The system widens every owner-drawn item by the check-mark width.
    w += 1 - m_metrics.checkMarkWidth;
    return {w, h};
}

CMenuXP::Layout CMenuXP::ComputeLayout() const {
    Layout layout;
    layout.itemRects.resize(m_entries.size());
    struct Column {
        std::size_t first;
        std::size_t end;
        int x;
        int width;
    };
    std::vector<Column> columns;
    int x = kBorder;
    int y = kBorder;
    int height = 0;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const unsigned flags = m_entries[i].flags;
        if (i == 0 || (flags & (MF_MENUBREAK | MF_MENUBARBREAK)) != 0) {
            if (!columns.empty()) {
                columns.back().end = i;
                x = columns.back().x + columns.back().width;
            }
            if (i != 0 && (flags & MF_MENUBARBREAK) != 0) {
                layout.dividers.push_back(x);
                x += 2;
            }
            columns.push_back({i, i, x, 0});
            y = kBorder;
        }
        const QSize measured = MeasureItem(*m_entries[i].item);
        const QSize size(measured.width() + m_metrics.checkMarkWidth - 1, measured.height());
        layout.itemRects[i] = QRect(QPoint(x, y), size);
        columns.back().width = std::max(columns.back().width, size.width());
        y += size.height();
        height = std::max(height, y - kBorder);
    }
    if (!columns.empty()) {
        columns.back().end = m_entries.size();
    }
    int right = kBorder;
    for (const Column& c : columns) {
        for (std::size_t i = c.first; i < c.end; ++i) {
            QRect& r = layout.itemRects[i];
            r.setWidth(c.width);
            if (m_entries[i].item->m_isSideBar) {
                r.setTop(kBorder);
                r.setHeight(height);
            }
        }
        right = c.x + c.width;
    }
    layout.size = QSize(right + kBorder, height + 2 * kBorder);
    return layout;
}

int CMenuXP::ItemAt(const Layout& layout, QPoint pos) {
    for (std::size_t i = 0; i < layout.itemRects.size(); ++i) {
        if (layout.itemRects[i].contains(pos)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void CMenuXP::PaintMenu(QPainter& dc, const Layout& layout, int selected) {
    const QRect all(QPoint(0, 0), layout.size);
    dc.fillRect(all, toQColor(m_crBackground));
    thinEdge(dc, all, m_metrics.buttonHighlight, m_metrics.buttonShadow);
    const QRect client = all.adjusted(kBorder, kBorder, -kBorder, -kBorder);
    for (const int x : layout.dividers) {
        fillColumn(dc, x, client.top(), client.bottom(), m_metrics.buttonShadow);
        fillColumn(dc, x + 1, client.top(), client.bottom(), m_metrics.buttonHighlight);
    }
    dc.save();
    dc.setClipRect(client);
    for (int i = 0; i < GetMenuItemCount(); ++i) {
        const Entry& e = m_entries[std::size_t(i)];
        DrawItemStruct dis;
        dis.item = e.item.get();
        dis.rcItem = layout.itemRects[std::size_t(i)];
        dis.selected = i == selected;
        dis.disabled = (e.flags & (MF_GRAYED | MF_DISABLED)) != 0;
        dis.checked = (e.flags & MF_CHECKED) != 0;
        dis.isDefault = e.item->m_id == m_defaultId && !e.item->m_isSideBar;
        dis.clipBox = client;
        DrawItem(dc, dis);
    }
    dc.restore();
}

QImage CMenuXP::Render(int selected) {
    const Layout layout = ComputeLayout();
    QImage image(layout.size, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter dc(&image);
    PaintMenu(dc, layout, selected);
    return image;
}

void CMenuXP::DrawItem(QPainter& dc, const DrawItemStruct& dis) {
    const CMenuXPItem& item = *dis.item;
    const QRect rc = dis.rcItem;
    if (item.m_isSideBar) {
        PaintSideBar(dc, QRect(rc.left(), dis.clipBox.top(), rc.width(), dis.clipBox.height()),
                     item.m_hIcon, item.m_text);
        return;
    }
    if (item.m_isSeparator) {
        PaintItemBackground(dc, rc, false, false);
        const int mid = rc.top() + rc.height() / 2;
        fillRow(dc, rc.left(), rc.right(), mid, m_metrics.buttonShadow);
        fillRow(dc, rc.left(), rc.right(), mid + 1, m_metrics.buttonHighlight);
        if (m_style == 2) {
            dc.save();
            dc.setClipRect(rc, Qt::IntersectClip);
            PaintIconArea(dc, QRect(rc.left(), rc.top(), item.m_size + 4, item.m_size + 4), false,
                          false, false);
            dc.restore();
        }
        return;
    }
    PaintItemBackground(dc, rc, dis.selected, dis.disabled);
    const QRect square(rc.left(), rc.top(), rc.height(), rc.height());
    if (m_style == 2) {
        PaintIconArea(dc, square, dis.selected, dis.disabled, dis.checked);
    }
    const QRect iconRect = item.m_isButton ? rc : square;
    const bool hasIcon = !item.m_hIcon.isNull();
    if (hasIcon || dis.checked) {
        PaintButtonFrame(dc, iconRect, dis.selected, dis.disabled, dis.checked);
    }
    const QRect inner = iconRect.adjusted(2, 2, -2, -2);
    if (hasIcon) {
        PaintIcon(dc, inner, item.m_hIcon, dis.selected, dis.disabled, dis.checked);
    } else if (dis.checked) {
        PaintCheckMark(dc, inner, dis.selected);
    }
    if (!item.m_isButton) {
        const QRect textRect(QPoint(iconRect.left() + iconRect.width() + 2, rc.top()),
                             QPoint(rc.left() + rc.width() - item.m_size - 1, rc.bottom()));
        PaintItemText(dc, textRect, item.m_text, dis.selected, dis.disabled, dis.isDefault);
    }
}

void CMenuXP::PaintItemBackground(QPainter& dc, const QRect& rect, bool selected, bool disabled) {
    if (m_hBackgroundBitmap.isNull() || (selected && !disabled)) {
        COLORREF c = m_crSelection;
        if (!selected || (disabled && m_style == 2)) {
            c = m_crBackground;
        }
        dc.fillRect(rect, toQColor(c));
    } else {
        dc.drawImage(rect.topLeft(), m_hBackgroundBitmap, rect);
    }
    if (m_style == 2 && selected && !disabled) {
        thinEdge(dc, rect, 0x000000, 0x000000);
    }
}

void CMenuXP::PaintButtonFrame(QPainter& dc, const QRect& rect, bool selected, bool disabled,
                               bool checked) {
    if (m_style == 2) {
        if (checked && !disabled && !selected) {
            PaintItemBackground(dc, rect, true, false);
        }
        return;
    }
    COLORREF c = m_crBackground;
    if (checked && !selected) {
        c = makeColorRef(std::min(255, colorRed(c) + 2), std::min(255, colorGreen(c) + 2),
                         std::min(255, colorBlue(c) + 2));
    }
    dc.fillRect(rect, toQColor(c));
    if (disabled) {
        return;
    }
    if (checked) {
        thinEdge(dc, rect, m_metrics.buttonShadow, m_metrics.buttonHighlight);
    } else if (selected) {
        thinEdge(dc, rect, m_metrics.buttonHighlight, m_metrics.buttonShadow);
    }
}

void CMenuXP::drawEmbossed(QPainter& dc, const QRect& rect, const QPixmap& icon, COLORREF first,
                           COLORREF second) const {
    // The icon as a monochrome picture: every drawn pixel that is not white
    // becomes "black" and takes the brush colour in each pass.
    const QImage src = icon.toImage()
                           .scaled(rect.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation)
                           .convertToFormat(QImage::Format_ARGB32);
    QImage firstPass(src.size(), QImage::Format_ARGB32);
    firstPass.fill(Qt::transparent);
    QImage secondPass = firstPass;
    const QRgb a = toQColor(first).rgb();
    const QRgb b = toQColor(second).rgb();
    for (int y = 0; y < src.height(); ++y) {
        const auto* s = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        auto* p1 = reinterpret_cast<QRgb*>(firstPass.scanLine(y));
        auto* p2 = reinterpret_cast<QRgb*>(secondPass.scanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            if (qAlpha(s[x]) >= 128 && (s[x] & 0x00FFFFFFu) != 0x00FFFFFFu) {
                p1[x] = a;
                p2[x] = b;
            }
        }
    }
    dc.drawImage(rect.topLeft() + QPoint(1, 1), firstPass);
    dc.drawImage(rect.topLeft(), secondPass);
}

void CMenuXP::PaintIcon(QPainter& dc, const QRect& rect, const QPixmap& icon, bool selected,
                        bool disabled, bool checked) {
    if (icon.isNull()) {
        return;
    }
    if (disabled) {
        drawEmbossed(dc, rect, icon, m_metrics.buttonHighlight, m_metrics.buttonShadow);
        return;
    }
    if (m_style == 2 && selected && !checked) {
        drawEmbossed(dc, rect, icon, m_metrics.buttonShadow, m_metrics.buttonShadow);
        dc.drawPixmap(rect.translated(-1, -1), icon);
        return;
    }
    dc.drawPixmap(rect, icon);
}

QImage CMenuXP::GradientBitmap(QSize size, COLORREF from, COLORREF to,
                               GradientDirection direction) {
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        return image;
    }
    std::array<QRgb, 256> steps{};
    for (int k = 0; k < 256; ++k) {
        const auto channel = [k](int f, int t) { return f + (t - f) * k / 255; };
        steps[std::size_t(k)] =
            qRgb(channel(colorRed(from), colorRed(to)), channel(colorGreen(from), colorGreen(to)),
                 channel(colorBlue(from), colorBlue(to)));
    }
    const int w = size.width();
    const int h = size.height();
    const int diagonal = w + h - 1;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        const int fromBottom = h - 1 - y;
        for (int x = 0; x < w; ++x) {
            int k = 0;
            switch (direction) {
                case GradientDirection::Vertical:
                    k = 256 * fromBottom / h;
                    break;
                case GradientDirection::Horizontal:
                    k = 256 * x / w;
                    break;
                case GradientDirection::DiagonalDown:
                    k = 256 * (x + y) / diagonal;
                    break;
                case GradientDirection::DiagonalUp:
                    k = 256 * (x + fromBottom) / diagonal;
                    break;
            }
            row[x] = steps[std::size_t(std::clamp(k, 0, 255))];
        }
    }
    return image;
}

QFont CMenuXP::SideBarFont() {
    // A font asked for by height is 16 pixels from the top of its tallest
    // letter to the bottom of its lowest; Qt's pixel size is the smaller em.
    constexpr int kHeight = 16;
    QFont font(QStringLiteral("Arial"));
    font.setWeight(QFont::Bold);
    font.setPixelSize(kHeight);
    while (font.pixelSize() > 1 && QFontMetrics(font).height() > kHeight) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}

void CMenuXP::PaintSideBar(QPainter& dc, QRect rect, const QPixmap& /*icon*/, const QString& text) {
    rect.setWidth(rect.width() + 3);
    dc.drawImage(rect.topLeft(), GradientBitmap(rect.size(), m_crGradientFrom, m_crGradientTo,
                                                GradientDirection::Vertical));
    if (text.isEmpty()) {
        return;
    }
    dc.save();
    dc.setFont(SideBarFont());
    dc.setPen(Qt::white);
    // Reads upwards from the bottom-left corner.
    dc.translate(rect.left() + 2, rect.top() + rect.height() - 4);
    dc.rotate(-90);
    dc.drawText(QRect(0, 0, rect.height(), 16), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                text);
    dc.restore();
}

void CMenuXP::PaintItemText(QPainter& dc, const QRect& rect, const QString& text, bool selected,
                            bool disabled, bool bold) {
    QFont font = m_menuFont;
    if (bold) {
        font.setWeight(QFont::Bold);
    }
    dc.save();
    dc.setFont(font);
    dc.setBackgroundMode(Qt::TransparentMode);
    if (disabled) {
        if (!(selected && m_style == 0)) {
            PaintTextInColor(dc, rect.translated(1, 1), text, m_crSelectedText);
        }
        PaintTextInColor(dc, rect, text, m_crDisabledText);
    } else {
        PaintTextInColor(dc, rect, text, selected ? m_crSelectedText : m_crText);
    }
    dc.restore();
}

void CMenuXP::PaintTextInColor(QPainter& dc, const QRect& rect, const QString& text,
                               COLORREF color) {
    dc.setPen(toQColor(color));
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    dc.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                tab < 0 ? text : text.left(tab));
    if (tab > 0) {
        dc.drawText(rect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                    text.mid(tab + 1));
    }
}

void CMenuXP::PaintCheckMark(QPainter& dc, const QRect& rect, bool selected) {
    const QColor c = toQColor(selected ? m_crSelectedText : m_crText);
    // A check mark 7 wide and 3 thick, centred in the rectangle.
    const QPoint o(rect.left() + (rect.width() - 7) / 2, rect.top() + (rect.height() - 7) / 2);
    for (int i = 0; i < 7; ++i) {
        const int y = i < 3 ? 2 + i : 6 - i;
        dc.fillRect(QRect(o.x() + i, o.y() + y, 1, 3), c);
    }
}

void CMenuXP::PaintIconArea(QPainter& dc, const QRect& rect, bool selected, bool disabled,
                            bool /*checked*/) {
    if (m_style != 2) {
        return;
    }
    if (!selected || disabled) {
        dc.fillRect(rect, toQColor(m_crIconArea));
    }
}

int CMenuXP::TrackPopupMenu(QPoint screenPos, const std::function<void(int)>& onCommand,
                            QWidget* parent) {
    CMenuXPPopup popup(*this, parent);
    QEventLoop loop;
    QObject::connect(&popup, &CMenuXPPopup::commandChosen, &loop, &QEventLoop::quit);
    QObject::connect(&popup, &CMenuXPPopup::dismissed, &loop, &QEventLoop::quit);
    popup.popupAt(screenPos);
    if (popup.isVisible()) {
        loop.exec();
    }
    const std::optional<int> chosen = popup.chosenCommand();
    if (!chosen) {
        return 0;
    }
    if (onCommand) {
        onCommand(*chosen);
    }
    return *chosen;
}

CMenuXPPopup::CMenuXPPopup(CMenuXP& menu, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint), m_menu(menu) {
    setObjectName(QStringLiteral("CMenuXP"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_layout = m_menu.ComputeLayout();
    setFixedSize(m_layout.size);
}

void CMenuXPPopup::popupAt(QPoint screenPos) {
    QPoint pos = screenPos;
    if (QScreen* screen = QGuiApplication::screenAt(screenPos)) {
        const QRect avail = screen->geometry();
        pos.setX(std::max(avail.left(), std::min(pos.x(), avail.right() + 1 - width())));
        pos.setY(std::max(avail.top(), std::min(pos.y(), avail.bottom() + 1 - height())));
    }
    move(pos);
    show();
}

void CMenuXPPopup::paintEvent(QPaintEvent* /*event*/) {
    QPainter dc(this);
    m_menu.PaintMenu(dc, m_layout, m_selected);
}

void CMenuXPPopup::select(int index) {
    if (index >= 0 && m_menu.GetItem(index).m_isSeparator) {
        index = -1;
    }
    if (index != m_selected) {
        m_selected = index;
        update();
    }
}

void CMenuXPPopup::mouseMoveEvent(QMouseEvent* event) {
    select(CMenuXP::ItemAt(m_layout, event->position().toPoint()));
}

void CMenuXPPopup::leaveEvent(QEvent* /*event*/) {
    select(-1);
}

void CMenuXPPopup::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const int index = CMenuXP::ItemAt(m_layout, event->position().toPoint());
    select(index);
    if (m_menu.IsChoosable(index)) {
        choose(index);
    }
}

void CMenuXPPopup::moveSelection(int step) {
    const int n = m_menu.GetMenuItemCount();
    int index = m_selected;
    for (int tries = 0; tries < n; ++tries) {
        index = index < 0 ? (step > 0 ? 0 : n - 1) : (index + step + n) % n;
        const CMenuXPItem& item = m_menu.GetItem(index);
        if (!item.m_isSeparator && !item.m_isSideBar) {
            select(index);
            return;
        }
    }
}

void CMenuXPPopup::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Down:
        case Qt::Key_Right:
            moveSelection(1);
            break;
        case Qt::Key_Up:
        case Qt::Key_Left:
            moveSelection(-1);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (m_menu.IsChoosable(m_selected)) {
                choose(m_selected);
            }
            break;
        case Qt::Key_Escape:
            close();
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}

void CMenuXPPopup::choose(int index) {
    m_chosen = m_menu.GetItem(index).m_id;
    m_reported = true;
    hide();
    emit commandChosen(*m_chosen);
}

void CMenuXPPopup::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!m_reported) {
        m_reported = true;
        emit dismissed();
    }
}

}  // namespace kalvo
