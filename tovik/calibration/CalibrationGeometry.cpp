#include "tovik/calibration/CalibrationGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <opencv2/calib3d.hpp>

#include "tovik/calibration/LensEstimate.h"
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

constexpr int kMarkInset = 4;       // from the screen edges
constexpr int kMarkThickness = 32;  // of each bar; the margin is 40
constexpr int kMarkClearance = 30;  // bars end this short of the black squares
// Grey levels between the black and the white squares below which the
// picture is too flat to read.
constexpr double kMinContrast = 12.0;
// The mark must be darker than its turned place by this share of the contrast.
constexpr double kMarkShare = 0.4;

// The mark's two bars as left, top, right, bottom (right and bottom exclusive).
std::array<cv::Vec4i, 2> markBars(BoardCell cell, common::ScreenSize screen) {
    const auto margin = static_cast<float>(kBoardMargin);
    const int squareTop = static_cast<int>(margin + 5.0f * cell.ch);
    const int squareRight = static_cast<int>(margin + cell.cw);
    const int bottom = screen.height - kMarkInset;
    return {cv::Vec4i(kMarkInset, squareTop + kMarkClearance, kMarkInset + kMarkThickness, bottom),
            cv::Vec4i(kMarkInset, bottom - kMarkThickness, squareRight - kMarkClearance, bottom)};
}

// Screen points along the middle of both bars, clear of their ends.
std::vector<cv::Point2f> markSamples(BoardCell cell, common::ScreenSize screen) {
    std::vector<cv::Point2f> points;
    const auto bars = markBars(cell, screen);
    const float mid = static_cast<float>(kMarkInset) + kMarkThickness / 2.0f - 0.5f;
    const float v = static_cast<float>(screen.height - kMarkInset) - kMarkThickness / 2.0f - 0.5f;
    for (float y = static_cast<float>(bars[0][1]) + 8.0f; y < v; y += 6.0f) {
        points.emplace_back(mid, y);
    }
    for (float x = mid + 6.0f; x < static_cast<float>(bars[1][2]) - 8.0f; x += 6.0f) {
        points.emplace_back(x, v);
    }
    return points;
}

// Screen to camera through a homography to straightened camera points and
// the lens; a grey level read as the 3 x 3 mean there, -1 outside the image.
class PictureSampler {
public:
    PictureSampler(const cv::Mat& grey, const cv::Matx33d& toCamera, const LensModel& lens)
        : grey_(grey), toCamera_(toCamera), lens_(lens) {}

    [[nodiscard]] double at(cv::Point2f screenPoint) const {
        const cv::Vec3d p = toCamera_ * cv::Vec3d(screenPoint.x, screenPoint.y, 1.0);
        if (std::fabs(p[2]) < 1e-12) {
            return -1;
        }
        const cv::Point2f c = lens_.distort(
            cv::Point2f(static_cast<float>(p[0] / p[2]), static_cast<float>(p[1] / p[2])));
        const int x = static_cast<int>(std::lround(c.x));
        const int y = static_cast<int>(std::lround(c.y));
        if (x < 1 || y < 1 || x >= grey_.cols - 1 || y >= grey_.rows - 1) {
            return -1;
        }
        return cv::mean(grey_(cv::Rect(x - 1, y - 1, 3, 3)))[0];
    }
    // Mean over the points; -1 when any lies outside the image.
    [[nodiscard]] double mean(const std::vector<cv::Point2f>& points) const {
        double sum = 0;
        for (const cv::Point2f& p : points) {
            const double g = at(p);
            if (g < 0) {
                return -1;
            }
            sum += g;
        }
        return points.empty() ? -1 : sum / static_cast<double>(points.size());
    }

private:
    const cv::Mat& grey_;
    cv::Matx33d toCamera_;
    const LensModel& lens_;
};

