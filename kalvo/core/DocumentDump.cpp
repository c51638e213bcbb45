#include "kalvo/core/DocumentDump.h"

#include <QBuffer>
#include <QFile>

#include "common/ini/SafeWrite.h"
#include "kalvo/core/CArchive.h"
#include "kalvo/core/CMyDoc.h"

namespace kalvo {

QByteArray serializeSegments(const CMyDoc& doc) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CArchive ar(buffer, CArchive::Mode::Store);
    for (int i = 0; i < doc.GetSegmentCount(); ++i) {
        doc.GetSegment(i)->Serialize(ar);
    }
    return bytes;
}

bool dumpSegments(const CMyDoc& doc, const QString& path) {
    const QByteArray bytes = serializeSegments(doc);
    return common::writeFileSafely(
               QFile::encodeName(path).toStdString(),
               std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))
        .ok();
}

}  // namespace kalvo
