#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "common/TempDir.h"
#include "common/WriteFault.h"
#include "tovik/calibration/CalibrationGeometry.h"
#include "tovik/calibration/FolderCalibrationFiles.h"
#include "tovik/calibration/HeadlessCanvas.h"

namespace tovik {
namespace {

TEST(BoardGeometry, ScreenOf1024x768GivesTheDocumentedSquaresAndCorners) {
    const BoardCell cell = BoardCellFor({1024, 768});

    EXPECT_FLOAT_EQ(cell.cw, 118.0f);
    EXPECT_NEAR(cell.ch, 114.666667, 1e-5);
    const std::vector<cv::Vec4i> squares = BoardSquares(cell);
    ASSERT_EQ(squares.size(), 24u);
    EXPECT_EQ(squares[0], cv::Vec4i(40, 40, 158, 154));
    EXPECT_EQ(squares[1], cv::Vec4i(276, 40, 394, 154));
    EXPECT_EQ(squares[4], cv::Vec4i(158, 154, 276, 269));  // odd rows start one square in
    EXPECT_EQ(squares[23], cv::Vec4i(866, 613, 984, 728));
    std::vector<cv::Point2f> corners(35), targets;
    for (int k = 0; k < 35; ++k) {  // upright camera, list from the top-left corner
        corners[k] = {100.0f + 10.0f * (k % 7), 100.0f + 10.0f * (k / 7)};
    }
    ASSERT_EQ(AssignBoardTargets(corners, cell, targets), 1);
    EXPECT_FLOAT_EQ(targets[0].x, 158.0f);
    EXPECT_NEAR(targets[0].y, 154.67, 0.005);
    EXPECT_FLOAT_EQ(targets[1].x, 40 + 2 * cell.cw);
    EXPECT_NEAR(targets[7].y, 40 + 2 * cell.ch, 1e-4);
    EXPECT_FLOAT_EQ(targets[34].x, 866.0f);
    EXPECT_NEAR(targets[34].y, 613.33, 0.005);
}

TEST(BoardGeometry, BoardDrawnOnTheCanvasIsBlackExactlyOnTheSquares) {
    HeadlessCanvas canvas({1024, 768});
    canvas.Show(false);

    DrawBoard(canvas, BoardCellFor({1024, 768}));

    const cv::Mat img = canvas.image();
    const auto black = [&](int x, int y) { return img.at<cv::Vec3b>(y, x) == cv::Vec3b(0, 0, 0); };
    EXPECT_TRUE(black(40, 40));
    EXPECT_TRUE(black(157, 153));
    EXPECT_FALSE(black(158, 100));  // right edge exclusive
    EXPECT_FALSE(black(100, 154));  // bottom edge exclusive
    EXPECT_FALSE(black(39, 40));
    EXPECT_TRUE(black(158, 154));  // first square of the second row
    EXPECT_EQ(cv::countNonZero(img.reshape(1) == 0), 3 * 24 * 118 * 115 - 3 * 12 * 118);
}

// Camera points equal their screen positions (an upright camera with the
// screen's own scale), listed in each of the eight orders a corner finder
// may use; every layout must send each corner back onto itself.
TEST(BoardGeometry, AllEightListOrdersRecoverTheCornerPositions) {
    const BoardCell cell = BoardCellFor({1024, 768});
    const auto at = [&](int c, int r) {
        return cv::Point2f(40 + (c + 1) * cell.cw, 40 + (r + 1) * cell.ch);
    };
    struct Order {
        bool rowWise, xForward, yForward;
        int layout;
    };
    const Order orders[] = {
        {true, true, true, 1},   {true, true, false, 2},   {true, false, true, 3},
        {true, false, false, 4}, {false, true, true, 5},   {false, false, true, 6},
        {false, true, false, 7}, {false, false, false, 8},
    };
    for (const Order& o : orders) {
        std::vector<cv::Point2f> corners;
        for (int outer = 0; outer < (o.rowWise ? 5 : 7); ++outer) {
            for (int inner = 0; inner < (o.rowWise ? 7 : 5); ++inner) {
                int c = o.rowWise ? inner : outer;
                int r = o.rowWise ? outer : inner;
                c = o.xForward ? c : 6 - c;
                r = o.yForward ? r : 4 - r;
                corners.push_back(at(c, r));
            }
        }
        std::vector<cv::Point2f> targets;

        EXPECT_EQ(AssignBoardTargets(corners, cell, targets), o.layout);

        ASSERT_EQ(targets.size(), 35u);
        for (int k = 0; k < 35; ++k) {
            EXPECT_NEAR(targets[k].x, corners[k].x, 1e-3) << "layout " << o.layout << " k " << k;
            EXPECT_NEAR(targets[k].y, corners[k].y, 1e-3) << "layout " << o.layout << " k " << k;
        }
    }
}

TEST(BoardGeometry, DiagonalFirstStepReadsColumnWiseAndBadListsAreRefused) {
    const BoardCell cell = BoardCellFor({1024, 768});
    std::vector<cv::Point2f> corners(35, cv::Point2f(0, 0));
    corners[1] = {5, 5};  // |dx| == |dy|
    corners[5] = {20, 0};
    std::vector<cv::Point2f> targets;

    EXPECT_EQ(AssignBoardTargets(corners, cell, targets), 5);
    EXPECT_FLOAT_EQ(targets[5].x, 40 + 2 * cell.cw);  // the second column starts at 5
    corners[1] = {-5, -5};
    corners[5] = {-20, 0};
    EXPECT_EQ(AssignBoardTargets(corners, cell, targets), 8);

    corners.pop_back();
    EXPECT_EQ(AssignBoardTargets(corners, cell, targets), 0);
    EXPECT_TRUE(targets.empty());
}

TEST(DotGeometry, CentresFollowTheIntegerSteps) {
    const auto d = DotCentres({1024, 768});
    for (size_t k = 0; k < d.size(); ++k) {  // rows of three, left to right
        EXPECT_EQ(d[k],
                  cv::Point(std::array{58, 512, 966}[k % 3], std::array{58, 384, 710}[k / 3]));
    }

    const auto wide = DotCentres({1365, 768});
    EXPECT_EQ(wide[1].x, 58 + 624);
    EXPECT_EQ(wide[2].x, 1306);
    EXPECT_EQ(1365 - wide[2].x, 59);
}

TEST(DotGeometry, DotCoversSixteenPixelsAcrossInItsColour) {
    HeadlessCanvas canvas({200, 200});
    canvas.Show(true);

    canvas.Dot(58, 58, DotColour::Red);

    const cv::Mat img = canvas.image();
    EXPECT_EQ(img.at<cv::Vec3b>(58, 58), cv::Vec3b(0, 0, 255));
    EXPECT_EQ(img.at<cv::Vec3b>(58, 46), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(img.at<cv::Vec3b>(58, 68), cv::Vec3b(255, 255, 255));
    cv::Mat red;
    cv::inRange(img, cv::Scalar(0, 0, 250), cv::Scalar(5, 5, 255), red);
    const cv::Rect box = cv::boundingRect(red);
    EXPECT_GE(box.x, 50);
    EXPECT_LE(box.x + box.width, 66);
    EXPECT_GE(box.width, 13);
    canvas.Dot(58, 58, DotColour::Green);
    EXPECT_EQ(canvas.image().at<cv::Vec3b>(58, 58), cv::Vec3b(0, 255, 0));
}

TEST(Reprojection, MeanAndLargestDistanceInScreenPixels) {
    const cv::Matx33f h(2, 0, 10, 0, 2, 20, 0, 0, 1);
    const std::vector<cv::Point2f> camera{{0, 0}, {10, 10}, {5, 0}, {0, 5}};
    const std::vector<cv::Point2f> screen{{10, 20}, {30, 40}, {23, 24}, {10, 30}};

    const CalibrationReport r =
        MeasureReprojection(h, camera, screen, CalibrationReport::Kind::Manual);

    EXPECT_EQ(r.points, 4);
    EXPECT_NEAR(r.maxError, 5.0, 1e-9);
    EXPECT_NEAR(r.meanError, 1.25, 1e-9);
}

TEST(CalibrationFiles, MatrixIsYamlUnderItsNameAndImagesAreBitmaps) {
    tktest::TempDir dir;
    FolderCalibrationFiles files(dir.path());
    const cv::Matx33f h(1.5f, 0, -3, 0.25f, 2, 7, 0.001f, 0, 1);
    cv::Mat img(48, 64, CV_8UC3);
    cv::randu(img, 0, 256);

    ASSERT_TRUE(files.SaveMatrix("HomographyMat.txt", "HomographyMat", h));
    ASSERT_TRUE(files.SaveImage("Gg.bmp", img));

    const std::string text = tktest::readBytes(dir.file("HomographyMat.txt"));
    EXPECT_NE(text.find("%YAML"), std::string::npos);
    EXPECT_NE(text.find("HomographyMat: !!opencv-matrix"), std::string::npos) << text;
    EXPECT_NE(text.find("rows: 3"), std::string::npos);
    EXPECT_NE(text.find("cols: 3"), std::string::npos);
    EXPECT_NE(text.find("dt: f"), std::string::npos);
    cv::FileStorage fs(dir.file("HomographyMat.txt"), cv::FileStorage::READ);
    cv::Mat back;
    fs["HomographyMat"] >> back;
    ASSERT_EQ(back.type(), CV_32F);
    EXPECT_EQ(cv::norm(back, cv::Mat(h), cv::NORM_INF), 0.0);
    EXPECT_EQ(tktest::readBytes(dir.file("Gg.bmp")).substr(0, 2), "BM");
    const cv::Mat read = cv::imread(dir.file("Gg.bmp"), cv::IMREAD_UNCHANGED);
    ASSERT_EQ(read.size(), img.size());
    EXPECT_EQ(cv::norm(read, img, cv::NORM_INF), 0.0);
}

TEST(CalibrationFiles, UnwritableFolderFailsAndLeavesNoTemporaryFile) {
    tktest::TempDir dir;
    FolderCalibrationFiles files(dir.file("missing"));

    EXPECT_FALSE(files.SaveImage("Gg.bmp", cv::Mat(4, 4, CV_8UC3, cv::Scalar::all(9))));
    EXPECT_FALSE(files.SaveMatrix("HomographyMat.txt", "HomographyMat", cv::Matx33f::eye()));
    EXPECT_FALSE(FolderCalibrationFiles(dir.path()).SaveImage("e.bmp", cv::Mat()));

    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(CalibrationFiles, FullDiskKeepsTheEarlierFilesAndNamesTheFirstFailure) {
    tktest::TempDir dir;
    FolderCalibrationFiles files(dir.path());
    ASSERT_TRUE(files.SaveImage("Gg.bmp", cv::Mat(4, 4, CV_8UC3, cv::Scalar::all(9))));
    ASSERT_TRUE(files.SaveMatrix("HomographyMat.txt", "HomographyMat", cv::Matx33f::eye()));
    const std::string image = tktest::readBytes(dir.file("Gg.bmp"));
    const std::string matrix = tktest::readBytes(dir.file("HomographyMat.txt"));
    EXPECT_EQ(files.takeError(), "");

    {
        tktest::ScopedWriteFault fault(30, ENOSPC);
        EXPECT_FALSE(files.SaveImage("Gg.bmp", cv::Mat(40, 40, CV_8UC3, cv::Scalar::all(1))));
        EXPECT_FALSE(files.SaveMatrix("HomographyMat.txt", "HomographyMat", cv::Matx33f::zeros()));
    }

    EXPECT_EQ(tktest::readBytes(dir.file("Gg.bmp")), image);
    EXPECT_EQ(tktest::readBytes(dir.file("HomographyMat.txt")), matrix);
    EXPECT_EQ(tktest::entryCount(dir.path()), 2u);
    const std::string error = files.takeError();
    EXPECT_NE(error.find(dir.file("Gg.bmp") + "：磁盘已满"), std::string::npos) << error;
    EXPECT_EQ(files.takeError(), "");
}

}  // namespace
}  // namespace tovik
