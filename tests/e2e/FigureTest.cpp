// The figure fits the screen and the pen scripts speak the simulator's
// control language in the order tracking needs.

#include <gtest/gtest.h>

#include <cmath>

#include "Figure.h"
#include "sim/PenCommand.h"

namespace e2e {
namespace {

const FigurePart kParts[] = {FigurePart::House, FigurePart::Star, FigurePart::Ok};

TEST(Figure, PartsLieInsideTheirOwnBoxesWhichStayApartOnTheScreen) {
    for (const cv::Size screen : {cv::Size(1280, 800), cv::Size(1024, 768), cv::Size(800, 600)}) {
        const cv::Rect2d bounds(0, 0, screen.width, screen.height);
        for (const FigurePart a : kParts) {
            const cv::Rect2d box = figureBox(a, screen);
            EXPECT_EQ((box & bounds), box);
            EXPECT_GT(box.width, 100);
            for (const FigurePart b : kParts) {
                if (a != b) {
                    EXPECT_TRUE((box & figureBox(b, screen)).empty());
                }
            }
            const std::vector<Stroke> strokes = figureStrokes(a, box, 0x0000FF);
            ASSERT_FALSE(strokes.empty());
            for (const Stroke& s : strokes) {
                EXPECT_EQ(s.color, 0x0000FFu);
                EXPECT_GE(s.points.size(), 2u);
                for (const cv::Point2d p : s.points) {
                    EXPECT_GE(p.x, box.x - 1e-9);
                    EXPECT_LE(p.x, box.x + box.width + 1e-9);
                    EXPECT_GE(p.y, box.y - 1e-9);
                    EXPECT_LE(p.y, box.y + box.height + 1e-9);
                }
            }
        }
    }
}

TEST(Figure, PartNamesAreRead) {
    FigurePart p = FigurePart::House;

    EXPECT_TRUE(parseFigurePart("star", p));
    EXPECT_EQ(p, FigurePart::Star);
    EXPECT_TRUE(parseFigurePart("ok", p));
    EXPECT_EQ(p, FigurePart::Ok);
    EXPECT_FALSE(parseFigurePart("House", p));
    EXPECT_FALSE(parseFigurePart("", p));
}

TEST(Figure, PenScriptDrawsEachStrokeLitWithTheButtonDownAndGlidesWithoutJumps) {
    const PenTiming timing{400, 90, 110, 160};
    const std::vector<Stroke> strokes =
        figureStrokes(FigurePart::House, figureBox(FigurePart::House, {1280, 800}), 0x0000FF);

    const std::vector<std::string> lines = penScript(strokes, timing);

    bool lit = false, button = false;
    int strokesSeen = 0;
    cv::Point2d pen(-1, -1);
    double drawn = 0;
    for (const std::string& line : lines) {
        std::string error;
        const auto c = sim::parsePenCommand(line, error);
        ASSERT_TRUE(c) << line << ": " << error;
        switch (c->kind) {
            case sim::PenCommand::Kind::Move:
                EXPECT_FALSE(lit) << "the pen jumps while lit";
                pen = {c->x1, c->y1};
                break;
            case sim::PenCommand::Kind::F13:
                EXPECT_FALSE(lit) << "the button changes while the spot shows";
                button = c->on;
                break;
            case sim::PenCommand::Kind::Lit:
                if (c->on) {
                    EXPECT_TRUE(button) << "lit without the button: tracking would ignore it";
                    ++strokesSeen;
                }
                lit = c->on;
                break;
            case sim::PenCommand::Kind::Path: {
                EXPECT_TRUE(lit);
                EXPECT_NEAR(c->x1, pen.x, 0.06);
                EXPECT_NEAR(c->y1, pen.y, 0.06);
                const double length = std::hypot(c->x2 - c->x1, c->y2 - c->y1);
                EXPECT_NEAR(c->ms, length / timing.speedPxPerS * 1000, 1.0);
                drawn += length;
                pen = {c->x2, c->y2};
                break;
            }
            default:
                break;
        }
    }
    EXPECT_FALSE(lit);
    EXPECT_FALSE(button);
    EXPECT_EQ(strokesSeen, static_cast<int>(strokes.size()));
    double figureLength = 0;
    for (const Stroke& s : strokes) {
        for (size_t i = 0; i + 1 < s.points.size(); ++i) {
            figureLength += cv::norm(s.points[i + 1] - s.points[i]);
        }
    }
    EXPECT_NEAR(drawn, figureLength, 1.0);
}

TEST(Figure, TapPressesAndReleasesAtOnePoint) {
    const std::vector<std::string> lines = tapScript({812, 33.5}, 150);

    int lit = 0, dark = 0, moves = 0;
    for (const std::string& line : lines) {
        std::string error;
        const auto c = sim::parsePenCommand(line, error);
        ASSERT_TRUE(c) << line << ": " << error;
        if (c->kind == sim::PenCommand::Kind::Move) {
            ++moves;
            EXPECT_DOUBLE_EQ(c->x1, 812);
            EXPECT_DOUBLE_EQ(c->y1, 33.5);
        }
        if (c->kind == sim::PenCommand::Kind::Lit) {
            (c->on ? lit : dark)++;
        }
    }
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(lit, 1);
    EXPECT_EQ(dark, 1);
}

}  // namespace
}  // namespace e2e
