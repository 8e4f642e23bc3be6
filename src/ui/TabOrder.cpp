#include "TabOrder.h"

#include "EncryptionPage.h"
#include "HyperLink2.h"
#include "PickFilesPage.h"
#include "ResultsPage.h"
#include "ScriptsPage.h"
#include "StoreFilesPage.h"
#include "WelcomePage.h"
#include "frmMain.h"
#include "selection/SelectionTree.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <algorithm>

namespace quillora::ui {

namespace {

void appendStoreFiles(QList<QWidget*>& chain, const StoreFilesPage& page) {
    // Each option's own controls stand under it.
    chain << page.optSave[0] << page.chkBackups << page.txtBackupDir << page.cmdSelectBackupDir << page.optSave[1]
          << page.txtSaveDir << page.cmdSelectDirectory << page.chkCopyOthers << page.optSave[2]
          << page.chkCopyrightNotice << page.txtCopyrightNotice;
}

void appendEncryption(QList<QWidget*>& chain, const EncryptionPage& page) {
    for (QRadioButton* option : page.optProtect)
        chain << option;
    chain << page.chkPasswordScript << page.chkEncrypt << page.txtPassword << page.chkShowPassword
          << page.txtPasswordAgain << page.spnRememberDays << page.chkUnlockTitle << page.txtUnlockTitle
          << page.txtKeyFile << page.txtKeyLevel << page.chkHideEncrypted;
}

void appendScripts(QList<QWidget*>& chain, const ScriptsPage& page) {
    // The script options fill two columns; Tab reads down the first, then the second, as they are numbered.
    for (QCheckBox* script : page.chkScript) {
        if (script != nullptr)
            chain << script;
    }
    chain << page.chkRightMouse << page.txtRightClickWarning << page.txtCopyAttribution << page.chkStrictCsp;
}

} // namespace

QList<QWidget*> tabChain(const frmMain& window) {
    QList<QWidget*> chain;
    chain << window.welcomePage->HyperLink21;
    const PickFilesPage& pick = *window.pickFilesPage;
    chain << pick.treeFolders << pick.cmdAddFile << pick.cmdAddFolder << pick.cmdRemoveFolder << pick.cmdRestoreFolder;
    appendStoreFiles(chain, *window.storeFilesPage);
    appendEncryption(chain, *window.encryptionPage);
    appendScripts(chain, *window.scriptsPage);
    const ResultsPage& results = *window.resultsPage;
    chain << results.treeResults << results.cmdRestore << results.cmdStop << results.cmdOpenFolder
          << results.cmdViewPage;
    chain << window.cmdPrev << window.cmdNext << window.cmdExit;
    return chain;
}

void chainTabOrder(frmMain& window) {
    const QList<QWidget*> chain = tabChain(window);
    for (qsizetype i = 0; i + 1 < chain.size(); ++i)
        QWidget::setTabOrder(chain[i], chain[i + 1]);
    const StoreFilesPage& store = *window.storeFilesPage;
    keepTabStopOnChosen({store.optSave.begin(), store.optSave.end()});
    const EncryptionPage& encryption = *window.encryptionPage;
    keepTabStopOnChosen({encryption.optProtect.begin(), encryption.optProtect.end()});
}

void keepTabStopOnChosen(const QList<QRadioButton*>& options) {
    const auto moveStop = [options] {
        const bool anyChosen = std::any_of(options.begin(), options.end(), [](auto* o) { return o->isChecked(); });
        for (QRadioButton* option : options)
            option->setFocusPolicy(option->isChecked() || !anyChosen ? Qt::StrongFocus : Qt::ClickFocus);
    };
    for (QRadioButton* option : options)
        QObject::connect(option, &QRadioButton::toggled, option, moveStop);
    moveStop();
}

} // namespace quillora::ui
