// The commands of the same-window floor, none of which does anything. Linked in place of the
// workflow's own, they leave TAV's window, controls, fonts, menu, icon and manifest without any
// of the program's logic: start-up and idle figures of TAV.exe are set against that.
#include "workflow/commands.h"

namespace tav {

void Commands::OnStartup() {}
void Commands::WriteRenameScript() {}
void Commands::AnalyseChosenFile() {}
void Commands::CreateWorkFolder() {}
void Commands::ClearScripts() {}
void Commands::OpenDroppedPath(const std::wstring&) {}
void Commands::OpenArgumentPath(const std::wstring&) {}
void Commands::TypeIntoConsole(const std::wstring&) {}

}  // namespace tav
