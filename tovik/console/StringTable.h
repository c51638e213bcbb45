#pragma once
// The console's string table: number to text, as the dialogs and messages
// use them. Numbers are kept so that code reads like the resource it mirrors.

#include <string_view>

#include <QString>

namespace tovik {

struct StringEntry {
    int id;
    std::string_view text;
};

inline constexpr StringEntry kStringTable[] = {
    {101, "关于 Tovik(&A)..."},
    {102, "Vesko-控制台"},
    {103, "校准"},
    {104, "自动(&A)"},
    {105, "手动(&M)"},
    {106, "命令"},
    {107, "运行(&R)"},
    {108, "暂停(&P)"},
    {109, "继续"},
    {110, "设置"},
    {111, "高级设置(&S)"},
    {112, "显示状态↓"},
    {113, "隐藏状态↑"},
    {114, "帮助"},
    {115, "打开画面"},
    {116, "关闭画面"},
    {117, "最小化(&N)"},
    {118, "退出"},
    {119, "视觉跟踪参数"},
    {120, "检测阈值"},
    {121, "最小光斑"},
    {122, "最大光斑"},
    {123, "允差"},
    {124, "激活鼠标左键"},
    {125, "摄像头设置"},
    {126, "曝光时间"},
    {127, "载入默认设置"},
    {128, "运行状态"},
    {129, "帧/秒"},
    {130, "左键"},
    {131, "面积"},
    {132, "采样间隔"},
    {133, "确定"},
    {134, "取消"},
    {135, "标定完成"},
    {136, "秒后自动运行..."},
    {137, "立即运行"},
    {138, "稍后运行"},
    {140, "已有一个Vesko控制台程序在运行"},
    {141, "提示"},
    {142, "请将Vesko与电脑连接"},
    {143, "摄像头出错"},
    {144, "信息"},
    {147, "自动标定"},
    {148, "手动9点标定"},
    {149, "修改软件参数"},
    {150, "是否真的退出？"},
    {151, "摄像头模式已改变，请点击“标定”按钮重新进行标定"},
    {152, "请先标定"},
    {153, "按下"},
    {154, "弹起"},
    {155, "请重新标定"},
    {156, "双击此处可恢复窗口"},
    {157, "显示主界面"},
    {158, "关闭"},
    {159, "手动标定：请用交互笔点击屏幕上的红点。退出请按Esc键"},
    {160, "选择摄像头"},
    {161, "自动对码"},
    // Right click by holding the pen still, the largest-error advice and the
    // stored calibration.
    {180, "长按右键(毫秒)"},
    {181, "半径"},
    {182, "最大误差超过 10 像素，建议重新标定"},
    {183, "使用保存的标定 %1（%2 标定）"},
    {184, "保存的标定不可用：%1"},
    // Files that could not be written (the reason follows on its own line),
    // and a "Screen" setting that names no monitor.
    {185, "设置未能保存"},
    {186, "标定文件未能保存"},
    {187, "找不到显示器“%1”，改用主显示器 %2"},
    // A calibration refused by its checks: what failed and what to do; then
    // what stays in use. The check points measured after a calibration.
    {190,
     "标定失败：看不出屏幕的方向（方向标记看不清）。请让整个屏幕都在摄像头画面中，"
     "避免强光照在屏幕上，然后重新标定"},
    {191, "标定失败：摄像头看屏幕的角度太斜。请把摄像头移到更正对屏幕的位置，然后重新标定"},
    {192,
     "标定失败：屏幕有一部分不在摄像头画面中。请移动摄像头，使整个屏幕都在画面中，"
     "然后重新标定"},
    {193, "标定失败：算出的屏幕方向与标定图案不符。请重新标定"},
    {194,
     "标定失败：标定点误差过大。请确认标定时摄像头和屏幕都没有移动、屏幕没有被遮挡；"
     "镜头畸变明显的摄像头请在高级设置中打开“镜头畸变校正”，然后重新标定"},
    {195,
     "标定失败：用其余标定点推算某一点时误差过大。请确认标定时屏幕没有被遮挡；"
     "镜头畸变明显的摄像头请在高级设置中打开“镜头畸变校正”，然后重新标定"},
    {196, "手动标定失败：有一个红点被点击了两次。请重新标定，每个红点只点一次"},
    {197, "手动标定失败：红点的点击顺序不对。请重新标定，按红点出现的顺序逐个点击"},
    {198,
     "标定失败：校验点不在预计的位置，误差过大。请确认摄像头和屏幕都没有移动；"
     "镜头畸变明显的摄像头请在高级设置中打开“镜头畸变校正”，然后重新标定"},
    {199, "仍使用原来的标定。"},
    {200, "尚未标定。"},
    {201, "；校验点实测最大偏差 %1 像素"},
    {202, "；校验已跳过"},
};

// The text of a string number; empty for a number the table does not hold.
[[nodiscard]] constexpr std::string_view StringText(int id) {
    for (const auto& e : kStringTable) {
        if (e.id == id) {
            return e.text;
        }
    }
    return {};
}

[[nodiscard]] inline QString LoadString(int id) {
    const auto text = StringText(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace tovik
