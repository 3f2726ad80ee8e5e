// The program as a whole: its version record, its window, the Help and About notices, ending it,
// and a machine without drive D:.
#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

#include "tests/e2e/scenarios.h"
#include "ui/control_ids.h"

namespace tav::e2e {

namespace {

constexpr wchar_t kHelpText[] =
    L"方法1：单击菜单→目录→输入需要修改的扩展名→打开→同2，方法2：单击菜单→创建，创建工作目录，"
    L"请将需要修改的文件，放在工作目录中，将修改前的扩展名输入文本框中，将修改后的扩展名输入文本框"
    L"中，"
    L"打开工作目录tav.bat并运行，就OK了！（注：*表示修改所有文件。）";

std::wstring VersionString(const std::vector<char>& record, const std::wstring& key) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring query = L"\\StringFileInfo\\080404B0\\" + key;
  if (!VerQueryValueW(record.data(), query.c_str(), &value, &length) || !value) {
    return L"<missing>";
  }
  const auto* text = static_cast<const wchar_t*>(value);
  return std::wstring(text, wcsnlen(text, length));
}

constexpr wchar_t kNoWorkFolder[] = L"没有找到D:\\duzaz文件夹，请单击创建。";
// A key that opens a notice does so at once; a second is ample to be sure none comes.
constexpr DWORD kEnterQuietMs = 1000;

// The places and fonts of the controls as the user sees them, in twips and hundredths of a point:
// at 96 DPI 15 twips make a pixel, at 144 DPI 10.
struct ControlSpec {
  const wchar_t* name;
  int id;
  const wchar_t* className;
  const wchar_t* text;  // at start
  int left, top, width, height;
  int centipoints;  // of the 宋体 font; 0 for the system's message font
  // What a screen reader calls the control: a label or a button by its own text, a text box by
  // the label just before it in the window order.
  const wchar_t* spokenName;
};

constexpr ControlSpec kControls[] = {
    {L"Text1", ids::kText1, L"Edit", L"", 1200, 120, 1095, 495, 1425, L"修改前："},
    {L"Label1", ids::kLabel1, L"Static", L"修改前：", 240, 240, 855, 375, 1050, L"修改前："},
    {L"Text2", ids::kText2, L"Edit", L"", 1200, 840, 1095, 495, 1425, L"修改后："},
    {L"Label3", ids::kLabel3, L"Static", L"修改后：", 240, 960, 855, 375, 1050, L"修改后："},
    {L"开始", ids::kCommand1, L"Button", L"开始", 240, 2040, 855, 495, 1050, L"开始"},
    {L"退出", ids::kCommand2, L"Button", L"退出", 1560, 2040, 855, 495, 1050, L"退出"},
    {L"Label2", ids::kLabel2, L"Static", kFixedLabel, 240, 1560, 2175, 495, 0, kFixedLabel},
};

std::wstring ControlName(const TavApp& app, HWND window) {
  if (!window) return L"no window";
  if (window == app.main) return L"the window";
  for (const auto& spec : kControls) {
    if (window == GetDlgItem(app.main, spec.id)) return spec.name;
  }
  return L"another window";
}

bool ExpectFocus(Session& session, const std::wstring& what, HWND control) {
  const TavApp& app = session.app();
  HWND focus = nullptr;
  const bool there = WaitUntil(
      [&] {
        focus = FocusOf(app.main);
        return focus == control || !app.Running();
      },
      kShowWaitMs);
  return session.report().Check(there, what + L": the focus is on " + ControlName(app, control),
                                ControlName(app, control), ControlName(app, focus));
}

// The key goes where a real key press goes: to the control that has the focus, or to the window
// when none has it.
void PressKey(const TavApp& app, UINT key, wchar_t typed) {
  const HWND focus = FocusOf(app.main);
  PostKeyPress(focus ? focus : app.main, key, typed);
}

// Each puts the focus where one Enter case wants it; false when that did not work out.
bool FocusText1ByClick(Session& session, const std::wstring& what) {
  PostClick(session.app().text1);
  return ExpectFocus(session, what + L", after a click in Text1", session.app().text1);
}

bool FocusStartByClick(Session& session, const std::wstring& what) {
  // The click presses 开始 as well; once its notice closes, the focus comes back to the button.
  PostClick(session.app().start);
  session.ExpectNotice(what + L", the click itself", kNoWorkFolder, kNoticeTitle, NoticeIcon::Stop);
  return ExpectFocus(session, what + L", after the click's notice", session.app().start);
}

bool FocusStartByTab(Session& session, const std::wstring& what) {
  const TavApp& app = session.app();
  if (!FocusText1ByClick(session, what)) return false;
  PressKey(app, VK_TAB, L'\t');
  if (!ExpectFocus(session, what + L", after Tab in Text1", app.text2)) return false;
  PressKey(app, VK_TAB, L'\t');
  return ExpectFocus(session, what + L", after Tab in Text2", app.start);
}

// Waits for the process to end, watching that it shows no notice on the way.
void ExpectEndsQuietly(Report& report, TavApp& app, const std::wstring& what) {
  bool noticeShown = false;
  const bool ended = WaitUntil(
      [&] {
        if (WaitForNotice(app.processId(), 0, nullptr)) noticeShown = true;
        return !app.Running();
      },
      kShowWaitMs);
  report.Check(ended && !noticeShown, what + L" ends the process without a notice",
               L"the process gone " + Within(kShowWaitMs) + L", no notice",
               std::wstring(ended ? L"ended" : L"still running") +
                   (noticeShown ? L" after showing a notice" : L""));
}

// --- the window as the user sees it ---

// The items in order, each indented by its depth; an item that opens a submenu ends with ▸.
std::wstring MenuText(const std::vector<MenuEntry>& menu) {
  std::wstring text;
  for (const auto& entry : menu) {
    text += std::wstring(2 * static_cast<std::size_t>(entry.depth), L' ') + entry.caption +
            (entry.id < 0 ? L" ▸" : L"") + L"; ";
  }
  return text;
}

// Twips to pixels, rounded to the nearest pixel.
int Pixels(int twips, unsigned dpi) { return static_cast<int>((twips * dpi + 720) / 1440); }

std::wstring RectText(const RECT& r) {
  return std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L" " +
         std::to_wstring(r.right - r.left) + L"x" + std::to_wstring(r.bottom - r.top);
}

// Both edges are rounded, as a control spans from one twip position to another.
RECT ExpectedPlace(const ControlSpec& spec, unsigned dpi) {
  return {Pixels(spec.left, dpi), Pixels(spec.top, dpi), Pixels(spec.left + spec.width, dpi),
          Pixels(spec.top + spec.height, dpi)};
}

RECT PlaceInClient(HWND control, HWND window) {
  RECT place = {};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
  return place;
}

std::wstring FontText(const FontInfo& font) {
  return Quote(font.face) + L" height " + std::to_wstring(font.height) + L" charset " +
         std::to_wstring(font.charset) + L" weight " + std::to_wstring(font.weight);
}

// The message font is the system's for a window at dpi, whatever DPI the driver itself runs at.
FontInfo ExpectedFont(const ControlSpec& spec, unsigned dpi) {
  if (spec.centipoints == 0) {
    const auto font = MessageFontAt(dpi);
    if (!font) return {L"<SystemParametersInfoForDpi failed>", 0, 0, 0};
    return {font->lfFaceName, font->lfHeight, font->lfCharSet, static_cast<int>(font->lfWeight)};
  }
  const int height = static_cast<int>((spec.centipoints * dpi + 3600) / 7200);
  return {L"宋体", -height, GB2312_CHARSET, FW_NORMAL};
}

// The name a screen reader gives the control, found the way it finds it.
std::wstring SpokenName(HWND control) {
  if (_wcsicmp(ClassOf(control).c_str(), L"Edit") != 0) return TextOf(control);
  const HWND before = GetWindow(control, GW_HWNDPREV);
  if (!before || _wcsicmp(ClassOf(before).c_str(), L"Static") != 0) return L"";
  return TextOf(before);
}

// The measurements below hold only when the driver reads the window at the window's own DPI,
// and when that DPI is the one the phase was started for.
void CheckReadingDpi(Session& session, unsigned dpi) {
  Report& report = session.report();
  const DpiAwareness awareness = DriverDpiAwareness();
  report.Check(awareness == DpiAwareness::PerMonitor,
               L"the driver is per-monitor DPI aware, as TAV is", NameOf(DpiAwareness::PerMonitor),
               NameOf(awareness));
  const unsigned windowDpi = DpiOf(session.app().main);
  report.Check(
      windowDpi == dpi,
      L"TAV's window is at " + std::to_wstring(dpi) + L" DPI, the screen this phase checks",
      std::to_wstring(dpi) + L" DPI",
      windowDpi == 0 ? L"no answer from GetDpiForWindow"
                     : std::to_wstring(windowDpi) + L" DPI as the driver reads it");
}

void CheckControls(Session& session, unsigned dpi) {
  Report& report = session.report();
  TavApp& app = session.app();
  const std::wstring at = L" at " + std::to_wstring(dpi) + L" DPI";
  RECT client = {};
  GetClientRect(app.main, &client);
  report.Same(L"client area" + at, RectText({0, 0, Pixels(2565, dpi), Pixels(2685, dpi)}),
              RectText(client));
  Probe* probe = app.probe(report);
  for (const auto& spec : kControls) {
    const HWND control = GetDlgItem(app.main, spec.id);
    const std::wstring what = std::wstring(spec.name) + at;
    if (!report.Check(control != nullptr, what + L": the control exists", L"a window", L"none")) {
      continue;
    }
    report.Check(_wcsicmp(ClassOf(control).c_str(), spec.className) == 0, what + L": class",
                 spec.className, ClassOf(control));
    report.Same(what + L": text", spec.text, TextOf(control));
    report.Same(what + L": place in client pixels", RectText(ExpectedPlace(spec, dpi)),
                RectText(PlaceInClient(control, app.main)));
    if (probe) {
      const auto font = probe->ReadFont(control);
      const FontInfo expected = ExpectedFont(spec, dpi);
      report.Check(font == expected, what + L": font " + FontText(expected), FontText(expected),
                   font ? FontText(*font) : L"no font");
    }
    report.Same(what + L": the name a screen reader gives it", spec.spokenName,
                SpokenName(control));
  }
}

// Windows names a text box after the label just before it in the window order, so each label
// must come right before its box; the tab key visits the boxes and buttons only, in their order.
void CheckWindowOrder(Session& session) {
  Report& report = session.report();
  const TavApp& app = session.app();
  const struct {
    int box;
    int label;
  } pairs[] = {{ids::kText1, ids::kLabel1}, {ids::kText2, ids::kLabel3}};
  for (const auto& pair : pairs) {
    const HWND box = GetDlgItem(app.main, pair.box);
    const HWND before = GetWindow(box, GW_HWNDPREV);
    report.Same(L"window order: the window before " + ControlName(app, box),
                ControlName(app, GetDlgItem(app.main, pair.label)), ControlName(app, before));
  }
  std::wstring tabOrder;
  HWND control = app.text1;
  for (int i = 0; i < 5 && control; ++i) {
    tabOrder += (i ? L" → " : L"") + ControlName(app, control);
    control = GetNextDlgTabItem(app.main, control, FALSE);
  }
  report.Same(L"tab order", L"Text1 → Text2 → 开始 → 退出 → Text1", tabOrder);
}

// The colour on screen at two points, read once the window has stopped changing there.
std::pair<COLORREF, COLORREF> SettledPixels(POINT a, POINT b) {
  HDC screen = GetDC(nullptr);
  std::pair<COLORREF, COLORREF> last{CLR_INVALID, CLR_INVALID};
  for (int tries = 0; tries < 20; ++tries) {
    const std::pair<COLORREF, COLORREF> now{GetPixel(screen, a.x, a.y), GetPixel(screen, b.x, b.y)};
    if (now == last) break;
    last = now;
    Sleep(100);
  }
  ReleaseDC(nullptr, screen);
  return last;
}

std::wstring ColourText(COLORREF colour) {
  wchar_t text[16];
  swprintf(text, 16, L"#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return text;
}

// The status label's last row lies under the top edges of the buttons: the places overlap by a
// pixel at 100 % and two at 150 %. Whenever the label repaints, as it does after every pick, the
// buttons must stay whole: the top row of each is its border, not what the label paints between
// them.
void CheckButtonEdges(Session& session, unsigned dpi) {
  Report& report = session.report();
  const TavApp& app = session.app();
  const HWND label = GetDlgItem(app.main, ids::kLabel2);
  RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  RECT labelPlace = {}, start = {}, exit = {};
  GetWindowRect(label, &labelPlace);
  GetWindowRect(GetDlgItem(app.main, ids::kCommand1), &start);
  GetWindowRect(GetDlgItem(app.main, ids::kCommand2), &exit);
  const POINT between = {(start.right + exit.left) / 2, labelPlace.bottom - 1};
  for (const auto& [name, place] : {std::pair{L"开始", start}, std::pair{L"退出", exit}}) {
    const POINT edge = {(place.left + place.right) / 2, place.top};
    const auto [edgeColour, labelColour] = SettledPixels(edge, between);
    report.Check(edgeColour != labelColour,
                 std::wstring(name) + L" at " + std::to_wstring(dpi) +
                     L" DPI: its top edge shows over the status label after the label repaints",
                 L"a border unlike the label's " + ColourText(labelColour), ColourText(edgeColour));
  }
}

}  // namespace

void CheckVersionRecord(Report& report, const std::wstring& exe) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  std::vector<char> record(size);
  const bool present = size > 0 && GetFileVersionInfoW(exe.c_str(), 0, size, record.data());
  if (!report.Check(present, L"TAV.exe carries a version record", L"a record", L"none")) return;

