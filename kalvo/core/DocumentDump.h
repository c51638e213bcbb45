#pragma once
// Writes the document's segments to a file in their 24-byte stored form, one
// after another with nothing around them: a hook for tests and automation
// that watch what a running Kalvo holds (KALVO_DUMP_DOCUMENT=path).

#include <QByteArray>
#include <QString>

namespace kalvo {

class CMyDoc;

// Environment variable naming the dump file.
inline constexpr const char* kDumpDocumentVariable = "KALVO_DUMP_DOCUMENT";

[[nodiscard]] QByteArray serializeSegments(const CMyDoc& doc);

// Replaces the file atomically (temporary file renamed over it); false when
// it cannot be written.
[[nodiscard]] bool dumpSegments(const CMyDoc& doc, const QString& path);

}  // namespace kalvo
