#pragma once

#include <QString>
#include <functional>

namespace quillora::ui {
class frmMain;
}

namespace quillora::testing {

class FakeDialogService;

/// Takes the window through what a person sees, over a small site it lays out below sample, and calls shot at each
/// stop with its name: "welcome", "pick-files", "store-files" (a copy target the run would refuse, marked),
/// "encryption" (two passwords that differ, marked), "scripts", "results-running" (three pages done, Stop offered)
/// and "results" (stopped: one page left as it was). The run is held on its fourth page by that page's lock, so the
/// stops land where they should whatever the machine's speed. Returns false, saying why, when a step went wrong.
bool tourWindow(ui::frmMain& window, FakeDialogService& dialogs, const QString& sample,
                const std::function<void(const QString& name)>& shot, QString& failure);

} // namespace quillora::testing
