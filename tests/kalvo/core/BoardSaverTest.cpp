#include "kalvo/core/BoardSaver.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <QImageReader>
#include <QPainter>

#include <deque>
#include <filesystem>
#include <fstream>
#include <set>

#include "common/TempDir.h"
#include "common/WriteFault.h"

namespace kalvo {
namespace {

namespace fs = std::filesystem;

using tktest::TempDir;

std::set<std::string> filesIn(const TempDir& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        names.insert(e.path().filename().string());
    }
    return names;
}

// The folder dialog: gives its answers in turn, then cancels.
class ScriptedChooser final : public FolderChooser {
public:
    explicit ScriptedChooser(std::deque<std::optional<std::string>> given = {})
        : answers(std::move(given)) {}
    std::optional<std::string> chooseFolder(const std::string& title,
                                            const std::string& startPath) override {
        titles.push_back(title);
        starts.push_back(startPath);
        std::optional<std::string> answer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        return answer;
    }

    std::deque<std::optional<std::string>> answers;
    std::vector<std::string> titles;
    std::vector<std::string> starts;
};

std::tm at(int year, int mon, int day, int h, int m, int s) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = mon - 1;
    t.tm_mday = day;
    t.tm_hour = h;
    t.tm_min = m;
    t.tm_sec = s;
    return t;
}

ScreenCapture capture(int w, int h, QRgb fill, int bpp = 32) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    return {img, bpp};
}

const std::string kBinFolder = TK_BINARY_DIR "/bin/";

TEST(BoardSaver, BaseNameHasNoLeadingZeros) {
    EXPECT_EQ(imageBaseName(at(2011, 5, 27, 9, 3, 7)), "2011-5-27-9-3-7");
    EXPECT_EQ(imageBaseName(at(2024, 12, 31, 23, 59, 0)), "2024-12-31-23-59-0");
}

TEST(BoardSaver, WithoutConverterOnlyTheBitmapIsWritten) {
    TempDir program, target;
    ScriptedChooser chooser({target.path()});
    BoardSaver saver(program.path(), chooser, [] { return at(2011, 5, 27, 9, 3, 7); });

    const SaveResult r = saver.save(capture(7, 3, qRgb(10, 20, 30), 24));

    EXPECT_EQ(r, SaveResult::SavedBmp);
    EXPECT_EQ(filesIn(target), std::set<std::string>{"2011-5-27-9-3-7.bmp"});
    EXPECT_EQ(saver.lastSavedPath(), target.path() + "/2011-5-27-9-3-7.bmp");
    EXPECT_EQ(fs::file_size(saver.lastSavedPath()), 54u + 24u * 3u);
    EXPECT_TRUE(fs::is_directory(program.path() + "/img"));
    EXPECT_EQ(chooser.titles, std::vector<std::string>{"Please Select Folder"});
    EXPECT_EQ(chooser.starts, std::vector<std::string>{program.path() + "/img"});
}

TEST(BoardSaver, WithConverterOnlyTheJpegRemainsAndDecodesToTheScreenSize) {
    ASSERT_TRUE(fs::exists(kBinFolder + "jpgdll.so")) << "build the jpgdll target first";
    TempDir target;
    ScriptedChooser chooser({target.path()});
    BoardSaver saver(kBinFolder, chooser, [] { return at(2020, 1, 2, 3, 4, 5); });

    const SaveResult r = saver.save(capture(33, 17, qRgb(200, 40, 40)));

    EXPECT_EQ(r, SaveResult::SavedJpeg);
    EXPECT_EQ(filesIn(target), std::set<std::string>{"2020-1-2-3-4-5.jpg"});
    QImageReader reader(QString::fromStdString(target.path() + "/2020-1-2-3-4-5.jpg"));
    const QImage jpeg = reader.read();
    ASSERT_FALSE(jpeg.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(jpeg.size(), QSize(33, 17));
    const QColor c = jpeg.pixelColor(16, 8);
    EXPECT_NEAR(c.red(), 200, 8);
    EXPECT_NEAR(c.green(), 40, 8);
}

TEST(BoardSaver, FormatKeyChoosesBitmapOnlyOrPngWithTheSameName) {
    ASSERT_TRUE(fs::exists(kBinFolder + "jpgdll.so")) << "build the jpgdll target first";
    TempDir target;
    ScriptedChooser chooser({target.path()});
    int second = 0;
    BoardSaver saver(kBinFolder, chooser, [&] { return at(2020, 1, 2, 3, 4, second++); });
    QImage picture(9, 5, QImage::Format_RGB32);
    picture.fill(qRgb(10, 20, 30));
    picture.setPixel(8, 4, qRgb(250, 0, 7));

    saver.setFormat(parseSaveFormat("BMP"));
    EXPECT_EQ(saver.save({picture, 32}), SaveResult::SavedBmp);  // converter present, unused
    saver.setFormat(parseSaveFormat("png"));
    EXPECT_EQ(saver.save({picture, 32}), SaveResult::SavedPng);

    EXPECT_EQ(filesIn(target), (std::set<std::string>{"2020-1-2-3-4-0.bmp", "2020-1-2-3-4-1.png"}));
    const QImage png(QString::fromStdString(saver.lastSavedPath()));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), picture);  // lossless
    EXPECT_EQ(parseSaveFormat("jpeg"), SaveFormat::Jpg);
    EXPECT_EQ(parseSaveFormat("gif"), SaveFormat::Default);
}