  void* value = nullptr;
  UINT length = 0;
  std::wstring translation = L"none";
  if (VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", &value, &length) &&
      length >= 4) {
    const auto* words = static_cast<const WORD*>(value);
    wchar_t text[32];
    swprintf(text, 32, L"0x%04X/%u", words[0], words[1]);
    translation = text;
  }
  report.Same(L"version record: translation", L"0x0804/1200", translation);

  const struct {
    const wchar_t* key;
    const wchar_t* value;
  } strings[] = {
      {L"FileVersion", L"1.04"},         {L"ProductVersion", L"1.04"}, {L"ProductName", L"DERi1.4"},
      {L"FileDescription", L"DERi1.4"},  {L"Comments", L"DERi1.4"},    {L"InternalName", L"TAV"},
      {L"OriginalFilename", L"TAV.exe"},
  };
  for (const auto& entry : strings) {
    report.Same(L"version record: " + std::wstring(entry.key), entry.value,
                VersionString(record, entry.key));
  }
}

void CheckPlantedDlls(Session& session, const std::wstring& exe, const std::wstring& cRoot) {
  Report& report = session.report();
  Probe* probe = session.app().probe(report);
  if (!probe) return;
  const auto outcome = [](std::optional<DWORD> error) {
    return !error ? L"no answer" : *error == 0 ? L"loaded" : L"error " + std::to_wstring(*error);
  };
  // Copies of the probe: loadable DLLs of TAV's processor type, with names found nowhere else.
  const auto plant = [&](const std::wstring& what, const std::wstring& path) {
    const bool planted = CopyFileW(BesideDriver(kProbeDll).c_str(), path.c_str(), FALSE) != FALSE;
    const DWORD error = planted ? 0 : GetLastError();
    return report.Check(planted, what + L": planted", path, L"error " + std::to_wstring(error));
  };

  // Code loaded into TAV (an input method, a shell extension in the Open dialog) adds a folder of
  // its own DLLs to the search and loads them by their bare names.
  const std::wstring userFolder = cRoot + L"\\tav-added-dlls";
  const std::wstring userDll = L"tavplantuser.dll";
  const std::wstring userPath = userFolder + L"\\" + userDll;
  const std::wstring added = L"a DLL in a folder that code inside TAV adds with AddDllDirectory";
  CreateDirectoryW(userFolder.c_str(), nullptr);
  if (plant(added, userPath)) {
    const auto folder = probe->AddDllFolder(userFolder);
    report.Check(folder == 0, added + L": folder added", L"added", outcome(folder));
    const auto bare = probe->LoadDll(userDll);
    report.Check(bare == 0, added + L" loads by its bare name", L"loaded", outcome(bare));
    DeleteFileW(userPath.c_str());
  }

  const struct {
    const wchar_t* name;
    std::wstring folder;
    const wchar_t* where;
  } plants[] = {
      {L"tavplantexe.dll", exe.substr(0, exe.find_last_of(L"\\/")), L"beside TAV.exe"},
      {L"tavplantcwd.dll", cRoot, L"in TAV's current folder"},
  };
  for (const auto& planted : plants) {
    const std::wstring what = std::wstring(L"a DLL planted ") + planted.where;
    const std::wstring path = planted.folder + L"\\" + planted.name;
    if (!plant(what, path)) continue;
    // The bare name first: once loaded, a module is found by its name wherever it came from.
    const auto bare = probe->LoadDll(planted.name);
    const auto full = probe->LoadDll(path);
    DeleteFileW(path.c_str());
    report.Check(bare == ERROR_MOD_NOT_FOUND, what + L" is not loaded by its bare name",
                 L"error 126", outcome(bare));
    report.Check(full == 0, what + L" loads by its full path", L"loaded", outcome(full));
  }
}

