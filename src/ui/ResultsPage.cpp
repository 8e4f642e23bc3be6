#include "ResultsPage.h"

#include "PageStyle.h"
#include "run/RunMessages.h"
#include "selection/NativePath.h"
#include "selection/TreeNodes.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillora::ui {

namespace {

using selection::kImageFile;
using selection::kImageFolder;
using selection::kPathRole;

// Scrolling to every new node re-lays the whole tree; during a run it follows the newest node a few times a second.
constexpr int kScrollIntervalMs = 100;

} // namespace

ResultsPage::ResultsPage(QWidget* parent)
    : QWidget(parent), lblResults(new QLabel(QStringLiteral("Scanning for files, please wait..."), this)),
      barProgress(new QProgressBar(this)), treeResults(new QTreeWidget(this)),
      cmdViewPage(new QPushButton(QStringLiteral("&View Page"), this)),
      cmdOpenFolder(new QPushButton(QStringLiteral("&Open Folder"), this)),
      cmdRestore(new QPushButton(QStringLiteral("Re&store Originals"), this)), lblNotes(new QLabel(this)) {
    lblResults->setObjectName(QStringLiteral("lblResults"));
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setFormat(QStringLiteral("%v of %m pages"));
    QSizePolicy keepSpace = barProgress->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    barProgress->setSizePolicy(keepSpace);
    barProgress->hide();
    treeResults->setObjectName(QStringLiteral("treeResults"));
    treeResults->setHeaderHidden(true);
    cmdViewPage->setObjectName(QStringLiteral("cmdViewPage"));
    cmdViewPage->setAutoDefault(true);
    cmdViewPage->setEnabled(false);
    cmdOpenFolder->setObjectName(QStringLiteral("cmdOpenFolder"));
    cmdOpenFolder->setAutoDefault(true);
    cmdOpenFolder->setEnabled(false);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdRestore->setAutoDefault(true);
    cmdRestore->hide();
    lblNotes->setObjectName(QStringLiteral("lblNotes"));
    lblNotes->setWordWrap(true);
    lblNotes->setTextFormat(Qt::RichText);
    lblNotes->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblNotes->hide();
    m_scrollTimer.setSingleShot(true);
    m_scrollTimer.setInterval(kScrollIntervalMs);
    connect(&m_scrollTimer, &QTimer::timeout, this, &ResultsPage::scrollToLatest);
    connect(treeResults, &QTreeWidget::itemSelectionChanged, this, &ResultsPage::treeResults_Click);
    connect(treeResults, &QTreeWidget::itemDoubleClicked, this, &ResultsPage::treeResults_DblClick);

    auto* view = new QHBoxLayout;
    view->addWidget(cmdRestore);
    view->addStretch();
    view->addWidget(cmdOpenFolder);
    view->addWidget(cmdViewPage);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pagestyle::heading(QStringLiteral("Thank you for using Quillora"), this));
    layout->addWidget(pagestyle::bodyText(QStringLiteral("Click 'Restart' to start again!"), this));
    layout->addSpacing(8);
    layout->addWidget(lblResults);
    layout->addWidget(barProgress);
    layout->addWidget(treeResults, 1);
    layout->addWidget(lblNotes);
    layout->addLayout(view);
    addPlaceholderRoot();
}

void ResultsPage::addPlaceholderRoot() {
    clearResults();
    auto* root = new QTreeWidgetItem(treeResults);
    selection::setNode(root, QString::fromLatin1(selection::kRootKey),
                       QStringLiteral("To protect your files click protect on the previous page"),
                       selection::kImageRoot);
    barProgress->hide();
}

void ResultsPage::beginRun() {
    clearResults();
    barProgress->setRange(0, 0);
    barProgress->show();
}

QTreeWidgetItem* ResultsPage::pageNode(const run::FileEntry& entry, const QString& text, int image,
                                       const QString& path) {
    const QString folder = selection::fromNativePath(entry.Folder);
    QTreeWidgetItem* parent = folder.isEmpty() ? nullptr : folderNode(folder);
    auto* node = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(treeResults);
    selection::setNode(node, QString(), text, image);
    node->setData(0, kPathRole, path);
    if (parent != nullptr && !parent->isExpanded())
        parent->setExpanded(true);
    m_latest = node;
    if (!m_scrollTimer.isActive())
        m_scrollTimer.start();
    return node;
}

void ResultsPage::AddResultNode(const run::FileEntry& entry, const QString& outputPath) {
    pageNode(entry, selection::fromNativePath(entry.Name), kImageFile, outputPath);
    m_written.append({entry, outputPath});
    ++m_fileNodes;
    lblResults->setText(QStringLiteral("The following %1 files have been protected").arg(m_fileNodes));
}

void ResultsPage::addAlreadyProtectedNode(const run::FileEntry& entry) {
    const QString name = selection::fromNativePath(entry.Name);
    auto* node = pageNode(entry, name + QStringLiteral("  (already protected)"), selection::kImageAlreadyProtected,
                          selection::fromNativePath(entry.fullPath()));
    node->setToolTip(0, QString::fromStdString(run::messages::alreadyProtected(entry.fullPath())));
}

