#pragma once
// Start-up: a camera must be present, no second copy may run, the camera
// opens, then the console runs for the life of the process.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "common/ini/ProgramPaths.h"
#include "tovik/console/CameraChoice.h"
#include "tovik/console/CameraDialogsQt.h"
#include "tovik/console/CommandLine.h"

namespace tovik {

class CTovikDlg;
class MessagePresenter;

// Exit codes of InitInstance.
namespace exitcode {
inline constexpr int Ok = 0;
inline constexpr int BadArguments = 2;
inline constexpr int NoDevice = 3;
inline constexpr int AlreadyRunning = 4;
inline constexpr int NoCamera = 5;
}  // namespace exitcode

class CTovikApp {
public:
    CTovikApp(CommandLine options, common::ProgramPaths paths, CameraChoice camera,
              MessagePresenter& messages);
    ~CTovikApp();

    // The whole start-up and the console's life; returns the exit code.
    int InitInstance();

    // When the camera cannot be opened at all: another device, or none to
    // quit. Default: a list dialog.
    std::function<std::optional<int>(const std::vector<DeviceInfo>&)> pickDevice;
    // Runs the console; default exec(). Tests drive the console instead.
    std::function<int(CTovikDlg&)> runConsole;
    std::string lockName = "TovikMainAppMutex";
    // The format page and the properties dialog the camera layer shows.
    [[nodiscard]] QtCameraDialogs& cameraDialogs() { return dialogs_; }

private:
    bool openCamera();

    CommandLine options_;
    common::ProgramPaths paths_;
    CameraChoice camera_;
    MessagePresenter& messages_;
    QtCameraDialogs dialogs_;
};

}  // namespace tovik
