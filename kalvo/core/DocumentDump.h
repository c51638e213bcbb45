#pragma once
// Writes the document's segments to a file in their 24-byte stored form, one
// after another with nothing around them: a hook for tests and automation
// that watch what a running Kalvo holds (KALVO_DUMP_DOCUMENT=path).
// The document keeps Qt's logical desktop coordinates; the dump gives the X
// screen's device pixels, as the user sees the ink: points scaled by the
// surface's device pixel ratio (`scale`) about the corner of its monitor
// (`origin`, where Qt's logical and device coordinates meet), widths scaled,
// all rounded.

#include <QByteArray>
#include <QPoint>
#include <QString>

namespace kalvo {

class CMyDoc;

// Environment variable naming the dump file.
inline constexpr const char* kDumpDocumentVariable = "KALVO_DUMP_DOCUMENT";

[[nodiscard]] QByteArray serializeSegments(const CMyDoc& doc, double scale = 1.0,
                                           QPoint origin = {});

// Replaces the file atomically (temporary file renamed over it); false when
// it cannot be written.
[[nodiscard]] bool dumpSegments(const CMyDoc& doc, const QString& path, double scale = 1.0,
                                QPoint origin = {});

}  // namespace kalvo
