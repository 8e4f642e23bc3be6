// The real dialogs, each closed by a timer from inside its own event loop, so no test waits for a person.
#include "selection/QtDialogService.h"

#include "TempFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace quillora::selection;
using quillora::testing::TempFolder;

namespace {

/// Runs handle on the modal dialog once it is up, then makes sure the dialog is closed.
void whenModal(std::function<void(QWidget*)> handle) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, handle = std::move(handle)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            return;
        poll->stop();
        poll->deleteLater();
        handle(modal);
        // A failed check inside handle must not leave the dialog waiting.
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog != nullptr && dialog->isVisible())
            dialog->reject();
    });
    poll->start();
}

TEST(QtDialogServiceTest, MessageBoxShowsItsPartsAndReturnsTheAnswer) {
    QtDialogService service;
    QString seenText;
    QString seenTitle;
    whenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seenText = box->text();
        seenTitle = box->windowTitle();
        EXPECT_EQ(box->icon(), QMessageBox::Information);
        box->button(QMessageBox::No)->click();
    });

    const auto answer =
        service.showMessage({QStringLiteral("Are you sure you wish to quit?"), QStringLiteral("Quillora"),
                             QMessageBox::Information, QMessageBox::Yes | QMessageBox::No});

    EXPECT_EQ(answer, QMessageBox::No);
    EXPECT_EQ(seenText, QStringLiteral("Are you sure you wish to quit?"));
    EXPECT_EQ(seenTitle, QStringLiteral("Quillora"));
}

TEST(QtDialogServiceTest, FileDialogOpensWithTheRequestAndReturnsTheChoice) {
    TempFolder disk;
    const QString page = disk.writeFile(QStringLiteral("page.html"), "<html></html>");
    QtDialogService service;
    FileDialogRequest request;
    request.title = QStringLiteral("Select A File To Protect");
    request.initialFolder = disk.path();
    request.filters = QStringList{QStringLiteral("HTML Files (*.html *.htm)")};
    request.selectedFilter = request.filters.first();
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), request.title);
        EXPECT_EQ(dialog->directory().absolutePath(), disk.path());
        EXPECT_EQ(dialog->nameFilters(), request.filters);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        dialog->selectFile(page);
        static_cast<QDialog*>(dialog)->accept();
    });

    EXPECT_EQ(service.getFileName(request).path, page);
}

TEST(QtDialogServiceTest, CancelledDialogsGiveNothing) {
    QtDialogService service;
    whenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    const FileDialogResult file = service.getFileName({});
    EXPECT_TRUE(file.path.isEmpty());
    EXPECT_EQ(file.errorCode, 0);

    whenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    EXPECT_TRUE(
        service.getExistingFolder(QStringLiteral("Please select the folder to add "), QString(), nullptr).isEmpty());
}

TEST(QtDialogServiceTest, EnterAnswersWithTheDefaultButtonAsked) {
    QtDialogService service;
    for (const auto wanted : {QMessageBox::No, QMessageBox::Yes}) {
        whenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
        const auto answer = service.showMessage({QStringLiteral("Are you sure you wish to quit?"),
                                                 QStringLiteral("Quillora"),
                                                 QMessageBox::Information,
                                                 QMessageBox::Yes | QMessageBox::No,
                                                 {},
                                                 nullptr,
                                                 wanted});
        EXPECT_EQ(answer, wanted);
    }
}

TEST(QtDialogServiceTest, SeveralFilesMayBeChosenWhenAskedFor) {
    TempFolder disk;
    const QString one = disk.writeFile(QStringLiteral("one.htm"), "1");
    const QString two = disk.writeFile(QStringLiteral("two.htm"), "2");
    QtDialogService service;
    FileDialogRequest request;
    request.initialFolder = disk.path();
    request.several = true;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
        dialog->selectFile(QStringLiteral("\"one.htm\" \"two.htm\""));
        static_cast<QDialog*>(dialog)->accept();
    });

    const FileDialogResult chosen = service.getFileName(request);

    EXPECT_EQ(chosen.path, one);
    EXPECT_EQ(chosen.paths, (QStringList{one, two}));
}

} // namespace
