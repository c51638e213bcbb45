#include "kalvo/core/BoardSaver.h"

#ifdef _WIN32
// windows.h first: the other system headers build on it.
#include <windows.h>

#include <sys/stat.h>

#include "common/ini/win32/WidePath.h"
#else
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QImageWriter>
#include <QSaveFile>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/ini/ProgramPaths.h"

namespace kalvo {
namespace {

std::string withSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') {
        dir += '/';
    }
    return dir;
}

#ifdef _WIN32
// Paths are UTF-8; the wide calls take them as the user typed them.
bool isDirectory(const std::string& path) {
    const DWORD a = GetFileAttributesW(common::widePath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool exists(const std::string& path) {
    return GetFileAttributesW(common::widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int makeDir(const std::string& path) {
    return ::_wmkdir(common::widePath(path).c_str());
}

// True when the file is gone, also when there was none.
bool removeFile(const std::string& path) {
    return ::_wunlink(common::widePath(path).c_str()) == 0 || errno == ENOENT;
}
#else
bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

int makeDir(const std::string& path) {
    return ::mkdir(path.c_str(), 0755);
}

// True when the file is gone, also when there was none.
bool removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}
#endif

}  // namespace

SaveFormat parseSaveFormat(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "bmp") {
        return SaveFormat::Bmp;
    }
    if (lower == "jpg" || lower == "jpeg") {
        return SaveFormat::Jpg;
    }
    if (lower == "png") {
        return SaveFormat::Png;
    }
    return SaveFormat::Default;
}

std::string imageBaseName(const std::tm& t) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%d-%d-%d-%d-%d-%d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return buf;
}

// The folder without its trailing '/', created with its parents; the path
// is returned even when it could not be created.
std::string createFolder(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
    }
    return folder;
}

std::string userPicturesFolder() {
    return common::userPicturesDir() + "/kalvo/";
}

std::string prepareDefaultImageFolder(const std::string& programFolder,
                                      const std::string& fallback) {
    const std::string img = withSlash(programFolder) + "img";
    // A file of that name counts as present, as nothing may replace it.
    if (exists(img) || makeDir(img) == 0) {
        return img;
    }
    if (fallback.empty()) {
        return img;
    }
    return createFolder(fallback);
}

BoardSaver::LocalTimeFn BoardSaver::systemLocalTime() {
    return [] {
        const std::time_t now =
            std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
        std::tm t{};
#ifdef _WIN32
        ::localtime_s(&t, &now);
#else
        ::localtime_r(&now, &t);
#endif
        return t;
    };
}

BoardSaver::BoardSaver(std::string programFolder, FolderChooser& chooser, LocalTimeFn localTime)
    : programFolder_(withSlash(std::move(programFolder))),
      converterFolder_(programFolder_),
      chooser_(chooser),
      localTime_(std::move(localTime)),
      fallbackFolder_(userPicturesFolder()) {}

void BoardSaver::setConverterFolder(std::string folder) {
    converterFolder_ = withSlash(std::move(folder));
}

SaveResult BoardSaver::save(const ScreenCapture& capture) {
    if (capture.image.isNull() || (capture.bitsPerPixel != 24 && capture.bitsPerPixel != 32)) {
        return SaveResult::InvalidImage;
    }
    const std::string base = imageBaseName(localTime_());
    lastError_.clear();

    browseStartPath_ = imageFolder_.empty()
                           ? prepareDefaultImageFolder(programFolder_, fallbackFolder_)
                           : createFolder(imageFolder_);
    if (!folderChosen_) {
        const std::optional<std::string> chosen = chooser_.chooseFolder(
            kFolderTitle, isDirectory(browseStartPath_) ? browseStartPath_ : std::string());
        if (!chosen || chosen->empty()) {
            return SaveResult::Cancelled;
        }
        saveFolder_ = withSlash(*chosen);
        folderChosen_ = true;
    }

    if (format_ == SaveFormat::Png) {
        // Through a temporary file, as the bitmap: a failed write leaves nothing.
        const std::string pngPath = saveFolder_ + base + ".png";
        QSaveFile file(QString::fromStdString(pngPath));
        QImageWriter writer(&file, "png");
        const bool opened = file.open(QIODevice::WriteOnly);
        const bool written = opened && writer.write(capture.image);
        if (!written || !file.commit()) {
            const QString reason = opened && !written ? writer.errorString() : file.errorString();
            lastError_ = "无法写入 " + pngPath + "：" + reason.toStdString();
            return SaveResult::WriteFailed;
        }
        lastSavedPath_ = pngPath;
        return SaveResult::SavedPng;
    }

    const std::string bmpPath = saveFolder_ + base + ".bmp";
    if (const common::FileWriteResult r = BmpWriter::writeFile(capture, bmpPath); !r.ok()) {
        lastError_ = r.describe(bmpPath);
        return SaveResult::WriteFailed;
    }
    const std::string jpgPath = saveFolder_ + base + ".jpg";
    lastSavedPath_ = bmpPath;
    if (format_ == SaveFormat::Bmp) {
        return SaveResult::SavedBmp;
    }
    // The converter's result says nothing we rely on: the .jpg it leaves is
    // the saved image. One left by an earlier save in the same second must
    // not pass for it, so it goes first. Without a new one the .bmp stays,
    // so the save is never lost.
    const bool oldJpegGone = removeFile(jpgPath);
    if (!oldJpegGone || !convertToJpeg(bmpPath, jpgPath)) {
        return SaveResult::SavedBmp;
    }
    if (!exists(jpgPath)) {
        lastError_ = "转换程序没有生成 JPEG 文件，图片保存为 " + bmpPath;
        return SaveResult::ConverterFailed;
    }
    removeFile(bmpPath);
    lastSavedPath_ = jpgPath;
    return SaveResult::SavedJpeg;
}

bool BoardSaver::convertToJpeg(const std::string& bmpPath, const std::string& jpgPath) const {
    const std::string lib = converterFolder_ + kConverterLibrary;
    using Entry = int (*)(const char*, const char*);
#ifdef _WIN32
    // Loaded by its full path, so no other jpgdll.dll on the search path is taken.
    HMODULE handle =
        LoadLibraryExW(common::widePath(lib).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!handle) {
        return false;
    }
    auto entry =
        reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(handle, kConverterEntry)));
    if (entry) {
        (void)entry(bmpPath.c_str(), jpgPath.c_str());
    }
    FreeLibrary(handle);
#else
    void* handle = ::dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        return false;
    }
    // dlsym returns an object pointer; POSIX guarantees it converts to a function pointer.
    auto entry = reinterpret_cast<Entry>(::dlsym(handle, kConverterEntry));
    if (entry) {
        (void)entry(bmpPath.c_str(), jpgPath.c_str());
    }
    ::dlclose(handle);
#endif
    return entry != nullptr;
}

}  // namespace kalvo