void CheckFreshWindow(Session& session, unsigned dpi) {
  TavApp& app = session.app();
  ExpectFocus(session, L"at start", app.text1);
  session.report().Same(L"window caption", ids::kWindowCaption, TextOf(app.main));
  session.ExpectLabel2(L"after start", kFixedLabel);
  session.ExpectBoxes(L"after start", L"", L"");
  CheckReadingDpi(session, dpi);
  CheckControls(session, dpi);
  CheckWindowOrder(session);
  CheckButtonEdges(session, dpi);
}

void CheckHelpAndAbout(Session& session) {
  session.BeginStep();
  session.Menu(ids::kMenuHelp);
  session.ExpectNotice(L"帮助", kHelpText, L"帮助", NoticeIcon::Information);

  session.Menu(ids::kMenuAbout);
  if (const auto notice = session.TakeNotice(L"关于")) {
    const std::wstring& text = notice->text;
    const bool shaped = text.starts_with(L"DERi1.4，") && text.size() > 8 && text.ends_with(L"！");
    const bool framed = notice->title == L"关于" && notice->hasOk && notice->hasCancel &&
                        notice->icon == NoticeIcon::Information;
    session.report().Check(
        shaped && framed, L"关于: notice starting with \"DERi1.4，\" and ending with \"！\"",
        L"an information notice titled \"关于\" with OK+Cancel",
        Quote(text) + L" titled " + Quote(notice->title) + L", " + NameOf(notice->icon) +
            L" icon, OK " + (notice->hasOk ? L"yes" : L"no") + L", Cancel " +
            (notice->hasCancel ? L"yes" : L"no"));
    AnswerNotice(notice->box, IDCANCEL);
  }
  session.ExpectNothingTyped(L"Help and About");
  session.ExpectChanges(L"Help and About", {});
}