TEST(BoardSaver, JpegLeftByAConverterReportingFailureIsTheSavedImage) {
    const std::string faulty = TK_BINARY_DIR "/faulty_converter/";
    ASSERT_TRUE(fs::exists(faulty + "jpgdll.so")) << "build the faulty_converter target first";
    TempDir target;
    ScriptedChooser chooser({target.path()});
    BoardSaver saver(faulty, chooser, [] { return at(2020, 1, 2, 3, 4, 5); });

    const SaveResult r = saver.save(capture(8, 8, qRgb(1, 2, 3)));

    EXPECT_EQ(r, SaveResult::SavedJpeg);
    EXPECT_EQ(filesIn(target), std::set<std::string>{"2020-1-2-3-4-5.jpg"});
    EXPECT_EQ(saver.lastSavedPath(), target.path() + "/2020-1-2-3-4-5.jpg");

    // Saved again in the same second by a converter that leaves nothing: the
    // .jpg of the first save must not pass for this one.
    ::setenv("FAULTY_CONVERTER_WRITES_NOTHING", "1", 1);
    const SaveResult again = saver.save(capture(8, 8, qRgb(1, 2, 3)));
    ::unsetenv("FAULTY_CONVERTER_WRITES_NOTHING");

    EXPECT_EQ(again, SaveResult::ConverterFailed);
    EXPECT_EQ(filesIn(target), std::set<std::string>{"2020-1-2-3-4-5.bmp"});
    EXPECT_EQ(saver.lastSavedPath(), target.path() + "/2020-1-2-3-4-5.bmp");
    EXPECT_NE(saver.lastError().find("没有生成 JPEG"), std::string::npos) << saver.lastError();
}

TEST(BoardSaver, InstalledProgramOpensOnThePicturesFolderAndUsesItsLibraryFolder) {
    ASSERT_TRUE(fs::exists(kBinFolder + "jpgdll.so")) << "build the jpgdll target first";
    TempDir program, home;
    const std::string pictures = home.path() + "/Pictures/kalvo/";
    ScriptedChooser chooser({home.path()});
    BoardSaver saver(program.path(), chooser, [] { return at(2020, 1, 2, 3, 4, 5); });
    saver.setConverterFolder(kBinFolder);
    saver.setImageFolder(pictures);

    const SaveResult r = saver.save(capture(8, 8, qRgb(1, 2, 3)));

    EXPECT_EQ(r, SaveResult::SavedJpeg);
    EXPECT_TRUE(filesIn(program).empty()) << "nothing is created beside an installed program";
    EXPECT_TRUE(fs::is_directory(pictures));
    EXPECT_EQ(chooser.starts, std::vector<std::string>{home.path() + "/Pictures/kalvo"});
}

TEST(BoardSaver, TwoSavesInOneSecondReplaceTheFirst) {
    TempDir program, target;
    ScriptedChooser chooser({target.path()});
    BoardSaver saver(program.path(), chooser, [] { return at(2011, 5, 27, 9, 3, 7); });

    ASSERT_EQ(saver.save(capture(4, 4, qRgb(1, 2, 3))), SaveResult::SavedBmp);
    ASSERT_EQ(saver.save(capture(8, 2, qRgb(1, 2, 3))), SaveResult::SavedBmp);

    EXPECT_EQ(filesIn(target), std::set<std::string>{"2011-5-27-9-3-7.bmp"});
    EXPECT_EQ(fs::file_size(target.path() + "/2011-5-27-9-3-7.bmp"), 54u + 32u * 2u);
    EXPECT_EQ(chooser.titles.size(), 1u);
}

