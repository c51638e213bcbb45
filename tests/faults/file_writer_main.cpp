// Writes the files both programs write, round after round, through their own
// writers, until it is killed: Tovik's settings and calibration files, Kalvo's
// preferences and a saved picture. Every value of round k is k, so a reader
// can tell a whole file from a mix of two rounds. Prints "written" once the
// first round is done.
//   tk_file_writer FOLDER

#include <cstdio>
#include <string>

#include <opencv2/core.hpp>

#include "kalvo/core/BmpWriter.h"
#include "kalvo/core/PenPreferences.h"
#include "tovik/calibration/FolderCalibrationFiles.h"
#include "tovik/tracking/SettingsFile.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tk_file_writer FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    tovik::FolderCalibrationFiles calibration(folder);
    QImage picture(1600, 1200, QImage::Format_RGB32);
    for (int k = 1;; ++k) {
        tovik::TrackingSettings settings;
        for (const tovik::SettingKey& key : tovik::SettingKeys()) {
            if (key.isText()) {
                settings.*key.text = std::to_string(k);
            } else {
                key.set(settings, k);
            }
        }
        (void)tovik::SaveSettings(settings, folder + "tovik.ini");

        kalvo::PenPreferences pen;
        pen.color = static_cast<kalvo::COLORREF>(k);
        pen.style = k;
        pen.width = k;
        (void)pen.save(folder + "kalvo.ini");

        picture.fill(qRgb(k & 0xFF, (k >> 8) & 0xFF, 7));
        (void)kalvo::BmpWriter::writeFile({picture, 24}, folder + "picture.bmp");

        (void)calibration.SaveImage("Gg.bmp",
                                    cv::Mat(480, 640, CV_8UC3, cv::Scalar::all(k & 0xFF)));
        (void)calibration.SaveMatrix("HomographyMat.txt", "HomographyMat",
                                     cv::Matx33f::eye() * static_cast<float>(k));
        if (k == 1) {
            // The killer waits for this, so its kills land among the writes.
            std::printf("written\n");
            std::fflush(stdout);
        }
    }
}