void CheckEnterKey(Session& session) {
  // The click comes first: the tab key makes 开始 the dialog manager's default button, which then
  // presses it on Enter by itself, and the window's own handling of Enter would go untested.
  const struct {
    const wchar_t* what;
    bool (*focus)(Session&, const std::wstring&);
    bool pressesStart;
  } cases[] = {
      {L"Enter on 开始 focused by a click", &FocusStartByClick, true},
      {L"Enter on 开始 reached with Tab", &FocusStartByTab, true},
      {L"Enter in Text1", &FocusText1ByClick, false},
  };
  session.SetBoxes(L"txt", L"doc");
  for (const auto& c : cases) {
    session.BeginStep();
    if (!c.focus(session, c.what)) continue;
    PressKey(session.app(), VK_RETURN, L'\r');
    if (c.pressesStart) {
      session.ExpectNotice(c.what, kNoWorkFolder, kNoticeTitle, NoticeIcon::Stop);
      session.ExpectNoNotice(std::wstring(c.what) + L", second look");
    } else {
      session.ExpectNoNotice(c.what, kEnterQuietMs);
    }
    session.ExpectBoxes(c.what, L"txt", L"doc");
    session.ExpectNothingTyped(c.what);
    session.ExpectChanges(c.what, {});
  }
}

