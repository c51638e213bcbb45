#include "kalvo/core/DocumentDump.h"

#include <QBuffer>
#include <QSaveFile>

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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = serializeSegments(doc);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace kalvo
