#pragma once

#include "EventBound.h"
#include "FakeDialogService.h"
#include "FakeUrlOpener.h"
#include "TempFolder.h"
#include "selection/SelectionTree.h"
#include "ui/PickFilesPage.h"
#include "ui/frmMain.h"

#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace quillora::testing {

/// A window over a temporary program folder, with recording dialogs and opener.
class WindowFixture : public ::testing::Test {
protected:
    TempFolder program;
    FakeDialogService dialogs;
    FakeUrlOpener opener;
    ui::frmMain window{program.path(), dialogs, opener};

    selection::SelectionTree* tree() const { return window.pickFilesPage->treeFolders; }

    /// Picks a file through Add File on the Pick Files page, as the user would.
    void pickFile(const QString& path) {
        goToPage(1);
        dialogs.fileResults.enqueue({path, 0});
        window.pickFilesPage->cmdAddFile->click();
    }
    /// Picks a folder through Add Folder.
    void pickFolder(const QString& path) {
        goToPage(1);
        dialogs.folderResults.enqueue(path);
        window.pickFilesPage->cmdAddFolder->click();
    }
    /// Presses Next (or Protect, or Restart) by clicking it.
    void next() { window.cmdNext->click(); }
    void goToPage(int page) {
        while (window.currentPage() < page) {
            const int before = window.currentPage();
            next();
            if (window.currentPage() == before) {
                ADD_FAILURE() << "Next did not leave page " << before;
                return;
            }
        }
    }
    /// Presses Protect on the Scripts page and waits until the run has ended.
    bool protect() {
        goToPage(4);
        QSignalSpy finished(&window, &ui::frmMain::runFinished);
        next();
        return finished.wait(kEventBoundMs);
    }
};

} // namespace quillora::testing