// The targets of the row-major 7 x 5 grid, mirrored left-right (flip bit 0)
// and upside down (bit 1) as asked; flip 3 is the board turned by 180 degrees.
std::vector<cv::Point2f> gridReading(int flip, BoardCell cell) {
    std::vector<cv::Point2f> reading(static_cast<size_t>(kBoardCorners));
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 7; ++c) {
            const int bc = (flip & 1) != 0 ? 6 - c : c;
            const int br = (flip & 2) != 0 ? 4 - r : r;
            reading[static_cast<size_t>(7 * r + c)] = DrawnCornerPosition(bc, br, cell);
        }
    }
    return reading;
}

}  // namespace

void DrawOrientationMark(CalibrationCanvas& canvas, BoardCell cell, common::ScreenSize screen) {
    for (const cv::Vec4i& bar : markBars(cell, screen)) {
        canvas.Rectangle(bar[0], bar[1], bar[2], bar[3]);
    }
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

BoardOrientation OrientBoardTargets(const cv::Mat& grey, const std::vector<cv::Point2f>& corners,
                                    BoardCell cell, common::ScreenSize screen) {
    if (grey.empty() || grey.type() != CV_8UC1 ||
        corners.size() != static_cast<size_t>(kBoardCorners)) {
        return {};
    }
    BoardOrientation result;
    // The four readings fit the corners equally well (they differ by a
    // symmetry of the grid), so any one gives the lens and the mapping the
    // picture is sampled through. The lens matters: the mark lies beyond the
    // outer corners, where a wide-angle lens bends the picture most.
    const std::vector<cv::Point2f> plain = gridReading(0, cell);
    const LensModel lens = EstimateLens(corners, plain, grey.size()).value_or(LensModel{});
    cv::Mat h;
    try {
        h = cv::findHomography(plain, lens.undistort(corners), 0);
    } catch (const cv::Exception&) {
        return result;
    }
    if (h.rows != 3 || h.cols != 3) {
        return result;
    }
    const PictureSampler picture(grey, cv::Matx33d(h), lens);
    const auto right = static_cast<float>(screen.width - 1);
    const auto low = static_cast<float>(screen.height - 1);
    result.screenInView = true;
    for (const cv::Point2f corner :
         {cv::Point2f(0, 0), cv::Point2f(right, 0), cv::Point2f(right, low), cv::Point2f(0, low)}) {
        result.screenInView = result.screenInView && picture.at(corner) >= 0;
    }

    // Squares: black where r + c is even. A mirrored view reads them swapped.
    double black = 0;
    double white = 0;
    const auto margin = static_cast<float>(kBoardMargin);
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 8; ++c) {
            const double g = picture.at({margin + (static_cast<float>(c) + 0.5f) * cell.cw,
                                         margin + (static_cast<float>(r) + 0.5f) * cell.ch});
            if (g < 0) {
                return result;
            }
            ((r + c) % 2 == 0 ? black : white) += g / 24.0;
        }
    }
    const double contrast = std::fabs(white - black);
    if (contrast < kMinContrast) {
        return result;
    }
    const int flip = white > black ? 0 : 1;
    const std::vector<cv::Point2f> reading = gridReading(flip, cell);
    // In this reading the mark's place and its place in the turned board.
    // The sampling mapping is that of reading 0; a mirrored reading takes the
    // mark's mirror image to read the same pixels.
    std::vector<cv::Point2f> mark = markSamples(cell, screen);
    std::vector<cv::Point2f> turned;
    const auto w = static_cast<float>(screen.width - 1);
    const auto hgt = static_cast<float>(screen.height - 1);
    for (cv::Point2f& p : mark) {
        if (flip == 1) {
            p.x = w - p.x;
        }
        turned.emplace_back(w - p.x, hgt - p.y);
    }
    const double atMark = picture.mean(mark);
    const double atTurned = picture.mean(turned);
    if (atMark < 0 || atTurned < 0) {
        return result;
    }
    if (atTurned - atMark > kMarkShare * contrast) {
        result.targets = reading;
    } else if (atMark - atTurned > kMarkShare * contrast) {
        result.targets = gridReading(flip ^ 3, cell);
    }
    return result;
}

}  // namespace tovik
