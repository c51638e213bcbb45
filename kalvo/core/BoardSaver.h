#pragma once
// Saves a capture of the whole screen as an image file named from the local
// time, in a folder asked once per run. The optional converter library
// "jpgdll.so" (in the program's folder, or the private library folder of an
// installed program) turns the bitmap into a JPEG file; when it leaves one
// only the .jpg stays, otherwise the .bmp is the result.

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kalvo/core/BmpWriter.h"

namespace kalvo {

// The folder dialog, behind an interface so a save runs in a test.
class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // Returns the chosen folder, or nothing when the user cancels.
    [[nodiscard]] virtual std::optional<std::string> chooseFolder(const std::string& title,
                                                                  const std::string& startPath) = 0;
};

enum class SaveResult {
    SavedBmp,         // the .bmp file is the saved image
    SavedJpeg,        // the converter wrote the .jpg file; the .bmp was removed
    SavedPng,         // Qt's image writer wrote the .png file
    ConverterFailed,  // the converter ran but left no .jpg: the .bmp is the saved image
    Cancelled,        // the folder choice was cancelled: nothing written
    WriteFailed,      // the bitmap could not be written: nothing left behind
    InvalidImage,     // empty capture or unsupported depth
};

// Key "FORMAT" of section "SAVE" in kalvo.ini. Without the key a save writes
// the bitmap and the converter, when present, turns it into JPEG.
enum class SaveFormat {
    Default,
    Bmp,  // the bitmap only, the converter is not used
    Jpg,  // through the converter; the bitmap stays when it is missing
    Png,  // Qt's image writer: lossless and small
};
inline constexpr const char* kSaveSection = "SAVE";
inline constexpr const char* kSaveFormatKey = "FORMAT";

// "bmp", "jpg" (or "jpeg"), "png" in any case; anything else is Default.
[[nodiscard]] SaveFormat parseSaveFormat(std::string_view text);

// "%d-%d-%d-%d-%d-%d" of year, month, day, hour, minute, second.
[[nodiscard]] std::string imageBaseName(const std::tm& localTime);

// The user's pictures folder (common::userPicturesDir) followed by "/kalvo/".
[[nodiscard]] std::string userPicturesFolder();

// programFolder + "img", created when missing; when it cannot be created
// (the program's folder is not writable) `fallback` is created and used.
// The result has no trailing '/'. Returns the path even if nothing could be
// created: the folder dialog then opens without a preselection.
[[nodiscard]] std::string prepareDefaultImageFolder(const std::string& programFolder,
                                                    const std::string& fallback);

class BoardSaver {
public:
    using LocalTimeFn = std::function<std::tm()>;

#ifdef _WIN32
    static constexpr const char* kConverterLibrary = "jpgdll.dll";
#else
    static constexpr const char* kConverterLibrary = "jpgdll.so";
#endif
    static constexpr const char* kConverterEntry = "BmpToJpg";
    static constexpr const char* kFolderTitle = "Please Select Folder";

    // programFolder: the folder of the program file, with or without a
    // trailing '/'; the converter is looked up there at each save.
    BoardSaver(std::string programFolder, FolderChooser& chooser,
               LocalTimeFn localTime = systemLocalTime());

    // Writes the capture; the folder is asked on the first save of the run
    // and again after a cancelled choice.
    [[nodiscard]] SaveResult save(const ScreenCapture& capture);

    // Path of the last file written (.bmp or .jpg), empty before.
    [[nodiscard]] const std::string& lastSavedPath() const {
        return lastSavedPath_;
    }
    // Why the last save failed to write (or left only the .bmp where a .jpg
    // was due), in words for the user; empty after a save without trouble.
    [[nodiscard]] const std::string& lastError() const {
        return lastError_;
    }
    [[nodiscard]] bool folderChosen() const {
        return folderChosen_;
    }
    [[nodiscard]] const std::string& saveFolder() const {
        return saveFolder_;
    }  // ends in '/'
    [[nodiscard]] const std::string& browseStartPath() const {
        return browseStartPath_;
    }

    void setFormat(SaveFormat format) {
        format_ = format;
    }
    [[nodiscard]] SaveFormat format() const {
        return format_;
    }

    // The picture folder used when the program's folder is not writable.
    void setFallbackFolder(std::string folder) {
        fallbackFolder_ = std::move(folder);
    }
    // Where the converter is looked up instead of the program's folder.
    void setConverterFolder(std::string folder);
    // The folder the dialog opens on instead of img/ beside the program
    // (an installed program never writes beside itself); created when missing.
    void setImageFolder(std::string folder) {
        imageFolder_ = std::move(folder);
    }

    [[nodiscard]] static LocalTimeFn systemLocalTime();

private:
    // Runs the converter from the program's folder; false when there is none.
    [[nodiscard]] bool convertToJpeg(const std::string& bmpPath, const std::string& jpgPath) const;

    std::string programFolder_;
    std::string converterFolder_;
    FolderChooser& chooser_;
    LocalTimeFn localTime_;
    std::string fallbackFolder_;
    SaveFormat format_ = SaveFormat::Default;
    std::string imageFolder_;
    bool folderChosen_ = false;
    std::string saveFolder_;
    std::string browseStartPath_;
    std::string lastSavedPath_;
    std::string lastError_;
};

}  // namespace kalvo