void CheckOneCommandAtATime(Session& session) {
  TavApp& app = session.app();
  // Everything a user, a screen reader or an automation tool can still deliver to the window
  // while a notice or the Open dialog is open on top of it.
  const auto deliverEveryCommand = [&] {
    for (int i = 0; i < 5; ++i) PostMessageW(app.start, BM_CLICK, 0, 0);
    for (const int id : {ids::kMenuDirectory, ids::kMenuCreate, ids::kMenuClear, ids::kMenuHelp,
                         ids::kMenuAbout, IDOK}) {
      session.Menu(id);
    }
    PostKeyPress(app.start, VK_RETURN, L'\r');
  };
  const auto countNotices = [&] {
    int count = 0;
    for (HWND window : TopLevelWindowsOf(app.processId())) {
      if (ClassOf(window) == L"#32770" && IsWindowVisible(window)) ++count;
    }
    return count;
  };

  const std::wstring what = L"commands while a notice is open";
  session.BeginStep();
  session.SetBoxes(L"", L"doc");
  session.ClickStart();
  if (const auto notice = session.TakeNotice(what)) {
    deliverEveryCommand();
    Sleep(kEnterQuietMs);
    session.report().Check(countNotices() == 1, what + L": still one notice on the screen", L"1",
                           std::to_wstring(countNotices()));
    AnswerNotice(notice->box, IDOK);
    session.ExpectNoNotice(what + L", once it is closed", kEnterQuietMs);
    session.report().Check(IsWindowEnabled(app.main) != FALSE,
                           what + L": the window takes input again", L"enabled", L"disabled");
  }
  session.ExpectBoxes(what, L"", L"doc");
  session.ExpectChanges(what, {});

  const std::wstring inDialog = L"commands while the Open dialog is open";
  session.BeginStep();
  session.Menu(ids::kMenuDirectory);
  if (HWND dialog = WaitForOpenDialog(app.processId(), kShowWaitMs)) {
    deliverEveryCommand();
    Sleep(kEnterQuietMs);
    session.report().Check(countNotices() == 1, inDialog + L": only the dialog on the screen", L"1",
                           std::to_wstring(countNotices()));
    session.report().Check(CancelOpenDialog(dialog), inDialog + L": the dialog closes on Cancel",
                           L"closed", L"still open");
    session.ExpectNoNotice(inDialog + L", once it is closed", kEnterQuietMs);
  } else {
    session.report().Fail(inDialog + L": the Open dialog appears", L"the dialog", L"none");
  }
  session.ExpectLabel2(inDialog, kFixedLabel);
  session.ExpectChanges(inDialog, {});
}

