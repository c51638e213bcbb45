#include "kalvo/core/DocumentDump.h"

#include <QBuffer>
#include <QFile>

#include <cmath>
#include <cstdint>

#include "common/ini/SafeWrite.h"
#include "kalvo/core/CArchive.h"
#include "kalvo/core/CMyDoc.h"

namespace kalvo {

QByteArray serializeSegments(const CMyDoc& doc, double scale, QPoint origin) {
    const auto scaled = [scale](std::int32_t v, int from = 0) {
        return static_cast<std::int32_t>(from + std::lround((v - from) * scale));
    };
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CArchive ar(buffer, CArchive::Mode::Store);
    for (int i = 0; i < doc.GetSegmentCount(); ++i) {
        CHandwright s = *doc.GetSegment(i);
        s.m_x1 = scaled(s.m_x1, origin.x());
        s.m_y1 = scaled(s.m_y1, origin.y());
        s.m_x2 = scaled(s.m_x2, origin.x());
        s.m_y2 = scaled(s.m_y2, origin.y());
        s.m_width = scaled(s.m_width);
        s.Serialize(ar);
    }
    return bytes;
}

bool dumpSegments(const CMyDoc& doc, const QString& path, double scale, QPoint origin) {
    const QByteArray bytes = serializeSegments(doc, scale, origin);
    return common::writeFileSafely(
               QFile::encodeName(path).toStdString(),
               std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))
        .ok();
}

}  // namespace kalvo
