// The pictures of the README: TAV as a user sees it at each step. The driver brings the program
// into each state and asks the script that started it (scripts/pictures) to photograph the screen
// there; the script answers on standard input once it has.
#include <string>

#include "tests/e2e/scenarios.h"
#include "ui/control_ids.h"

namespace tav::e2e {
namespace {

// Prints "# picture NAME WIDTHxHEIGHT+LEFT+TOP" for the window's rectangle once it has painted
// itself afresh, and waits for the script's answer line.
bool Photograph(Report& report, const std::wstring& name, HWND window) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT rect{};
  GetWindowRect(window, &rect);
  report.Note(L"picture " + name + L" " + std::to_wstring(rect.right - rect.left) + L"x" +
              std::to_wstring(rect.bottom - rect.top) + L"+" + std::to_wstring(rect.left) + L"+" +
              std::to_wstring(rect.top));
  char c = 0;
  DWORD read = 0;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  while (ReadFile(input, &c, 1, &read, nullptr) && read == 1 && c != '\n') {
  }
  return report.Check(read == 1, L"picture " + name + L" taken", L"an answer",
                      L"standard input closed");
}

}  // namespace

void TakePictures(Session& session, const std::wstring& cRoot) {
  TavApp& app = session.app();
  Report& report = session.report();
  const unsigned dpi = DpiOf(app.main);
  const std::wstring main = dpi == 96 ? L"main" : L"main-" + std::to_wstring(dpi);
  if (!Photograph(report, main, app.main) || dpi != 96) return;

  // Way 1 of the README: a file picked with 目录, then 开始.
  const std::wstring file = cRoot + L"\\IMG_0001.JPEG";
  WriteBytes(file, "jpeg");
  WriteBytes(cRoot + L"\\IMG_0002.JPEG", "jpeg");
  session.SetBoxes(L"", L"jpg");
  if (!session.Pick(L"目录 IMG_0001.JPEG", file)) return;
  if (!Photograph(report, L"picked", app.main)) return;
  session.ClickStart();
  if (const auto notice = session.TakeNotice(L"开始")) {
    Photograph(report, L"notice", notice->box);
    AnswerNotice(notice->box, IDOK);
  }

  session.Menu(ids::kMenuHelp);
  if (const auto notice = session.TakeNotice(L"帮助")) {
    Photograph(report, L"help", notice->box);
    AnswerNotice(notice->box, IDOK);
  }
}

}  // namespace tav::e2e
