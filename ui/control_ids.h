// Identifiers of the main window's controls and menu items. The end-to-end test driver finds
// the controls with GetDlgItem and activates menu items with WM_COMMAND, so these are fixed.
#pragma once

namespace tav::ids {

inline constexpr wchar_t kWindowClass[] = L"TAV.Form1";
inline constexpr wchar_t kWindowCaption[] = L"TAV";

inline constexpr int kText1 = 101;     // old extension
inline constexpr int kText2 = 102;     // new extension
inline constexpr int kLabel1 = 103;    // 修改前：
inline constexpr int kLabel2 = 104;    // status
inline constexpr int kLabel3 = 105;    // 修改后：
inline constexpr int kCommand1 = 106;  // 开始
inline constexpr int kCommand2 = 107;  // 退出

inline constexpr int kMenuDirectory = 201;  // ml 目录
inline constexpr int kMenuCreate = 202;     // cj 创建
inline constexpr int kMenuClear = 203;      // qc 清除
inline constexpr int kMenuHelp = 204;       // bz 帮助
inline constexpr int kMenuAbout = 205;      // gy 关于

}  // namespace tav::ids