TEST(BoardSaver, FolderIsAskedOncePerRunAndAgainAfterACancel) {
    TempDir program, target;
    ScriptedChooser chooser({std::nullopt, target.path()});
    int second = 0;
    BoardSaver saver(program.path(), chooser, [&] { return at(2011, 1, 1, 0, 0, second++); });

    EXPECT_EQ(saver.save(capture(2, 2, 0)), SaveResult::Cancelled);
    EXPECT_FALSE(saver.folderChosen());
    EXPECT_EQ(saver.save(capture(2, 2, 0)), SaveResult::SavedBmp);
    EXPECT_EQ(saver.save(capture(2, 2, 0)), SaveResult::SavedBmp);

    EXPECT_EQ(chooser.titles.size(), 2u);
    EXPECT_TRUE(saver.folderChosen());
    EXPECT_EQ(saver.saveFolder(), target.path() + "/");
    EXPECT_EQ(filesIn(target), (std::set<std::string>{"2011-1-1-0-0-1.bmp", "2011-1-1-0-0-2.bmp"}));
}

TEST(BoardSaver, UnwritableFolderSavesNothingAndLeavesNoStrayFile) {
    TempDir program, target;
    const std::string blocker = target.path() + "/plainfile";
    std::ofstream(blocker) << "x";
    ScriptedChooser chooser({blocker + "/sub"});
    BoardSaver saver(program.path(), chooser);

    const SaveResult r = saver.save(capture(5, 5, 0));

    EXPECT_EQ(r, SaveResult::WriteFailed);
    EXPECT_EQ(filesIn(target), std::set<std::string>{"plainfile"});
    EXPECT_TRUE(saver.folderChosen());  // asked once: a later save fails the same way
    saver.setFormat(SaveFormat::Png);
    EXPECT_EQ(saver.save(capture(5, 5, 0)), SaveResult::WriteFailed);
    EXPECT_EQ(chooser.titles.size(), 1u);
    EXPECT_NE(saver.lastError().find(".png："), std::string::npos) << saver.lastError();
}

TEST(BoardSaver, DiskFullMidWriteKeepsTheEarlierPictureAndSaysWhy) {
    TempDir program, target;
    ScriptedChooser chooser({target.path()});
    BoardSaver saver(program.path(), chooser, [] { return at(2011, 5, 27, 9, 3, 7); });
    ASSERT_EQ(saver.save(capture(4, 4, qRgb(1, 2, 3))), SaveResult::SavedBmp);
    const std::string path = target.path() + "/2011-5-27-9-3-7.bmp";
    const auto before = fs::file_size(path);

    SaveResult r;
    {
        tktest::ScopedWriteFault fault(100, ENOSPC);
        r = saver.save(capture(64, 64, qRgb(9, 9, 9)));
    }

    EXPECT_EQ(r, SaveResult::WriteFailed);
    EXPECT_EQ(filesIn(target), std::set<std::string>{"2011-5-27-9-3-7.bmp"});
    EXPECT_EQ(fs::file_size(path), before);
    EXPECT_NE(saver.lastError().find("磁盘已满"), std::string::npos) << saver.lastError();
    EXPECT_EQ(saver.save(capture(4, 4, 0)), SaveResult::SavedBmp);
    EXPECT_EQ(saver.lastError(), "");
}

TEST(BoardSaver, InvalidCaptureIsRefusedBeforeAskingForAFolder) {
    TempDir program;
    ScriptedChooser chooser;
    BoardSaver saver(program.path(), chooser);

    EXPECT_EQ(saver.save({QImage(), 32}), SaveResult::InvalidImage);
    EXPECT_EQ(saver.save(capture(2, 2, 0, 8)), SaveResult::InvalidImage);
    EXPECT_EQ(chooser.titles.size(), 0u);
}

