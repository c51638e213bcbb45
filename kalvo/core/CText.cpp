#include "kalvo/core/CText.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QStringDecoder>

#include "kalvo/core/CArchive.h"

namespace kalvo {

namespace {

// The default face name kept as its code page 936 bytes, as it was stored.
constexpr char kDefaultFaceNameGbk[] = "\xCB\xCE\xCC\xE5";

QString defaultFaceName() {
    QStringDecoder decoder("GBK");
    if (decoder.isValid()) {
        return decoder.decode(QByteArray(kDefaultFaceNameGbk));
    }
    return QStringLiteral("宋体");
}

}  // namespace

CText::CText() : m_faceName(defaultFaceName()) {}

void CText::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteString(m_text);
        ar.WriteString(m_faceName);
        ar << m_x << m_y << m_pointSize;
        return;
    }
    m_text = ar.ReadString();
    m_faceName = ar.ReadString();
    ar >> m_x;
    ar >> m_y;
    ar >> m_pointSize;
}

void CText::Draw(QPainter& painter) const {
    if (m_text.isEmpty()) {
        return;
    }
    QFont font(m_faceName);
    if (m_pointSize > 0) {
        font.setPointSizeF(m_pointSize / 10.0);
    }
    painter.save();
    painter.setFont(font);
    painter.setBackgroundMode(Qt::TransparentMode);
    // The text is placed by its top-left corner, not by its baseline.
    const QFontMetrics metrics(font, painter.device());
    // In floating point: a loaded position near the 32-bit limit must not overflow.
    painter.drawText(QPointF(m_x, static_cast<double>(m_y) + metrics.ascent()), m_text);
    painter.restore();
}

}  // namespace kalvo