void ResultsPage::addFailedNode(const run::FileEntry& failed, const QString& message, bool skipped) {
    const run::FileEntry entry = listedEntry(failed);
    const QString name = selection::fromNativePath(entry.Name);
    auto* node = pageNode(entry, name + QStringLiteral("  (") + message + QStringLiteral(")"),
                          skipped ? selection::kImageSkipped : selection::kImageGivenUp,
                          selection::fromNativePath(entry.fullPath()));
    node->setToolTip(0, message);
}

void ResultsPage::setProgress(std::size_t done, std::size_t found) {
    barProgress->setRange(0, static_cast<int>(found));
    barProgress->setValue(static_cast<int>(done));
}

QStringList ResultsPage::writtenPages() const {
    QStringList paths;
    for (const WrittenPage& page : m_written)
        paths << page.path;
    return paths;
}

void ResultsPage::beginRestore() {
    QHash<QString, run::FileEntry> listed;
    for (const WrittenPage& page : m_written)
        listed.insert(page.path, page.entry);
    beginRun();
    m_restoring = std::move(listed);
    m_restoreRunning = true;
}

void ResultsPage::addRestoredNode(const run::FileEntry& entry, const QString& path) {
    const run::FileEntry listed = listedEntry(entry);
    pageNode(listed, selection::fromNativePath(listed.Name), selection::kImageRestored, path);
    ++m_fileNodes;
    lblResults->setText(QString::fromStdString(run::messages::filesRestored(static_cast<std::size_t>(m_fileNodes))));
}

run::FileEntry ResultsPage::listedEntry(const run::FileEntry& entry) const {
    return m_restoring.value(selection::fromNativePath(entry.fullPath()), entry);
}

void ResultsPage::endRun(const run::RunSummary& summary) {
    if (m_restoreRunning) {
        lblResults->setText(QString::fromStdString(run::messages::restoreFinished(summary)));
        m_restoreRunning = false;
    }
    if (summary.otherFilesCopied > 0 || summary.otherFilesFailed > 0)
        lblResults->setText(lblResults->text() + QLatin1Char('\n') +
                            QString::fromStdString(
                                run::messages::otherFilesCopied(summary.otherFilesCopied, summary.otherFilesFailed)));
    m_scrollTimer.stop();
    scrollToLatest();
    // A run that found nothing to do never counted pages: its busy bar goes away.
    if (barProgress->maximum() == 0)
        barProgress->hide();
}

QString ResultsPage::selectedPath() const {
    const QList<QTreeWidgetItem*> selected = treeResults->selectedItems();
    return selected.isEmpty() ? QString() : selected.constFirst()->data(0, kPathRole).toString();
}

QString ResultsPage::selectedFolder() const {
    const QList<QTreeWidgetItem*> selected = treeResults->selectedItems();
    if (selected.isEmpty())
        return {};
    const QString path = selected.constFirst()->data(0, kPathRole).toString();
    return path.isEmpty() || selection::nodeImage(selected.constFirst()) != kImageFile ? path : QFileInfo(path).path();
}

void ResultsPage::treeResults_Click() {
    const bool selected = !treeResults->selectedItems().isEmpty();
    cmdViewPage->setEnabled(selected);
    cmdOpenFolder->setEnabled(selected);
}

void ResultsPage::treeResults_DblClick(QTreeWidgetItem* node) {
    if (node == nullptr || selection::nodeImage(node) != kImageFile)
        return;
    treeResults->setCurrentItem(node);
    cmdViewPage->click();
}

void ResultsPage::addFailedFolderNode(const QString& folder, const QString& message) {
    auto* node = new QTreeWidgetItem(treeResults);
    selection::setNode(node, QString(), message, selection::kImageSkipped);
    node->setData(0, kPathRole, folder);
    node->setToolTip(0, message);
}

void ResultsPage::addNote(const QString& text, bool warning) {
    QString html = text.toHtmlEscaped();
    html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    if (warning)
        html = QStringLiteral("<span style=\"color: #b00000;\">%1</span>").arg(html);
    lblNotes->setText(lblNotes->text().isEmpty() ? html : lblNotes->text() + QStringLiteral("<br>") + html);
    lblNotes->show();
}

void ResultsPage::clearResults() {
    lblNotes->clear();
    lblNotes->hide();
    m_scrollTimer.stop();
    m_latest = nullptr;
    m_folderNodes.clear();
    m_fileNodes = 0;
    m_written.clear();
    m_restoring.clear();
    m_restoreRunning = false;
    treeResults->clear();
    cmdViewPage->setEnabled(false);
    cmdOpenFolder->setEnabled(false);
    cmdRestore->hide();
}

QTreeWidgetItem* ResultsPage::folderNode(const QString& folder) {
    QTreeWidgetItem*& node = m_folderNodes[folder];
    if (node == nullptr) {
        node = new QTreeWidgetItem(treeResults);
        selection::setNode(node, folder, folder, kImageFolder);
        node->setData(0, kPathRole, folder);
    }
    return node;
}

void ResultsPage::scrollToLatest() {
    if (m_latest != nullptr)
        treeResults->scrollToItem(m_latest);
}

} // namespace quillora::ui
