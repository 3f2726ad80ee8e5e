// The program's one window, Form1: the extension boxes, the buttons, the status label and the
// menu bar. It owns the workflow state and routes every event to a command.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/win32_handles.h"
#include "platform/win32_platform.h"
#include "ui/dpi.h"
#include "workflow/commands.h"
#include "workflow/form_state.h"
#include "workflow/form_view.h"

namespace tav::ui {

// The fonts of the controls, made for one DPI.
struct ControlFonts {
  win32::UniqueFont box;      // the extension boxes
  win32::UniqueFont caption;  // Label1, Label3 and the buttons
  win32::UniqueFont status;   // Label2
};

class MainWindow final : public FormView {
 public:
  explicit MainWindow(HINSTANCE instance) : instance_(instance) {}
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates and shows the window with its controls, then runs the start-up step and takes the
  // path named on the command line, if any.
  bool Create(int showCommand, const std::optional<std::wstring>& path);

  // Delivers messages until the window is gone; the exit code of the program.
  int RunMessageLoop();

  std::wstring Text1() const override;
  void SetText1(const std::wstring& text) override;
  std::wstring Text2() const override;
  void SetText2(const std::wstring& text) override;
  bool Closed() const override { return window_ == nullptr; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  bool RegisterWindowClass() const;
  ControlFonts CreateFonts(UINT dpi) const;
  void CreateControls(UINT dpi);
  void ApplyDpi(UINT dpi, const RECT* suggestedWindowRect);
  void SizeWindowToClient(UINT dpi);
  void OnCommand(int id);
  void OnDropFiles(HDROP drop);
  void RunExclusive(const std::function<void()>& command);
  void RunCommand(int id);
  void OnActivate(WPARAM wParam);
  void ShowCurrentFolder();
  void ShowHelp();
  void ShowAbout();
  HWND Control(int id) const { return ::GetDlgItem(window_, id); }

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HWND lastFocus_ = nullptr;  // the control that gets the focus back when the window is activated
  DpiSupport dpi_;
  ControlFonts fonts_;
  std::wstring statusCaption_;  // what the status label shows
  // True while a command runs: its notice or the Open dialog may be on the screen, and a click
  // that still reaches the window then (a queued or automated one) must not start another.
  bool commandRunning_ = false;

  FormState state_;
  Win32Platform platform_;
  Commands commands_{state_, *this, platform_};
};

}  // namespace tav::ui