TEST(BoardSaver, DefaultFolderFallsBackWhenTheProgramFolderIsNotWritable) {
    TempDir dir;
    const std::string blocker = dir.path() + "/prog";
    std::ofstream(blocker) << "x";  // a file: nothing can be created "inside" it
    const std::string fallback = dir.path() + "/pictures/kalvo/";

    const std::string folder = prepareDefaultImageFolder(blocker, fallback);
    const std::string normal = prepareDefaultImageFolder(dir.path(), fallback);

    EXPECT_EQ(folder, dir.path() + "/pictures/kalvo");
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(normal, dir.path() + "/img");
    EXPECT_TRUE(fs::is_directory(normal));
}

// The converter itself, loaded the way Kalvo loads it.
class JpgDll : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = ::dlopen((kBinFolder + "jpgdll.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << ::dlerror();
        convert_ =
            reinterpret_cast<int (*)(const char*, const char*)>(::dlsym(handle_, "BmpToJpg"));
        ASSERT_NE(convert_, nullptr);
    }
    void TearDown() override {
        if (handle_) {
            ::dlclose(handle_);
        }
    }
    // The bytes as a file of the test's folder; its path.
    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        const std::string path = dir_.file(name);
        EXPECT_TRUE(common::writeFileSafely(
            path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
        return path;
    }

    void* handle_ = nullptr;
    int (*convert_)(const char*, const char*) = nullptr;
    TempDir dir_;
};

TEST_F(JpgDll, ConvertsBottomUpAndTopDownBitmapsOfBothDepths) {
    // Top half red, bottom half blue: the orientation must survive.
    QImage img(21, 10, QImage::Format_RGB32);
    img.fill(qRgb(0, 0, 255));
    QPainter(&img).fillRect(0, 0, 21, 5, QColor(255, 0, 0));
    for (const int bpp : {24, 32}) {
        for (const bool topDown : {false, true}) {
            SCOPED_TRACE(testing::Message() << bpp << (topDown ? " top-down" : " bottom-up"));
            auto bytes = BmpWriter::encode({topDown ? img.mirrored(false, true) : img, bpp});
            if (topDown) {
                const std::int32_t negative = -10;
                std::memcpy(&bytes[22], &negative, 4);
            }
            const std::string bmp = write("in.bmp", bytes);
            const std::string jpg = dir_.path() + "/out.jpg";

            ASSERT_EQ(convert_(bmp.c_str(), jpg.c_str()), 0);

            const QImage out(QString::fromStdString(jpg));
            ASSERT_EQ(out.size(), QSize(21, 10));
            EXPECT_GT(qRed(out.pixel(10, 1)), 200);
            EXPECT_GT(qBlue(out.pixel(10, 8)), 200);
        }
    }
}

TEST_F(JpgDll, BadInputGivesAnErrorAndWritesNothing) {
    const auto good = BmpWriter::encode({QImage(16, 16, QImage::Format_RGB32), 24});
    std::vector<std::vector<std::uint8_t>> bad;
    bad.emplace_back(good.begin(), good.begin() + 200);  // truncated pixel rows
    bad.emplace_back(good.begin(), good.begin() + 20);   // truncated header
    bad.emplace_back(300, std::uint8_t{0x5A});           // garbage
    const auto patched = [&](std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes) {
        auto out = good;
        for (const auto& [at, value] : bytes) {
            out[at] = value;
        }
        return out;
    };
    bad.push_back(patched({{18, 0xFF}, {19, 0xFF}, {20, 0xFF}, {21, 0x7F}}));  // width 2^31-1
    bad.push_back(patched({{30, 1}}));                                         // compressed
    bad.push_back(patched({{28, 8}}));                                         // palette depth
    bad.push_back(patched({{10, 0xF0}, {11, 0xFF}}));  // pixel data beyond the end

    const std::string jpg = dir_.path() + "/out.jpg";
    for (std::size_t i = 0; i < bad.size(); ++i) {
        const std::string bmp = write("bad" + std::to_string(i) + ".bmp", bad[i]);
        EXPECT_NE(convert_(bmp.c_str(), jpg.c_str()), 0) << i;
    }
    EXPECT_NE(convert_((dir_.path() + "/missing.bmp").c_str(), jpg.c_str()), 0);
    EXPECT_NE(convert_(nullptr, jpg.c_str()), 0);
    EXPECT_NE(convert_(dir_.path().c_str(), jpg.c_str()), 0);  // a folder
    EXPECT_FALSE(fs::exists(jpg));
}

}  // namespace
}  // namespace kalvo
