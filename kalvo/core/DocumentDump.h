#pragma once
// Writes the document's segments to a file in their 24-byte stored form, one
// after another with nothing around them: a hook for tests and automation
// that watch what a running Kalvo holds (KALVO_DUMP_DOCUMENT=path).
// The document keeps the drawing surface's logical (Qt) pixels; the dump
// gives the screen's device pixels, as the user sees the ink: points and
// widths times the surface's device pixel ratio (`scale`), rounded.

#include <QByteArray>
#include <QString>

namespace kalvo {

class CMyDoc;

// Environment variable naming the dump file.
inline constexpr const char* kDumpDocumentVariable = "KALVO_DUMP_DOCUMENT";

[[nodiscard]] QByteArray serializeSegments(const CMyDoc& doc, double scale = 1.0);

// Replaces the file atomically (temporary file renamed over it); false when
// it cannot be written.
[[nodiscard]] bool dumpSegments(const CMyDoc& doc, const QString& path, double scale = 1.0);

}  // namespace kalvo
