#pragma once
// Command and control numbers of the console and its dialogs. Every widget's
// objectName is its number, so tests and automation find it.

namespace tovik::ids {

// Common commands.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int AboutCommand = 16;  // the About entry of the window menu

// Main console (dialog 201).
inline constexpr int AutoCalibrate = 1005;
inline constexpr int Run = 1006;
inline constexpr int Pause = 1007;
inline constexpr int About = 1008;
inline constexpr int ManualCalibrate = 1009;
inline constexpr int FrameCountEdit = 1025;
inline constexpr int ButtonStateEdit = 1026;
inline constexpr int Picture = 1027;
inline constexpr int FpsEdit = 1028;
inline constexpr int SpotCountEdit = 1029;
inline constexpr int PosXEdit = 1030;
inline constexpr int PosYEdit = 1031;
inline constexpr int AutoThresholdEdit = 1032;
inline constexpr int IntervalSlider = 1036;
inline constexpr int TogglePicture = 1040;
inline constexpr int AdjustCamera = 1047;
inline constexpr int Minimize = 1057;
inline constexpr int AdvancedSettings = 1058;
inline constexpr int IntervalEdit = 1066;
inline constexpr int ToggleStatus = 1067;
inline constexpr int ShowConsole = 1071;
inline constexpr int Exit = IDCANCEL;

// Tray icon.
inline constexpr int TrayIconId = 200;
inline constexpr int TrayCallback = 1001;

// Advanced settings (dialog 203).
namespace setting {
inline constexpr int Amp = 1000;
inline constexpr int Area = 1001;
inline constexpr int Defaults = 1003;
inline constexpr int Move = 1004;
inline constexpr int Exposure = 1005;
inline constexpr int MouseLeft = 1035;
inline constexpr int F13Trig = 1036;
inline constexpr int AreaUp = 1054;
inline constexpr int Device = 1074;
inline constexpr int AutoTh = 1078;
// Rows added below the original controls.
inline constexpr int Screen = 1100;
}  // namespace setting

// Camera selection (dialog 204).
namespace select {
inline constexpr int SelectDevice = 1051;
inline constexpr int DeviceList = 1052;
inline constexpr int Preview = 1053;
inline constexpr int VideoProperties = 1055;
}  // namespace select

// Count-down (dialog 202).
namespace countdown {
inline constexpr int Text = 1072;
}

}  // namespace tovik::ids
