#include "tovik/calibration/CalibrationGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <opencv2/calib3d.hpp>

#include "tovik/tracking/HomographyMap.h"

namespace tovik {

BoardCell BoardCellFor(common::ScreenSize screen) {
    BoardCell cell;
    cell.cw = static_cast<float>(screen.width - 2 * kBoardMargin) * 0.125f;
    cell.ch = static_cast<float>(screen.height - 2 * kBoardMargin) / 6.0f;
    return cell;
}

std::vector<cv::Vec4i> BoardSquares(BoardCell cell) {
    std::vector<cv::Vec4i> squares;
    squares.reserve(24);
    const auto margin = static_cast<float>(kBoardMargin);
    for (int r = 0; r < 6; ++r) {
        float left = r % 2 == 0 ? margin : margin + cell.cw;
        const float top = margin + static_cast<float>(r) * cell.ch;
        for (int k = 0; k < 4; ++k) {
            squares.emplace_back(static_cast<int>(left), static_cast<int>(top),
                                 static_cast<int>(left + cell.cw), static_cast<int>(top + cell.ch));
            left += 2.0f * cell.cw;
        }
    }
    return squares;
}

void DrawBoard(CalibrationCanvas& canvas, BoardCell cell) {
    for (const cv::Vec4i& s : BoardSquares(cell)) {
        canvas.Rectangle(s[0], s[1], s[2], s[3]);
    }
}

std::array<cv::Point, 9> DotCentres(common::ScreenSize screen) {
    const int sx = (screen.width - 116) / 2;
    const int sy = (screen.height - 116) / 2;
    std::array<cv::Point, 9> centres;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            centres[static_cast<size_t>(3 * i + j)] = cv::Point(58 + j * sx, 58 + i * sy);
        }
    }
    return centres;
}

int AssignBoardTargets(const std::vector<cv::Point2f>& corners, BoardCell cell,
                       std::vector<cv::Point2f>& targets) {
    targets.clear();
    if (corners.size() != static_cast<size_t>(kBoardCorners)) {
        return 0;
    }
    const cv::Point2f c0 = corners[0];
    const cv::Point2f c1 = corners[1];
    const cv::Point2f c5 = corners[5];
    const cv::Point2f c7 = corners[7];
    const float dx = c1.x - c0.x;
    const float dy = c1.y - c0.y;
    const auto margin = static_cast<float>(kBoardMargin);
    const float xFirst = margin + cell.cw;
    const float xLast = margin + 7.0f * cell.cw;
    const float yFirst = margin + cell.ch;
    const float yLast = margin + 5.0f * cell.ch;

    // Outer lines are rows (row-wise) or columns (column-wise) of the list;
    // along each outer line the inner coordinate restarts from its first value.
    int layout = 0;
    bool rowWise = std::fabs(dx) > std::fabs(dy);
    bool xForward = false;
    bool yForward = false;
    if (rowWise) {
        xForward = c1.x > c0.x;
        yForward = c7.y > c0.y;
        layout = xForward ? (yForward ? 1 : 2) : (yForward ? 3 : 4);
    } else {
        yForward = c1.y > c0.y;
        xForward = c5.x > c0.x;
        layout = yForward ? (xForward ? 5 : 6) : (xForward ? 7 : 8);
    }
    const float xStart = xForward ? xFirst : xLast;
    const float xStep = xForward ? cell.cw : -cell.cw;
    const float yStart = yForward ? yFirst : yLast;
    const float yStep = yForward ? cell.ch : -cell.ch;

    targets.resize(corners.size());
    if (rowWise) {
        float y = yStart;
        for (int r = 0; r < 5; ++r) {
            float x = xStart;
            for (int c = 0; c < 7; ++c) {
                targets[static_cast<size_t>(7 * r + c)] = {x, y};
                x += xStep;
            }
            y += yStep;
        }
    } else {
        float x = xStart;
        for (int o = 0; o < 7; ++o) {
            float y = yStart;
            for (int i = 0; i < 5; ++i) {
                targets[static_cast<size_t>(5 * o + i)] = {x, y};
                y += yStep;
            }
            x += xStep;
        }
    }
    return layout;
}

CalibrationReport MeasureReprojection(const cv::Matx33f& homography,
                                      const std::vector<cv::Point2f>& camera,
                                      const std::vector<cv::Point2f>& screen,
                                      CalibrationReport::Kind kind) {
    CalibrationReport report;
    report.kind = kind;
    const size_t n = std::min(camera.size(), screen.size());
    report.points = static_cast<int>(n);
    if (n == 0) {
        return report;
    }
    double sum = 0.0;
    for (size_t k = 0; k < n; ++k) {
        const cv::Vec3f o = ApplyHomography(homography, camera[k].x, camera[k].y);
        double error = std::numeric_limits<double>::infinity();
        if (o[2] != 0.0f) {
            const double X = static_cast<double>(o[0]) / o[2];
            const double Y = static_cast<double>(o[1]) / o[2];
            error = std::hypot(X - screen[k].x, Y - screen[k].y);
        }
        if (!std::isfinite(error)) {
            error = std::numeric_limits<double>::infinity();
        }
        sum += error;
        report.maxError = std::max(report.maxError, error);
    }
    report.meanError = sum / static_cast<double>(n);
    return report;
}

}  // namespace tovik

