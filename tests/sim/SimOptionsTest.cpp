#include <gtest/gtest.h>

#include "sim/SimOptions.h"

namespace {

TEST(SimOptions, DefaultsAndEveryOption) {
    std::string error;
    const auto defaults = sim::parseSimOptions("", error);
    ASSERT_TRUE(defaults) << error;
    EXPECT_EQ(defaults->pose.name(), "keystone");
    EXPECT_EQ(defaults->fps, 30);
    EXPECT_EQ(defaults->sizes.front(), cv::Size(640, 480));

    const auto o = sim::parseSimOptions(
        "scene=screen,display=:7,area=1024x768+1280+16,pose=mirrored,count=3,fps=60,queue=5,noise="
        "1.5,seed=42,"
        "penradius=6,control=/tmp/c,script=/tmp/s,log=/tmp/l,refuse=gamma+hue,refuse=gain,"
        "missing=exposure,sizes=320x240+640x480,size=640x480,scenesize=1024x768",
        error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->scene, sim::SimOptions::Scene::Screen);
    EXPECT_EQ(o->display, ":7");
    EXPECT_EQ(o->area, cv::Rect(1280, 16, 1024, 768));
    EXPECT_EQ(o->pose.name(), "mirrored");
    EXPECT_EQ(o->count, 3);
    EXPECT_EQ(o->fps, 60);
    EXPECT_EQ(o->queue, 5);
    EXPECT_EQ(o->noise, 1.5);
    EXPECT_EQ(o->seed, 42u);
    EXPECT_EQ(o->penRadius, 6);
    EXPECT_EQ(o->control, "/tmp/c");
    EXPECT_EQ(o->script, "/tmp/s");
    EXPECT_EQ(o->log, "/tmp/l");
    EXPECT_EQ(o->refuse, (std::set<std::string>{"gain", "gamma", "hue"}));
    EXPECT_EQ(o->missing, std::set<std::string>{"exposure"});
    EXPECT_EQ(o->sizes, (std::vector<cv::Size>{{640, 480}, {320, 240}}));
    EXPECT_EQ(o->sceneSize, cv::Size(1024, 768));
}

TEST(SimOptions, BareSceneNameIsShortForTheSceneOption) {
    std::string error;

    const auto screen = sim::parseSimOptions("screen,pose=upright", error);
    const auto blank = sim::parseSimOptions("scene=screen,blank", error);

    ASSERT_TRUE(screen) << error;
    EXPECT_EQ(screen->scene, sim::SimOptions::Scene::Screen);
    EXPECT_EQ(screen->pose.name(), "upright");
    ASSERT_TRUE(blank) << error;
    EXPECT_EQ(blank->scene, sim::SimOptions::Scene::Blank);
    EXPECT_FALSE(sim::parseSimOptions("screens", error));
}

TEST(SimOptions, FreePoseKeepsItsCommas) {
    std::string error;
    const auto o = sim::parseSimOptions("pose=h:1,0,0,0,1,0,0,0,1,count=2", error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->pose.name(), "h");
    EXPECT_EQ(o->count, 2);
    // A full-frame identity pose maps screen corners to frame corners.
    const cv::Matx33d h = o->pose.homography({1280, 800}, {640, 480});
    cv::Point2d p;
    ASSERT_TRUE(sim::projectPoint(h, {1280, 800}, p));
    EXPECT_NEAR(p.x, 640, 1e-9);
    EXPECT_NEAR(p.y, 480, 1e-9);
}

TEST(SimOptions, BadOptionsAreExplained) {
    for (const char* bad : {"scene=window",
                            "count=-1",
                            "count=17",
                            "fps=fast",
                            "queue=0",
                            "noise=-1",
                            "penradius=0",
                            "refuse=zoom",
                            "missing=pen",
                            "size=640",
                            "size=640x0",
                            "sizes=640x480+big",
                            "pose=h:1,2,3",
                            "pose=h:0,0,0,0,0,0,0,0,0",
                            "pose=tilted",
                            "colour=red",
                            "fps",
                            "=3",
                            "count=2x",
                            "area=1024x768",
                            "area=1024x768+5",
                            "area=1024x768+-1+0",
                            "area=4x4+0+0"}) {
        std::string error;
        EXPECT_FALSE(sim::parseSimOptions(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

}  // namespace
