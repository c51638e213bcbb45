#pragma once
// Screen geometry of the two calibration patterns (the 8 x 6 chessboard and
// the nine dots), the screen targets of the board's inner corners, and the
// reprojection error of a computed homography.

#include <array>
#include <vector>

#include <opencv2/core.hpp>

#include "common/platform/ScreenInfo.h"
#include "tovik/calibration/CalibrationServices.h"

namespace tovik {

inline constexpr int kBoardMargin = 40;
inline const cv::Size kBoardPattern{7, 5};  // inner corners per row, rows
inline constexpr int kBoardCorners = 35;

// Width and height of one board square, single precision as the drawing and
// the targets use them: cw = (W - 80) * 0.125, ch = (H - 80) / 6.
struct BoardCell {
    float cw = 0.0f;
    float ch = 0.0f;
};
[[nodiscard]] BoardCell BoardCellFor(common::ScreenSize screen);

// The 24 black squares as left, top, right, bottom (right and bottom
// exclusive), row by row: rows start at 40 or 40 + cw and advance by 2 cw,
// each coordinate truncated toward zero.
[[nodiscard]] std::vector<cv::Vec4i> BoardSquares(BoardCell cell);

// Draws the board's black squares on the canvas.
void DrawBoard(CalibrationCanvas& canvas, BoardCell cell);

// An L-shaped black mark in the bottom-left margin, two bars 32 pixels thick
// along the left and bottom screen edges beside the board's white corner
// square. The board looks the same turned by 180 degrees; the mark does not,
// and it is large enough to survive a soft lens.
void DrawOrientationMark(CalibrationCanvas& canvas, BoardCell cell, common::ScreenSize screen);

// The screen position of inner corner (c, r) where the drawn squares meet:
// the truncated edge coordinates, in the pixel-centre convention (a square
// drawn from column 40 starts at 39.5).
[[nodiscard]] cv::Point2f DrawnCornerPosition(int c, int r, BoardCell cell);

// Each target moved onto the drawn edges it stands for (DrawnCornerPosition).
[[nodiscard]] std::vector<cv::Point2f> SnapToDrawnEdges(std::vector<cv::Point2f> targets);

// The screen targets of the corner finder's row-major 7 x 5 grid as the
// picture (`grey`, the smoothed frame in grey levels) shows the board: the
// colours of the squares tell a mirrored view, the orientation mark tells a
// view turned by 180 degrees. Empty when the picture does not tell (too
// little contrast, the mark out of view or not clearly darker than the place
// it would have in the turned board): the caller must not guess.
struct BoardOrientation {
    std::vector<cv::Point2f> targets;
    // Whether the screen's corners lie inside the picture (they do in every
    // reading alike).
    bool screenInView = false;
};
[[nodiscard]] BoardOrientation OrientBoardTargets(const cv::Mat& grey,
                                                  const std::vector<cv::Point2f>& corners,
                                                  BoardCell cell, common::ScreenSize screen);

// The nine dot centres, row by row from the top: (58 + j sx, 58 + i sy) with
// sx = (W - 116) / 2 and sy = (H - 116) / 2 in integers.
[[nodiscard]] std::array<cv::Point, 9> DotCentres(common::ScreenSize screen);

// Screen targets of the 35 corners in the order the corner finder listed
// them. The order is read from corners 0, 1, 5 and 7: row-wise when the first
// step runs more across than down (layouts 1 to 4), column-wise otherwise
// (layouts 5 to 8, ties included). Targets are single-precision running sums.
// Returns the layout (1..8), or 0 with `targets` empty when `corners` does not
// hold 35 points.
int AssignBoardTargets(const std::vector<cv::Point2f>& corners, BoardCell cell,
                       std::vector<cv::Point2f>& targets);

// Mean and largest distance, in screen pixels, between each camera point
// carried through `homography` (as tracking carries it) and its target.
[[nodiscard]] CalibrationReport MeasureReprojection(const cv::Matx33f& homography,
                                                    const std::vector<cv::Point2f>& camera,
                                                    const std::vector<cv::Point2f>& screen,
                                                    CalibrationReport::Kind kind);

}  // namespace tovik
