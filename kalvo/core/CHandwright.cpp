#include "kalvo/core/CHandwright.h"

#include <QPainter>
#include <QPen>

#include <QLineF>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "kalvo/core/CArchive.h"
#include "kalvo/core/QtColor.h"

namespace kalvo {

namespace {

struct PointBlock {
    std::int32_t x;
    std::int32_t y;
};

void storePoint(CArchive& ar, std::int32_t x, std::int32_t y) {
    ar << x << y;
}

// A point travels as one 8-byte block: it is read whole or not at all.
PointBlock loadPoint(CArchive& ar) {
    unsigned char bytes[8];
    ar.EnsureRead(bytes, sizeof bytes);
    auto word = [&](int at) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[at]) |
                                         (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
                                         (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
                                         (static_cast<std::uint32_t>(bytes[at + 3]) << 24));
    };
    return {word(0), word(4)};
}

// Thin lines longer than this (far beyond any screen) are left to the
// painter's own line drawing instead of being stepped pixel by pixel.
constexpr std::int64_t kMaxStepwiseLength = 1 << 15;
// Below the painter's sub-pixel precision of 1/64 it would not count.
constexpr double kPullBack = 1.0 / 32;

// One pixel per step of the major axis from the start point, the end point
// itself left out.
void drawThinLine(QPainter& painter, std::int32_t x1, std::int32_t y1, std::int64_t dx,
                  std::int64_t dy) {
    const std::int64_t steps = std::max(std::abs(dx), std::abs(dy));
    std::vector<QPoint> points;
    points.reserve(static_cast<std::size_t>(steps));
    const std::int64_t sx = dx < 0 ? -1 : 1;
    const std::int64_t sy = dy < 0 ? -1 : 1;
    const std::int64_t ax = std::abs(dx);
    const std::int64_t ay = std::abs(dy);
    std::int64_t x = x1;
    std::int64_t y = y1;
    std::int64_t error = ax - ay;
    for (std::int64_t i = 0; i < steps; ++i) {
        points.emplace_back(static_cast<int>(x), static_cast<int>(y));
        const std::int64_t twice = 2 * error;
        if (twice > -ay) {
            error -= ay;
            x += sx;
        }
        if (twice < ax) {
            error += ax;
            y += sy;
        }
    }
    painter.drawPoints(points.data(), static_cast<int>(points.size()));
}

}  // namespace

void CHandwright::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        storePoint(ar, m_x1, m_y1);
        storePoint(ar, m_x2, m_y2);
        ar << static_cast<std::uint32_t>(m_color) << m_width;
        return;
    }
    const PointBlock start = loadPoint(ar);
    m_x1 = start.x;
    m_y1 = start.y;
    const PointBlock end = loadPoint(ar);
    m_x2 = end.x;
    m_y2 = end.y;
    std::uint32_t color = 0;
    ar >> color;
    m_color = color;
    ar >> m_width;
}

void CHandwright::Draw(QPainter& painter) const {
    if (m_x1 == m_x2 && m_y1 == m_y2) {
        return;
    }
    const QColor color = toQColor(m_color);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    const std::int64_t dx = std::int64_t{m_x2} - m_x1;
    const std::int64_t dy = std::int64_t{m_y2} - m_y1;
    if (m_width <= 1 && std::max(std::abs(dx), std::abs(dy)) <= kMaxStepwiseLength) {
        painter.setPen(QPen(color, 1));
        drawThinLine(painter, m_x1, m_y1, dx, dy);
    } else {
        // Flat caps on the line between pixel centres, pulled back by a small
        // fraction of a pixel along its direction: the sampling then takes the
        // start column or row and leaves the end one, whichever way it runs.
        const QLineF line(m_x1 + 0.5, m_y1 + 0.5, m_x2 + 0.5, m_y2 + 0.5);
        const double length = line.length();
        const QPointF back(-kPullBack * line.dx() / length, -kPullBack * line.dy() / length);
        painter.setPen(
            QPen(color, std::max(1, m_width), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        painter.drawLine(line.translated(back));
    }
    painter.restore();
}

}  // namespace kalvo