namespace tovik {

namespace {

constexpr int kMarkInset = 6;
constexpr int kMarkLeg = 28;

// Grey level at a camera point, or -1 outside the image.
double greyAt(const cv::Mat& grey, const cv::Matx33d& toCamera, cv::Point2f screenPoint) {
    const cv::Vec3d p = toCamera * cv::Vec3d(screenPoint.x, screenPoint.y, 1.0);
    if (std::fabs(p[2]) < 1e-12) {
        return -1;
    }
    const int x = static_cast<int>(std::lround(p[0] / p[2]));
    const int y = static_cast<int>(std::lround(p[1] / p[2]));
    if (x < 1 || y < 1 || x >= grey.cols - 1 || y >= grey.rows - 1) {
        return -1;
    }
    return cv::mean(grey(cv::Rect(x - 1, y - 1, 3, 3)))[0];
}

// Whether a reading of the corners fits the picture: the estimate is tight,
// black squares are darker than white ones, and the mark is where it belongs.
bool readingFits(const cv::Mat& grey, const std::vector<cv::Point2f>& corners,
                 const std::vector<cv::Point2f>& targets, BoardCell cell,
                 common::ScreenSize screen) {
    cv::Mat h;
    try {
        h = cv::findHomography(corners, targets, 0);
    } catch (const cv::Exception&) {
        return false;
    }
    if (h.rows != 3 || h.cols != 3) {
        return false;
    }
    const cv::Matx33d toScreen(h);
    const CalibrationReport fit = MeasureReprojection(cv::Matx33f(toScreen), corners, targets,
                                                      CalibrationReport::Kind::Automatic);
    if (!(fit.meanError < 3.0)) {
        return false;
    }
    const cv::Matx33d toCamera = toScreen.inv();
    double black = 0;
    double white = 0;
    const auto margin = static_cast<float>(kBoardMargin);
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 8; ++c) {
            const cv::Point2f centre(margin + (static_cast<float>(c) + 0.5f) * cell.cw,
                                     margin + (static_cast<float>(r) + 0.5f) * cell.ch);
            const double g = greyAt(grey, toCamera, centre);
            if (g < 0) {
                return false;
            }
            ((r + c) % 2 == 0 ? black : white) += g / 24.0;
        }
    }
    const double contrast = white - black;
    if (contrast < 8.0) {
        return false;
    }
    const cv::Point2f mark = OrientationMarkCentre(screen);
    const cv::Point2f opposite(static_cast<float>(screen.width) - mark.x,
                               static_cast<float>(screen.height) - mark.y);
    const double atMark = greyAt(grey, toCamera, mark);
    const double atOpposite = greyAt(grey, toCamera, opposite);
    return atMark >= 0 && atOpposite >= 0 && atOpposite - atMark > 0.3 * contrast;
}

}  // namespace

void DrawOrientationMark(CalibrationCanvas& canvas, common::ScreenSize screen) {
    const int bottom = screen.height - kMarkInset;
    for (int k = 0; k < kMarkLeg; ++k) {
        const int y = bottom - kMarkLeg + k;
        canvas.Rectangle(kMarkInset, y, kMarkInset + k + 1, y + 1);
    }
}

cv::Point2f OrientationMarkCentre(common::ScreenSize screen) {
    const float leg = kMarkLeg;
    return {kMarkInset + leg / 3.0f, static_cast<float>(screen.height - kMarkInset) - leg / 3.0f};
}

cv::Point2f DrawnCornerPosition(int c, int r, BoardCell cell) {
    const auto margin = static_cast<float>(kBoardMargin);
    const float x = margin + static_cast<float>(c + 1) * cell.cw;
    const float y = margin + static_cast<float>(r + 1) * cell.ch;
    // Truncated as the drawing truncates; a hair of tolerance keeps a float
    // just below a whole number on the whole number.
    return {std::floor(x + 1e-3f) - 0.5f, std::floor(y + 1e-3f) - 0.5f};
}

std::vector<cv::Point2f> SnapToDrawnEdges(std::vector<cv::Point2f> targets) {
    for (cv::Point2f& t : targets) {
        t = {std::floor(t.x + 1e-3f) - 0.5f, std::floor(t.y + 1e-3f) - 0.5f};
    }
    return targets;
}

std::vector<cv::Point2f> OrientBoardTargets(const cv::Mat& grey,
                                            const std::vector<cv::Point2f>& corners, BoardCell cell,
                                            common::ScreenSize screen,
                                            const std::vector<cv::Point2f>& targets) {
    if (grey.empty() || grey.type() != CV_8UC1 || corners.size() != targets.size() ||
        corners.size() != static_cast<size_t>(kBoardCorners)) {
        return targets;
    }
    if (readingFits(grey, corners, targets, cell, screen)) {
        return targets;
    }
    for (int flip = 0; flip < 4; ++flip) {
        std::vector<cv::Point2f> reading(corners.size());
        for (int r = 0; r < 5; ++r) {
            for (int c = 0; c < 7; ++c) {
                const int bc = (flip & 1) != 0 ? 6 - c : c;
                const int br = (flip & 2) != 0 ? 4 - r : r;
                reading[static_cast<size_t>(7 * r + c)] = DrawnCornerPosition(bc, br, cell);
            }
        }
        if (readingFits(grey, corners, reading, cell, screen)) {
            return reading;
        }
    }
    return targets;
}

}  // namespace tovik