void CheckExitDuringNotice(Report& report, ConsoleStandIn& console, const std::wstring& exe,
                           const std::wstring& cRoot) {
  auto app = TavApp::Launch(exe, cRoot, report);
  if (!app) return;
  Session session(report, console, *app, {L"D:\\", cRoot});
  const std::wstring what = L"退出 while the notice of 开始 is open";
  MakeFolder(kWorkFolder);
  session.BeginStep();
  session.SetBoxes(L"txt", L"doc");
  session.ClickStart();
  if (!session.TakeNotice(what)) return;
  PostMessageW(app->exit, BM_CLICK, 0, 0);
  report.Check(app->WaitForExit(kShowWaitMs), what + L": the program ends",
               L"ended " + Within(kShowWaitMs), L"still running");
  session.ExpectNothingTyped(what);
  session.ExpectFile(what, kWorkScript, PlainScript(L"txt", L"doc"));
}

void CheckExitButton(Session& session) {
  PostMessageW(session.app().exit, BM_CLICK, 0, 0);
  ExpectEndsQuietly(session.report(), session.app(), L"退出 (Command2)");
}

void CheckCloseMessages(Report& report, const std::wstring& exe, const std::wstring& workingDir) {
  const struct {
    const wchar_t* what;
    UINT message;
    WPARAM wParam;
  } ways[] = {
      {L"the close box (SC_CLOSE)", WM_SYSCOMMAND, SC_CLOSE},
      {L"WM_CLOSE", WM_CLOSE, 0},
  };
  for (const auto& way : ways) {
    auto app = TavApp::Launch(exe, workingDir, report);
    if (!app) continue;
    PostMessageW(app->main, way.message, way.wParam, 0);
    ExpectEndsQuietly(report, *app, way.what);
  }
}

