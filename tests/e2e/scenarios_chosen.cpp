// Chosen-folder mode: a file picked in the Open dialog, dropped on the window or named on the
// command line decides the folder of every command; so does a folder dropped or named.
#include "tests/e2e/scenarios.h"
#include "ui/control_ids.h"

namespace tav::e2e {

namespace {

std::wstring ScriptWritten(const std::wstring& folder) {
  return L"请打开" + folder + L"\\tav.bat并运行。";
}

std::wstring Quoted(const std::wstring& folder) { return L"\"" + folder + L"\""; }

// After a drop or a start with a path: the label names folder, nothing changed on disk, and the
// next 开始 with the boxes holding oldExt and newExt writes its script there and types typed.
void ExpectWorkFolder(Session& session, const std::wstring& what, const std::wstring& folder,
                      const std::wstring& oldExt, const std::wstring& newExt,
                      const std::wstring& typed) {
  const std::wstring script = folder + L"\\tav.bat";
  session.ExpectLabel2(what, L"当前目录 " + folder);
  session.ExpectChanges(what, {});
  session.BeginStep();
  session.ClickStart();
  session.ExpectNotice(what + L", 开始", ScriptWritten(folder), kNoticeTitle,
                       NoticeIcon::Information);
  session.ExpectFile(what + L", 开始", script, PlainScript(oldExt, newExt));
  session.ExpectTyped(what + L", 开始", typed);
  session.ExpectChanges(what + L", 开始", {script});
  RemoveTree(script);
}

}  // namespace

void CheckChosenFolder(Session& session, const std::wstring& cRoot) {
  const std::wstring folder = cRoot + L"\\data";
  const std::wstring script = folder + L"\\tav.bat";
  MakeFolder(folder);
  WriteBytes(folder + L"\\photo.JPG", "jpeg");

  session.SetBoxes(L"old", L"png");
  session.BeginStep();
  if (!session.Pick(L"目录 photo.JPG", folder + L"\\photo.JPG")) return;
  session.ExpectBoxes(L"目录 photo.JPG", L"JPG", L"png");
  session.ExpectLabel2(L"目录 photo.JPG", L"当前目录 " + folder);
  session.ExpectChanges(L"目录 photo.JPG", {});

  session.BeginStep();
  session.ClickStart();
  session.ExpectNotice(L"开始 in the chosen folder", ScriptWritten(folder), kNoticeTitle,
                       NoticeIcon::Information);
  session.ExpectTyped(L"开始 in the chosen folder", L"explorer " + folder);
  session.ExpectFile(L"开始 in the chosen folder", script, PlainScript(L"JPG", L"png"));
  session.ExpectChanges(L"开始 in the chosen folder", {script});

  session.BeginStep();
  session.Menu(ids::kMenuCreate);
  session.ExpectNotice(L"创建 in chosen-folder mode", L"D:\\duzaz文件夹已存在。", kNoticeTitle,
                       NoticeIcon::Stop);
  session.ExpectLabel2(L"创建 in chosen-folder mode", L"当前目录 " + folder);
  session.ExpectChanges(L"创建 in chosen-folder mode", {});

  // The label is written when the folder changes and at no other time: a mark put into it stays
  // while the program idles, through a pick in the same folder and through 清除. A periodic
  // refresh would overwrite it.
  session.MarkLabel2();
  session.ExpectLabel2Marked(L"idle in chosen-folder mode");
  WriteBytes(folder + L"\\other.png", "png");
  if (session.Pick(L"目录 other.png in the same folder", folder + L"\\other.png")) {
    session.ExpectLabel2Marked(L"目录 other.png in the same folder");
  }

  const std::wstring other = folder + L"\\tav.txt";
  WriteBytes(other, "other");
  WriteBytes(kWorkScript, "ren *.a *.b\r\n");
  CheckClearTwice(session, folder, {script, other});
  session.ExpectLabel2Marked(L"清除 in the chosen folder");
}

void CheckPickedFolders(Session& session, const std::wstring& cRoot) {
  const PickedFolder cases[] = {
      {L"a folder holding &", cRoot + L"\\R&D", L"a.tar.gz", L"gz",
       L"explorer " + Quoted(cRoot + L"\\R&D")},
      {L"a folder holding a space", cRoot + L"\\my docs", L"README", L"README",
       L"explorer " + Quoted(cRoot + L"\\my docs")},
      {L"a folder holding parentheses", cRoot + L"\\v(1)", L"f.TXT", L"TXT",
       L"explorer " + Quoted(cRoot + L"\\v(1)")},
      {L"a folder holding ! ^ , ; =", cRoot + L"\\a!b^d,e;f=g", L"x.log", L"log",
       L"explorer " + Quoted(cRoot + L"\\a!b^d,e;f=g")},
      {L"a folder holding ' { } @ #", cRoot + L"\\it's {1} @x #2", L"y.log", L"log",
       L"explorer " + Quoted(cRoot + L"\\it's {1} @x #2")},
      // The interpreter would expand these even inside quotes: the line is not typed at all.
      {L"a folder holding %PATH%", cRoot + L"\\p%PATH%q", L"x.log", L"log", L""},
      {L"a folder holding $(...)", cRoot + L"\\x$(calc)", L"x.log", L"log", L""},
      {L"a folder holding `", cRoot + L"\\a`b", L"x.log", L"log", L""},
      {L"a folder holding Chinese characters", cRoot + L"\\数据", L"报告.txt", L"txt",
       L"explorer " + cRoot + L"\\数据"},
      // In GBK 億 is 83 7C, 俙 82 60 and 乗 81 5C: their second bytes are | ` and \.
      {L"a folder holding 億 俙 乗", cRoot + L"\\x億calc俙乗", L"a.txt", L"txt",
       L"explorer " + cRoot + L"\\x億calc俙乗"},
      {L"a folder holding an ideographic space", cRoot + L"\\新建\u3000文件夹", L"a.txt", L"txt",
       L"explorer " + Quoted(cRoot + L"\\新建\u3000文件夹")},
      // PowerShell ends a quoted string at ” as at ".
      {L"a folder holding ” and “", cRoot + L"\\a”;calc;“", L"x.log", L"log", L""},
      {L"a folder holding a character outside GBK", cRoot + L"\\Àx", L"f.txt", L"txt", L""},
      {L"the root of D:", L"D:", L"a.txt", L"txt", L"explorer D:"},
  };
  PlayPickedFolders(session, cases);
}

void CheckPickedFoldersInUtf8(Session& session, const std::wstring& cRoot) {
  // The driver runs with TAV's ANSI code page; a check of its own that it is UTF-8 tells a phase
  // that tests nothing from one that passes.
  session.report().Check(GetACP() == CP_UTF8 && GetOEMCP() == CP_UTF8,
                         L"the ANSI and OEM code pages are UTF-8", L"65001 and 65001",
                         std::to_wstring(GetACP()) + L" and " + std::to_wstring(GetOEMCP()));
  const PickedFolder cases[] = {
      {L"a folder of ASCII", cRoot + L"\\Summer 2022", L"a.txt", L"txt",
       L"explorer " + Quoted(cRoot + L"\\Summer 2022")},
      // é is C3 A9, which a posted character cannot carry; 数 takes three bytes.
      {L"a folder holding é", cRoot + L"\\café", L"a.txt", L"txt", L""},
      {L"a folder holding Chinese characters", cRoot + L"\\数据", L"报告.txt", L"txt", L""},
  };
  PlayPickedFolders(session, cases);
}

void PlayPickedFolders(Session& session, std::span<const PickedFolder> cases) {
  const RecordingExplorer explorer;
  for (const auto& c : cases) {
    const std::wstring what = L"目录 in " + std::wstring(c.what);
    const std::wstring script = c.folder + L"\\tav.bat";
    MakeFolder(c.folder);
    WriteBytes(c.folder + L"\\" + c.file, "data");
    session.SetBoxes(L"zzz", L"new");
    session.BeginStep();
    if (!session.Pick(what, c.folder + L"\\" + c.file)) continue;
    session.ExpectBoxes(what, c.ext, L"new");
    session.ExpectLabel2(what, L"当前目录 " + c.folder);

    session.ClickStart();
    session.ExpectNotice(what + L", 开始", ScriptWritten(c.folder), kNoticeTitle,
                         NoticeIcon::Information);
    session.ExpectFile(what + L", 开始", script, PlainScript(c.ext, L"new"));
    if (c.typed.empty()) {
      session.ExpectNothingTyped(what + L", 开始");
    } else {
      session.ExpectTyped(what + L", 开始", c.typed);
      session.ExpectTypedLineOpens(what + L", 开始", explorer, c.folder);
    }
    session.ExpectChanges(what + L", 开始", {script});

    session.BeginStep();
    session.Menu(ids::kMenuClear);
    session.ExpectNoNotice(what + L", 清除");
    session.ExpectChanges(what + L", 清除", {script});
  }
}

void CheckChosenFolderFailures(Session& session, const std::wstring& cRoot) {
  // A folder named tav.bat: the script cannot be written, and it is the only match of tav.*,
  // which 清除 must not delete.
  const std::wstring folder = cRoot + L"\\blocked";
  MakeFolder(folder);
  MakeFolder(folder + L"\\tav.bat");
  WriteBytes(folder + L"\\f.txt", "data");
  session.SetBoxes(L"zzz", L"new");
  if (!session.Pick(L"目录 in a folder holding a folder tav.bat", folder + L"\\f.txt")) return;

  session.BeginStep();
  session.ClickStart();
  session.ExpectFailureNotice(L"开始 where tav.bat is a folder", ERROR_ACCESS_DENIED);
  session.ExpectNothingTyped(L"开始 where tav.bat is a folder");
  session.ExpectChanges(L"开始 where tav.bat is a folder", {});
  session.ExpectAlive(L"开始 where tav.bat is a folder");

  session.BeginStep();
  session.Menu(ids::kMenuClear);
  session.ExpectFailureNotice(L"清除 where a folder is the only tav.*", std::nullopt);
  session.ExpectBoxes(L"清除 where a folder is the only tav.*", L"txt", L"new");
  session.ExpectChanges(L"清除 where a folder is the only tav.*", {});
  session.ExpectAlive(L"清除 where a folder is the only tav.*");
}

void CheckLongPickedPath(Session& session, const std::wstring& cRoot) {
  // A picked name of 259 characters, the longest the Open dialog takes, puts the script at 261
  // characters: past the classic path limit.
  constexpr size_t kFolderLength = 253;
  std::wstring folder = cRoot + L"\\long";
  MakeFolder(folder);
  while (kFolderLength - folder.size() > 50) {
    folder += L"\\" + std::wstring(40, L'd');
    MakeFolder(folder);
  }
  folder += L"\\" + std::wstring(kFolderLength - folder.size() - 1, L'e');
  MakeFolder(folder);
  const std::wstring file = folder + L"\\a.txt";
  const std::wstring script = folder + L"\\tav.bat";
  WriteBytes(file, "data");
  const std::wstring what = L"目录 with a " + std::to_wstring(file.size()) + L"-character name";

  session.SetBoxes(L"abc", L"new");
  session.BeginStep();
  if (!session.Pick(what, file)) return;
  session.ExpectBoxes(what, L"txt", L"new");
  session.ExpectLabel2(what, L"当前目录 " + folder);

  session.ClickStart();
  session.ExpectNotice(what + L", 开始", ScriptWritten(folder), kNoticeTitle,
                       NoticeIcon::Information);
  session.ExpectFile(what + L", 开始", script, PlainScript(L"txt", L"new"));
  session.ExpectTyped(what + L", 开始", L"explorer " + folder);
  session.ExpectChanges(what + L", 开始", {script});

  session.BeginStep();
  session.Menu(ids::kMenuClear);
  session.ExpectNoNotice(what + L", 清除");
  session.ExpectChanges(what + L", 清除", {script});
}

void CheckCancelledPick(Session& session) {
  session.SetBoxes(L"abc", L"def");
  session.BeginStep();
  if (!session.CancelPick(L"目录 cancelled")) return;
  session.ExpectLabel2(L"目录 cancelled", kFixedLabel);
  session.ExpectBoxes(L"目录 cancelled", L"abc", L"def");

  session.ClickStart();
  session.ExpectNotice(L"开始 after a cancelled 目录", L"请打开D:\\duzaz\\tav.bat并运行。",
                       kNoticeTitle, NoticeIcon::Information);
  session.ExpectTyped(L"开始 after a cancelled 目录", L"explorer D:\\duzaz");
  session.ExpectFile(L"开始 after a cancelled 目录", kWorkScript, PlainScript(L"abc", L"def"));
  session.ExpectChanges(L"开始 after a cancelled 目录", {kWorkScript});

  session.MarkLabel2();
  session.ExpectLabel2Marked(L"idle in fixed-folder mode");
  if (session.CancelPick(L"目录 cancelled again")) {
    session.ExpectLabel2Marked(L"目录 cancelled again");
  }
  // The mark is the driver's own: it goes again, so that later stories read what TAV shows.
  SetTextOf(session.app().label2, kFixedLabel);
}

void CheckDrops(Session& session, const std::wstring& cRoot) {
  const std::wstring one = cRoot + L"\\dropped";
  const std::wstring other = cRoot + L"\\dropped too";
  const std::wstring folder = cRoot + L"\\drop folder";
  MakeFolder(one);
  WriteBytes(one + L"\\photo.JPG", "jpeg");
  MakeFolder(other);
  WriteBytes(other + L"\\notes.txt", "text");
  MakeFolder(folder);
  const std::wstring fixedTyped = L"explorer " + std::wstring(kWorkFolder);
  // In order, from fixed-folder mode on: each drop that is taken changes the mode.
  const struct {
    const wchar_t* what;
    std::vector<std::wstring> paths;
    std::wstring text1;  // afterwards, when the boxes held "old" and "new"
    std::wstring folder;
    std::wstring typed;
  } cases[] = {
      {L"a drop of nothing", {}, L"old", kWorkFolder, fixedTyped},
      {L"a drop of a path where nothing is",
       {cRoot + L"\\gone.txt"},
       L"old",
       kWorkFolder,
       fixedTyped},
      {L"a drop of one file", {one + L"\\photo.JPG"}, L"JPG", one, L"explorer " + one},
      {L"a drop of several files",
       {other + L"\\notes.txt", one + L"\\photo.JPG"},
       L"txt",
       other,
       L"explorer " + Quoted(other)},
      {L"a drop of a folder", {folder}, L"old", folder, L"explorer " + Quoted(folder)},
      {L"a drop of a drive's root", {L"D:\\"}, L"old", L"D:", L"explorer D:"},
      // A name with a closing dot is another name than the one without: nothing is there.
      {L"a drop of a folder's name with a dot added",
       {folder + L"."},
       L"old",
       L"D:",
       L"explorer D:"},
  };
  for (const auto& c : cases) {
    session.SetBoxes(L"old", L"new");
    session.BeginStep();
    if (!session.Drop(c.what, c.paths)) continue;
    session.ExpectNoNotice(c.what);
    session.ExpectBoxes(c.what, c.text1, L"new");
    ExpectWorkFolder(session, c.what, c.folder, c.text1, L"new", c.typed);
  }

  // One command at a time: a drop while a notice or the Open dialog is open is ignored. Had it
  // been taken, Text1 would read JPG.
  const std::wstring duringNotice = L"a drop while a notice is open";
  session.SetBoxes(L"old", L"new");
  session.BeginStep();
  session.Menu(ids::kMenuHelp);
  if (const auto notice = session.TakeNotice(duringNotice)) {
    session.Drop(duringNotice, {one + L"\\photo.JPG"});
    AnswerNotice(notice->box, IDOK);
  }
  session.ExpectNoNotice(duringNotice);
  session.ExpectBoxes(duringNotice, L"old", L"new");
  ExpectWorkFolder(session, duringNotice, L"D:", L"old", L"new", L"explorer D:");

  const std::wstring duringDialog = L"a drop while the Open dialog is open";
  session.BeginStep();
  session.Menu(ids::kMenuDirectory);
  if (const HWND dialog = WaitForOpenDialog(session.app().processId(), kShowWaitMs)) {
    session.Drop(duringDialog, {one + L"\\photo.JPG"});
    CancelOpenDialog(dialog);
  } else {
    session.report().Fail(duringDialog + L": the Open dialog appears", Quote(kOpenDialogTitle),
                          L"no such dialog");
  }
  session.ExpectBoxes(duringDialog, L"old", L"new");
  ExpectWorkFolder(session, duringDialog, kWorkFolder, L"old", L"new", fixedTyped);
}

void CheckPathArguments(Report& report, ConsoleStandIn& console, const std::wstring& exe,
                        const std::wstring& cRoot) {
  const std::wstring files = cRoot + L"\\named";
  const std::wstring folder = cRoot + L"\\named folder";
  const std::wstring missing = cRoot + L"\\gone.txt";
  MakeFolder(files);
  WriteBytes(files + L"\\photo.JPG", "jpeg");
  MakeFolder(folder);
  const struct {
    const wchar_t* what;
    std::wstring arguments;  // as the shell writes them
    std::wstring notice;     // at start; empty for none
    std::wstring text1;      // at start
    std::wstring folder;
    std::wstring typed;
  } cases[] = {
      {L"a start with a file", Quoted(files + L"\\photo.JPG"), L"", L"JPG", files,
       L"explorer " + files},
      {L"a start with a file and further arguments",
       Quoted(files + L"\\photo.JPG") + L" " + Quoted(folder) + L" x", L"", L"JPG", files,
       L"explorer " + files},
      {L"a start with a path relative to the current folder", L"named\\photo.JPG", L"", L"JPG",
       files, L"explorer " + files},
      // A quoted folder with a closing backslash, as "C:\" comes from the shell.
      {L"a start with a folder", Quoted(folder + L"\\"), L"", L"", folder,
       L"explorer " + Quoted(folder)},
      {L"a start with a path where nothing is", Quoted(missing), L"没有找到" + missing + L"。", L"",
       kWorkFolder, L"explorer " + std::wstring(kWorkFolder)},
  };
  for (const auto& c : cases) {
    auto app = TavApp::Launch(exe, cRoot, report, c.arguments);
    if (!app) continue;
    Session session(report, console, *app, {L"D:\\", cRoot});
    session.BeginStep();
    if (c.notice.empty()) {
      session.ExpectNoNotice(c.what);
    } else {
      session.ExpectNotice(c.what, c.notice, kNoticeTitle, NoticeIcon::Stop);
    }
    session.ExpectBoxes(c.what, c.text1, L"");
    const std::wstring oldExt = c.text1.empty() ? L"old" : c.text1;
    session.SetBoxes(oldExt, L"new");
    ExpectWorkFolder(session, c.what, c.folder, oldExt, L"new", c.typed);
    CheckExitButton(session);
  }
}

namespace {

// tav.bat for doc -> txt, run by cmd.exe, in the folder of the current mode. Once with files
// that *.doc finds by their own names only (the plain line), run from another folder that holds
// a file of the old extension too; twice with c.docx, which *.doc also finds through its short
// name C~1.DOC (the line that renames file by file), run from the script's own folder as Explorer
// runs it and from that other folder. Each time exactly the files of the old extension in the
// script's folder are renamed, and a console that ran it from elsewhere is back in its own folder.
void CheckScriptRunsIn(Session& session, const std::wstring& what, const std::wstring& folder,
                       const std::wstring& elsewhere, const std::wstring& typed) {
  const std::wstring script = folder + L"\\tav.bat";
  const std::wstring decoy = elsewhere + L"\\z.doc";
  const std::wstring whereCmdEnds = elsewhere + L"\\cd.txt";
  const std::string perFileLine =
      Gbk(L"pushd \"%~dp0\" && ((for %%f in (*.doc) do if /i \"%%~xf\"==\".doc\" ren \"%%f\" "
          L"\"%%~nf.txt\") & popd)\r\n");
  const struct {
    const wchar_t* how;
    bool withShortNameMatch;
    std::wstring command;
    std::wstring startIn;
    std::string script;
  } runs[] = {
      {L"run from another folder", false,
       L"call \"" + script + L"\" & cd > \"" + whereCmdEnds + L"\"", elsewhere,
       PlainScript(L"doc", L"txt")},
      {L"with c.docx, run from its own folder", true, L"\"" + script + L"\"", folder, perFileLine},
      {L"with c.docx, run from another folder", true,
       L"call \"" + script + L"\" & cd > \"" + whereCmdEnds + L"\"", elsewhere, perFileLine},
  };
  MakeFolder(elsewhere);
  for (const auto& run : runs) {
    // Each name and the name it must have afterwards; empty when it must keep its name.
    std::vector<std::pair<std::wstring, std::wstring>> files = {
        {L"a.doc", L"a.txt"},       {L"B.DOC", L"B.txt"},       {L"R&D 报告.doc", L"R&D 报告.txt"},
        {L"100%.doc", L"100%.txt"}, {L"x^y!.doc", L"x^y!.txt"}, {L"d.doc.bak", L""},
    };
    if (run.withShortNameMatch) {
      files.push_back({L"c.docx", L""});
      files.push_back({L"a.b.doc", L"a.b.txt"});
    }
    for (const auto& file : files) WriteBytes(folder + L"\\" + file.first, Utf8(file.first));
    WriteBytes(decoy, "decoy");

    const std::wstring step = what + L", " + run.how;
    session.SetBoxes(L"doc", L"txt");
    session.BeginStep();
    session.ClickStart();
    session.ExpectNotice(step, L"请打开" + script + L"并运行。", kNoticeTitle,
                         NoticeIcon::Information);
    session.ExpectTyped(step, typed);
    session.ExpectFile(step, script, run.script);

    session.BeginStep();
    const auto exitCode = RunInterpreter(run.command, run.startIn);
    session.report().Check(exitCode.has_value(), step + L": cmd.exe runs tav.bat to its end",
                           L"an exit code", L"none");
    std::vector<std::wstring> changed;
    for (const auto& [before, after] : files) {
      if (after.empty()) continue;
      changed.push_back(folder + L"\\" + before);
      changed.push_back(folder + L"\\" + after);
    }
    if (run.startIn == elsewhere) {
      changed.push_back(whereCmdEnds);
      session.ExpectFile(step + L", the console's folder afterwards", whereCmdEnds,
                         Gbk(elsewhere) + "\r\n");
    }
    session.ExpectChanges(step + L", tav.bat run", changed);

    for (const auto& [before, after] : files) {
      RemoveTree(folder + L"\\" + before);
      if (!after.empty()) RemoveTree(folder + L"\\" + after);
    }
    RemoveTree(whereCmdEnds);
    RemoveTree(script);
  }
  RemoveTree(elsewhere);
}

}  // namespace

void CheckScriptsRun(Session& session, const std::wstring& cRoot) {
  const std::wstring elsewhere = cRoot + L"\\elsewhere";
  CheckScriptRunsIn(session, L"tav.bat in D:\\duzaz", kWorkFolder, elsewhere,
                    L"explorer D:\\duzaz");

  const std::wstring folder = cRoot + L"\\R&D 数据";
  MakeFolder(folder);
  WriteBytes(folder + L"\\picked.doc", "picked");
  if (session.Pick(L"目录 in a folder holding a space, & and Chinese", folder + L"\\picked.doc")) {
    RemoveTree(folder + L"\\picked.doc");
    CheckScriptRunsIn(session, L"tav.bat in " + folder, folder, elsewhere,
                      L"explorer " + Quoted(folder));
  }
  RemoveTree(folder);
}

}  // namespace tav::e2e
