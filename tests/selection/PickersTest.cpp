#include "selection/Pickers.h"

#include "FakeDialogService.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

using namespace quillora::selection;
using quillora::testing::FakeDialogService;
using quillora::testing::TempFolder;

namespace {

const QString kHtmlFilter = QStringLiteral("HTML Files (*.html;*.htm)|*.html;*.htm");

struct FilterCase {
    const char* pipe;
    QStringList qt;
};

class FilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterTest, BecomesQtsForm) {
    EXPECT_EQ(Pickers::toQtFilters(QString::fromUtf8(GetParam().pipe)), GetParam().qt);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FilterTest,
    ::testing::Values(FilterCase{"HTML Files (*.html;*.htm)|*.html;*.htm", {"HTML Files (*.html *.htm)"}},
                      FilterCase{"Pages|*.htm|All Files (*.*)|*.*", {"Pages (*.htm)", "All Files (*.*)"}},
                      FilterCase{"Text|*.txt|dangling", {"Text (*.txt)"}}, FilterCase{"", {}}));

class PickersTest : public ::testing::Test {
protected:
    TempFolder program;
    TempFolder site;
    LastPathMemory memory{program.path()};
    FakeDialogService dialogs;
    Pickers pickers{dialogs, memory};

    QString pickFile(int mode = 0, const QString& defaultName = QString(), int filterIndex = 0) {
        return pickers.ShowFileDialog(nullptr, kHtmlFilter, QString(), mode, QStringLiteral("Select A File To Protect"),
                                      defaultName, QStringLiteral("/ignored"), filterIndex);
    }
};

TEST_F(PickersTest, FileDialogOpensInTheRememberedFolder) {
    memory.remember(site.path());
    dialogs.fileResults.enqueue({site.filePath(QStringLiteral("page.html")), 0});

    pickFile(0, QStringLiteral("/x/name.htm"));

    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    const FileDialogRequest& request = dialogs.fileRequests.first();
    EXPECT_EQ(request.kind, FileDialogRequest::Kind::Open);
    EXPECT_EQ(request.title, QStringLiteral("Select A File To Protect"));
    EXPECT_EQ(request.initialFolder, site.path());
    EXPECT_EQ(request.fileName, QStringLiteral("name.htm"));
    EXPECT_EQ(request.filters, QStringList{QStringLiteral("HTML Files (*.html *.htm)")});
    EXPECT_EQ(request.selectedFilter, QStringLiteral("HTML Files (*.html *.htm)"));
}

TEST_F(PickersTest, ChosenFileIsReturnedAndItsFolderRemembered) {
    const QString page = site.writeFile(QStringLiteral("sub/page.html"), "<html></html>");
    dialogs.fileResults.enqueue({page, 0});

    EXPECT_EQ(pickFile(), page);

    EXPECT_EQ(TempFolder::read(memory.filePath()), (site.filePath(QStringLiteral("sub")) + QLatin1Char('/')).toUtf8());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(PickersTest, CancelReturnsNothingSaysNothingAndForgetsThePath) {
    memory.remember(site.path());

    EXPECT_EQ(pickFile(), QString());

    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(memory.filePath()));
    EXPECT_TRUE(TempFolder::read(memory.filePath()).isEmpty());
}

TEST_F(PickersTest, DialogFailureIsReported) {
    dialogs.fileResults.enqueue({QString(), 12290});

    EXPECT_EQ(pickFile(), QString());

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Unable to get filename(s).\n\nCommDlgExtendedError returned 12290"));
    EXPECT_EQ(dialogs.messages[0].icon, QMessageBox::Critical);
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Quillora"));
    EXPECT_EQ(dialogs.messages[0].buttons, QMessageBox::Ok);
}

TEST_F(PickersTest, ModesChooseTheDialogKind) {
    using Kind = FileDialogRequest::Kind;
    const Kind kinds[] = {Kind::Open, Kind::OpenOrCreate, Kind::Save, Kind::SaveWithOverwritePrompt};
    for (int mode = 0; mode < 4; ++mode)
        pickFile(mode);
    ASSERT_EQ(dialogs.fileRequests.size(), 4);
    for (int mode = 0; mode < 4; ++mode)
        EXPECT_EQ(dialogs.fileRequests[mode].kind, kinds[mode]) << "mode " << mode;
}

TEST_F(PickersTest, UnknownModeShowsNoDialog) {
    EXPECT_EQ(pickFile(4), QString());
    EXPECT_EQ(pickFile(-1), QString());
    EXPECT_TRUE(dialogs.fileRequests.isEmpty());
}

TEST_F(PickersTest, FilterIndexCountsFromOne) {
    pickers.ShowFileDialog(nullptr, QStringLiteral("A|*.a|B|*.b"), QStringLiteral("b"), 0, QString(), QString(),
                           QString(), 2);
    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(dialogs.fileRequests[0].selectedFilter, QStringLiteral("B (*.b)"));
    EXPECT_EQ(dialogs.fileRequests[0].defaultSuffix, QStringLiteral("b"));
}

TEST_F(PickersTest, SeveralFilesComeBackAndTheFirstOnesFolderIsRemembered) {
    const QString first = site.writeFile(QStringLiteral("a/one.htm"), "1");
    const QString second = site.writeFile(QStringLiteral("b/two.htm"), "2");
    memory.remember(site.path());
    dialogs.fileResults.enqueue({first, 0, {first, second}});
    dialogs.fileResults.enqueue({first, 0}); // a dialog that hands back one file only
    dialogs.fileResults.enqueue({QString(), 12290});

    EXPECT_EQ(pickers.ShowOpenFilesDialog(nullptr, kHtmlFilter, QStringLiteral("Select A File To Protect")),
              (QStringList{first, second}));
    EXPECT_EQ(memory.ReadLastPath(), site.filePath(QStringLiteral("a")) + QLatin1Char('/'));
    EXPECT_EQ(pickers.ShowOpenFilesDialog(nullptr, kHtmlFilter, QString()), QStringList{first});
    EXPECT_EQ(pickers.ShowOpenFilesDialog(nullptr, kHtmlFilter, QString()), QStringList());

    ASSERT_EQ(dialogs.fileRequests.size(), 3);
    const FileDialogRequest& request = dialogs.fileRequests[0];
    EXPECT_TRUE(request.several);
    EXPECT_EQ(request.kind, FileDialogRequest::Kind::Open);
    EXPECT_EQ(request.initialFolder, site.path());
    EXPECT_EQ(request.title, QStringLiteral("Select A File To Protect"));
    EXPECT_EQ(request.filters, QStringList{QStringLiteral("HTML Files (*.html *.htm)")});
    EXPECT_EQ(dialogs.messageTexts(),
              QStringList{QStringLiteral("Unable to get filename(s).\n\nCommDlgExtendedError returned 12290")});
}

TEST_F(PickersTest, FolderPickerGetsPromptAndStartFolder) {
    dialogs.folderResults.enqueue(site.path());

    EXPECT_EQ(
        pickers.BrowseForFolder(QStringLiteral("Please select the folder to add "), QStringLiteral("/start"), nullptr),
        site.path());

    ASSERT_EQ(dialogs.folderRequests.size(), 1);
    EXPECT_EQ(dialogs.folderRequests[0].prompt, QStringLiteral("Please select the folder to add "));
    EXPECT_EQ(dialogs.folderRequests[0].initialFolder, QStringLiteral("/start"));
}

} // namespace