void CheckBrokenCommandInterpreter(Session& session) {
  const std::wstring what = L"start-up with a cmd.exe that is no program";
  const auto notice = session.TakeNotice(what);
  if (!notice) return;
  session.JudgeFailureNotice(what, *notice, ERROR_BAD_EXE_FORMAT);
  const bool named = notice->text.starts_with(L"无法启动cmd.exe /c。") &&
                     notice->text.find(L"\\cmd.exe") != std::wstring::npos &&
                     notice->text.find(L'%') == std::wstring::npos;
  session.report().Check(named, what + L": the notice names the program, with no raw insert",
                         L"无法启动cmd.exe /c。错误 193：…\\cmd.exe…", Quote(notice->text));
  AnswerNotice(notice->box, IDOK);
  session.ExpectAlive(what);
}

void CheckMenu(Session& session) {
  Report& report = session.report();
  TavApp& app = session.app();
  Probe* probe = app.probe(report);
  if (!probe) return;
  const auto menu = probe->ReadMenu(app.main);
  if (!report.Check(menu.has_value(), L"the menu bar can be read", L"its items", L"no menu")) {
    return;
  }
  const std::vector<MenuEntry> shape = {{0, -1, L"菜单"}, {1, 0, L"目录"}, {1, 0, L"创建"},
                                        {1, 0, L"清除"},  {0, 0, L"帮助"}, {0, 0, L"关于"}};
  report.Same(L"menu bar: captions and submenus", MenuText(shape), MenuText(*menu));

  // Each item is found by its caption and runs by the command it sends, so an item that sends
  // another item's command shows that command's effect.
  const struct {
    const wchar_t* caption;
    void (*expect)(Session&, const std::wstring&);
  } items[] = {
      {L"目录",
       [](Session& s, const std::wstring& what) {
         const HWND dialog = WaitForOpenDialog(s.app().processId(), kShowWaitMs);
         if (s.report().Check(dialog != nullptr, what + L": the Open dialog appears",
                              Quote(kOpenDialogTitle), L"no such dialog")) {
           CancelOpenDialog(dialog);
         }
       }},
      {L"创建",
       [](Session& s, const std::wstring& what) {
         s.ExpectNoNotice(what);
         s.ExpectChanges(what, {kWorkFolder});
         RemoveTree(kWorkFolder);
       }},
      {L"清除",
       [](Session& s, const std::wstring& what) {
         s.ExpectNotice(what, L"没有找到D:\\duzaz\\tav.*文件！", kNoticeTitle, NoticeIcon::Stop);
       }},
      {L"帮助",
       [](Session& s, const std::wstring& what) {
         s.ExpectNotice(what, kHelpText, L"帮助", NoticeIcon::Information);
       }},
      {L"关于",
       [](Session& s, const std::wstring& what) {
         if (const auto notice = s.TakeNotice(what)) {
           s.report().Same(what + L": the notice's title", L"关于", notice->title);
           AnswerNotice(notice->box, IDOK);
         }
       }},
  };
  for (const auto& item : items) {
    const std::wstring what = L"menu item " + std::wstring(item.caption);
    const auto entry = std::find_if(menu->begin(), menu->end(), [&](const MenuEntry& e) {
      return e.caption == item.caption && e.id >= 0;
    });
    if (entry == menu->end()) {
      report.Fail(what + L" runs its command", L"an item of that caption", L"none");
      continue;
    }
    session.BeginStep();
    session.Menu(entry->id);
    item.expect(session, what);
    session.ExpectNothingTyped(what);
  }
}

