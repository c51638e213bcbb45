#pragma once
// A binary archive over a QIODevice in the little-endian layout of the
// annotation objects' stored forms: 32-bit values, raw blocks and counted
// strings (wide form written; wide and one-byte code-page-936 forms read).

#include <QString>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

class QIODevice;

namespace kalvo {

class CArchive {
public:
    enum class Mode { Store, Load };

    // Fewer bytes were left than a read asked for.
    class ArchiveEof : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };
    // The device refused a write.
    class ArchiveError : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    // The device must be open in a mode that matches `mode`; it is not owned.
    CArchive(QIODevice& device, Mode mode);

    [[nodiscard]] bool IsStoring() const { return mode_ == Mode::Store; }
    [[nodiscard]] bool IsLoading() const { return mode_ == Mode::Load; }

    void Write(const void* data, std::size_t size);
    // Reads exactly `size` bytes into `data`, or throws ArchiveEof; on a short
    // read `data` is left untouched.
    void EnsureRead(void* data, std::size_t size);

    CArchive& operator<<(std::int32_t value);
    CArchive& operator<<(std::uint32_t value);
    CArchive& operator<<(std::uint16_t value);
    CArchive& operator<<(std::uint8_t value);
    CArchive& operator>>(std::int32_t& value);
    CArchive& operator>>(std::uint32_t& value);
    CArchive& operator>>(std::uint16_t& value);
    CArchive& operator>>(std::uint8_t& value);

    // FF FE FF, the length in UTF-16 units (one byte below 255; else FF and a
    // 16-bit length below 0xFFFE; else FF FF FF and a 32-bit length), then the
    // code units.
    void WriteString(const QString& text);
    // Accepts the wide form above and the one-byte form (the same length
    // field without the FF FE tag, bytes in code page 936); a 32-bit length of
    // FFFFFFFF is followed by a 64-bit one. On a short read the result is not
    // produced: ArchiveEof is thrown, whatever length was announced.
    [[nodiscard]] QString ReadString();

private:
    // Reads the length field; sets wide to whether the tag was present.
    std::uint64_t readStringLength(bool& wide);
    QByteArray readBytes(std::uint64_t size);

    QIODevice& device_;
    Mode mode_;
};

}  // namespace kalvo
