// Kalvo's archive reader on arbitrary bytes: segments and texts, with strings
// in the wide and the one-byte form and every length encoding.
// Properties:
// - a read either gives a whole object or ends with the archive's own errors;
// - a segment's stored form is the 24 bytes it was read from;
// - what the writer writes, the reader reads back to the same objects, and
//   writing those again gives the same bytes.

#include <QBuffer>
#include <QByteArray>

#include <cstdint>
#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "kalvo/core/CArchive.h"
#include "kalvo/core/CHandwright.h"
#include "kalvo/core/CText.h"

namespace {

using kalvo::CArchive;
using kalvo::CHandwright;
using kalvo::CObject;
using kalvo::CText;

bool same(const CObject& a, const CObject& b) {
    if (const auto* s = dynamic_cast<const CHandwright*>(&a)) {
        const auto* t = dynamic_cast<const CHandwright*>(&b);
        return t != nullptr && s->m_x1 == t->m_x1 && s->m_y1 == t->m_y1 && s->m_x2 == t->m_x2 &&
               s->m_y2 == t->m_y2 && s->m_color == t->m_color && s->m_width == t->m_width;
    }
    const auto* s = dynamic_cast<const CText*>(&a);
    const auto* t = dynamic_cast<const CText*>(&b);
    return s != nullptr && t != nullptr && s->m_text == t->m_text &&
           s->m_faceName == t->m_faceName && s->m_x == t->m_x && s->m_y == t->m_y &&
           s->m_pointSize == t->m_pointSize;
}

std::unique_ptr<CObject> make(bool text) {
    if (text) {
        return std::make_unique<CText>();
    }
    return std::make_unique<CHandwright>();
}

// Reads objects of the kinds `textMask` names (bit i: object i is a text)
// until the data ends or a read fails.
std::vector<std::unique_ptr<CObject>> readAll(const QByteArray& bytes, std::uint16_t textMask,
                                              std::vector<qint64>* ends = nullptr) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    CArchive ar(buffer, CArchive::Mode::Load);
    std::vector<std::unique_ptr<CObject>> objects;
    for (int i = 0; i < 16 && !buffer.atEnd(); ++i) {
        std::unique_ptr<CObject> o = make(((textMask >> i) & 1) != 0);
        try {
            o->Serialize(ar);
        } catch (const CArchive::ArchiveEof&) {
            break;
        } catch (const CArchive::ArchiveError&) {
            break;
        }
        objects.push_back(std::move(o));
        if (ends != nullptr) {
            ends->push_back(buffer.pos());
        }
    }
    return objects;
}

QByteArray writeAll(const std::vector<std::unique_ptr<CObject>>& objects) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CArchive ar(buffer, CArchive::Mode::Store);
    for (const auto& o : objects) {
        o->Serialize(ar);
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const auto textMask = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
    const QByteArray input(reinterpret_cast<const char*>(data + 2),
                           static_cast<qsizetype>(size - 2));

    std::vector<qint64> ends;
    const auto objects = readAll(input, textMask, &ends);

    QByteArray stored;
    qint64 start = 0;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        QByteArray one;
        {
            QBuffer buffer(&one);
            buffer.open(QIODevice::WriteOnly);
            CArchive ar(buffer, CArchive::Mode::Store);
            objects[i]->Serialize(ar);
        }
        // Strings may come in the one-byte form or with a longer length
        // field than needed; a segment has one form only.
        if (dynamic_cast<const CHandwright*>(objects[i].get()) != nullptr) {
            FUZZ_CHECK(ends[i] - start == CHandwright::kArchiveSize);
            FUZZ_CHECK(one == input.mid(start, CHandwright::kArchiveSize));
        }
        stored += one;
        start = ends[i];
    }
    FUZZ_CHECK(stored == writeAll(objects));

    const auto again = readAll(stored, textMask);
    FUZZ_CHECK(again.size() == objects.size());
    for (std::size_t i = 0; i < objects.size(); ++i) {
        FUZZ_CHECK(same(*objects[i], *again[i]));
    }
    FUZZ_CHECK(writeAll(again) == stored);
    return 0;
}
