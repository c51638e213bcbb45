#include "kalvo/core/CArchive.h"

#include <QIODevice>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kalvo {

namespace {

template <typename T>
void storeLittleEndian(T value, unsigned char* out) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out[i] = static_cast<unsigned char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF);
    }
}

template <typename T>
T loadLittleEndian(const unsigned char* in) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        v |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    }
    return static_cast<T>(v);
}

template <typename T>
void writeValue(CArchive& ar, T value) {
    unsigned char bytes[sizeof(T)];
    storeLittleEndian(value, bytes);
    ar.Write(bytes, sizeof(T));
}

template <typename T>
T readValue(CArchive& ar) {
    unsigned char bytes[sizeof(T)];
    ar.EnsureRead(bytes, sizeof(T));
    return loadLittleEndian<T>(bytes);
}

QString decodeCodePage936(const QByteArray& bytes) {
    for (const char* name : {"GBK", "GB18030"}) {
        QStringDecoder decoder(name);
        if (decoder.isValid()) {
            return decoder.decode(bytes);
        }
    }
#ifdef _WIN32
    // Qt without ICU has no such codec; Windows converts code page 936 itself.
    const int size = static_cast<int>(bytes.size());
    const int n = MultiByteToWideChar(936, 0, bytes.constData(), size, nullptr, 0);
    if (n > 0) {
        std::wstring wide(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(936, 0, bytes.constData(), size, wide.data(), n);
        return QString::fromStdWString(wide);
    }
#endif
    // Without a GB18030 codec (Qt built without ICU) keep ASCII readable.
    return QString::fromLatin1(bytes);
}

}  // namespace

CArchive::CArchive(QIODevice& device, Mode mode) : device_(device), mode_(mode) {}

void CArchive::Write(const void* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    const qint64 written = device_.write(static_cast<const char*>(data), static_cast<qint64>(size));
    if (written != static_cast<qint64>(size)) {
        throw ArchiveError("archive: write failed");
    }
}

void CArchive::EnsureRead(void* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    const QByteArray bytes = readBytes(size);
    std::memcpy(data, bytes.constData(), size);
}

QByteArray CArchive::readBytes(std::uint64_t size) {
    // Read in bounded chunks so that a bogus length in a short file fails at
    // the end of the data instead of allocating the announced size up front.
    constexpr std::uint64_t kChunk = 1u << 20;
    QByteArray result;
    while (static_cast<std::uint64_t>(result.size()) < size) {
        const std::uint64_t want =
            std::min<std::uint64_t>(kChunk, size - static_cast<std::uint64_t>(result.size()));
        const QByteArray part = device_.read(static_cast<qint64>(want));
        if (part.isEmpty()) {
            throw ArchiveEof("archive: unexpected end of file");
        }
        result.append(part);
    }
    return result;
}

CArchive& CArchive::operator<<(std::int32_t value) {
    writeValue(*this, static_cast<std::uint32_t>(value));
    return *this;
}
CArchive& CArchive::operator<<(std::uint32_t value) {
    writeValue(*this, value);
    return *this;
}
CArchive& CArchive::operator<<(std::uint16_t value) {
    writeValue(*this, value);
    return *this;
}
CArchive& CArchive::operator<<(std::uint8_t value) {
    writeValue(*this, value);
    return *this;
}
CArchive& CArchive::operator>>(std::int32_t& value) {
    value = static_cast<std::int32_t>(readValue<std::uint32_t>(*this));
    return *this;
}
CArchive& CArchive::operator>>(std::uint32_t& value) {
    value = readValue<std::uint32_t>(*this);
    return *this;
}
CArchive& CArchive::operator>>(std::uint16_t& value) {
    value = readValue<std::uint16_t>(*this);
    return *this;
}
CArchive& CArchive::operator>>(std::uint8_t& value) {
    value = readValue<std::uint8_t>(*this);
    return *this;
}

void CArchive::WriteString(const QString& text) {
    const auto length = static_cast<std::uint32_t>(text.size());
    *this << std::uint8_t{0xFF} << std::uint16_t{0xFFFE};
    if (length < 0xFF) {
        *this << static_cast<std::uint8_t>(length);
    } else if (length < 0xFFFE) {
        *this << std::uint8_t{0xFF} << static_cast<std::uint16_t>(length);
    } else {
        *this << std::uint8_t{0xFF} << std::uint16_t{0xFFFF} << length;
    }
    QByteArray units(static_cast<qsizetype>(length) * 2, '\0');
    auto* out = reinterpret_cast<unsigned char*>(units.data());
    for (qsizetype i = 0; i < text.size(); ++i) {
        storeLittleEndian(text.at(i).unicode(), out + 2 * i);
    }
    Write(units.constData(), static_cast<std::size_t>(units.size()));
}

std::uint64_t CArchive::readStringLength(bool& wide) {
    wide = false;
    std::uint8_t byteLength = 0;
    *this >> byteLength;
    if (byteLength < 0xFF) {
        return byteLength;
    }
    std::uint16_t wordLength = 0;
    *this >> wordLength;
    if (wordLength == 0xFFFE) {
        wide = true;
        *this >> byteLength;
        if (byteLength < 0xFF) {
            return byteLength;
        }
        *this >> wordLength;
    }
    if (wordLength < 0xFFFF) {
        return wordLength;
    }
    std::uint32_t dwordLength = 0;
    *this >> dwordLength;
    if (dwordLength < 0xFFFFFFFFu) {
        return dwordLength;
    }
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    *this >> low >> high;
    return (std::uint64_t{high} << 32) | low;
}

QString CArchive::ReadString() {
    bool wide = false;
    const std::uint64_t length = readStringLength(wide);
    // No device holds that many bytes; below it, readBytes grows only with the
    // data that really arrives, so a bogus length ends at the end of the data.
    constexpr std::uint64_t kBeyondAnyDevice = std::uint64_t{1} << 62;
    if (length >= kBeyondAnyDevice) {
        throw ArchiveEof("archive: unexpected end of file");
    }
    if (!wide) {
        return decodeCodePage936(readBytes(length));
    }
    const QByteArray bytes = readBytes(length * 2);
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
    QString text(static_cast<qsizetype>(length), Qt::Uninitialized);
    for (std::uint64_t i = 0; i < length; ++i) {
        text[static_cast<qsizetype>(i)] = QChar(loadLittleEndian<char16_t>(in + 2 * i));
    }
    return text;
}

}  // namespace kalvo