void CheckWithoutDriveD(Session& session, const std::wstring& cRoot) {
  Report& report = session.report();
  report.Check(!Exists(L"D:\\"), L"drive D: is missing for this phase", L"no D:", L"D: exists");
  session.ExpectLabel2(L"without D:", kFixedLabel);

  session.BeginStep();
  session.SetBoxes(L"txt", L"doc");
  session.ClickStart();
  session.ExpectNotice(L"开始 without D:", kNoWorkFolder, kNoticeTitle, NoticeIcon::Stop);
  session.ExpectNothingTyped(L"开始 without D:");
  session.ExpectChanges(L"开始 without D:", {});

  session.BeginStep();
  session.Menu(ids::kMenuCreate);
  session.ExpectFailureNotice(L"创建 without D:", std::nullopt);
  session.ExpectChanges(L"创建 without D:", {});
  session.ExpectAlive(L"创建 without D:");

  session.BeginStep();
  session.Menu(ids::kMenuClear);
  session.ExpectNotice(L"清除 without D:", L"没有找到D:\\duzaz\\tav.*文件！", kNoticeTitle,
                       NoticeIcon::Stop);
  session.ExpectBoxes(L"清除 without D:", L"txt", L"doc");

  // The chosen-folder mode does not need D: at all.
  const std::wstring folder = cRoot + L"\\nodrive";
  MakeFolder(folder);
  WriteBytes(folder + L"\\f.log", "log");
  session.BeginStep();
  if (session.Pick(L"目录 without D:", folder + L"\\f.log")) {
    session.ExpectLabel2(L"目录 without D:", L"当前目录 " + folder);
    session.ClickStart();
    session.ExpectNotice(L"开始 without D: in a chosen folder",
                         L"请打开" + folder + L"\\tav.bat并运行。", kNoticeTitle,
                         NoticeIcon::Information);
    session.ExpectFile(L"开始 without D:", folder + L"\\tav.bat", PlainScript(L"log", L"doc"));
    session.ExpectTyped(L"开始 without D:", L"explorer " + folder);
    session.ExpectChanges(L"开始 without D:", {folder + L"\\tav.bat"});
  }
}

}  // namespace tav::e2e
