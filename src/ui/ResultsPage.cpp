#include "ResultsPage.h"

#include "PageStyle.h"
#include "run/RunMessages.h"
#include "selection/NativePath.h"
#include "selection/TreeNodes.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace quillora::ui {

namespace {

using selection::kImageFile;
using selection::kImageFolder;
using selection::kPathRole;

// Scrolling to every new node re-lays the whole tree; during a run it follows the newest node a few times a second.
constexpr int kScrollIntervalMs = 100;
const QString kBarFormat = QStringLiteral("%v of %m pages");
// The bar of a run that left pages undone: a red that white text reads on, in a light theme and a dark one.
const QColor kShortfall(190, 40, 40);

QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
    auto* pushButton = new QPushButton(caption, parent);
    pushButton->setObjectName(name);
    return pushButton;
}

void keepSpaceWhenHidden(QWidget* widget) {
    QSizePolicy keepSpace = widget->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(keepSpace);
}

/// "Finished: 28 written, 1 already protected, 1 given up." or, for a stopped run, "Stopped: ..." with the pages
/// it did not reach.
QString countsLine(const run::RunSummary& summary, bool restore) {
    QStringList parts{QStringLiteral("%1 %2").arg(summary.written).arg(restore ? "restored" : "written")};
    const auto add = [&parts](std::size_t count, const char* what) {
        if (count > 0)
            parts << QStringLiteral("%1 %2").arg(count).arg(QLatin1String(what));
    };
    add(summary.protectedInPart, "protected in part");
    add(summary.alreadyProtected, "already protected");
    add(summary.skipped, "skipped");
    add(summary.givenUp, "given up");
    add(summary.notReached, "not reached (left as they were)");
    return (summary.stopped ? QStringLiteral("Stopped: ") : QStringLiteral("Finished: ")) +
           parts.join(QStringLiteral(", ")) + QLatin1Char('.');
}

QString otherFilesLine(const run::RunSummary& summary) {
    QString line =
        QString::fromStdString(run::messages::otherFilesCopied(summary.otherFilesCopied, summary.otherFilesFailed));
    if (summary.otherFilesNotCopied > 0)
        line += QStringLiteral(", %1 not copied (stopped)").arg(summary.otherFilesNotCopied);
    return line;
}

} // namespace

ResultsPage::ResultsPage(QWidget* parent)
    : QWidget(parent), lblResults(new QLabel(QStringLiteral("Scanning for files, please wait..."), this)),
      barProgress(new QProgressBar(this)), treeResults(new QTreeWidget(this)),
      cmdViewPage(button(QStringLiteral("cmdViewPage"), QStringLiteral("&View Page"), this)),
      cmdOpenFolder(button(QStringLiteral("cmdOpenFolder"), QStringLiteral("&Open Folder"), this)),
      cmdRestore(button(QStringLiteral("cmdRestore"), QStringLiteral("Re&store Originals"), this)),
      cmdStop(button(QStringLiteral("cmdStop"), QStringLiteral("S&top"), this)),
      lblThanks(pagestyle::heading(QStringLiteral("Thank you for using Quillora"), this)),
      lblRestartHint(pagestyle::bodyText(QStringLiteral("Click 'Restart' to start again!"), this)),
      lblRunEnd(new QLabel(this)), lblNotes(new QLabel(this)) {
    lblResults->setObjectName(QStringLiteral("lblResults"));
    lblResults->setWordWrap(true);
    lblRunEnd->setObjectName(QStringLiteral("lblRunEnd"));
    lblRunEnd->setWordWrap(true);
    lblRunEnd->hide();
    lblThanks->setObjectName(QStringLiteral("lblThanks"));
    lblRestartHint->setObjectName(QStringLiteral("lblRestartHint"));
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setFormat(kBarFormat);
    keepSpaceWhenHidden(barProgress);
    barProgress->hide();
    treeResults->setObjectName(QStringLiteral("treeResults"));
    treeResults->setHeaderHidden(true);
    cmdViewPage->setEnabled(false);
    cmdOpenFolder->setEnabled(false);
    cmdRestore->hide();
    cmdStop->setToolTip(QStringLiteral("Finish the page in hand, then leave every other page as it is"));
    cmdStop->hide();
    lblNotes->setObjectName(QStringLiteral("lblNotes"));
    lblNotes->setWordWrap(true);
    lblNotes->setTextFormat(Qt::RichText);
    lblNotes->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Selectable with the mouse, yet no stop for the focus: Tab and the window's first focus pass it by.
    lblNotes->setFocusPolicy(Qt::NoFocus);
    lblNotes->hide();
    m_scrollTimer.setSingleShot(true);
    m_scrollTimer.setInterval(kScrollIntervalMs);
    connect(&m_scrollTimer, &QTimer::timeout, this, &ResultsPage::scrollToLatest);
    connect(treeResults, &QTreeWidget::itemSelectionChanged, this, &ResultsPage::treeResults_Click);
    connect(treeResults, &QTreeWidget::itemDoubleClicked, this, &ResultsPage::treeResults_DblClick);
    treeResults->installEventFilter(this);

    auto* view = new QHBoxLayout;
    view->addWidget(cmdRestore);
    view->addWidget(cmdStop);
    view->addStretch();
    view->addWidget(cmdOpenFolder);
    view->addWidget(cmdViewPage);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblThanks);
    layout->addWidget(lblRestartHint);
    layout->addSpacing(8);
    layout->addWidget(lblResults);
    layout->addWidget(lblRunEnd);
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
    showRunning(false);
}

void ResultsPage::beginRun() {
    clearResults();
    barProgress->setRange(0, 0);
    barProgress->show();
    showRunning(true);
}

void ResultsPage::showRunning(bool running) {
    // The thanks and the hint to restart would speak too soon while the run goes on.
    lblThanks->setVisible(!running);
    lblRestartHint->setVisible(!running);
    cmdStop->setVisible(running);
    cmdStop->setEnabled(running);
}

void ResultsPage::stopping() {
    cmdStop->setEnabled(false);
    lblRunEnd->setText(QStringLiteral("Stopping after the page in hand..."));
    lblRunEnd->show();
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

void ResultsPage::markProtectedInPart(const run::FileEntry& entry, const QString& reason) {
    (void)entry; // the run reports it right after the page's listing, which is the latest node
    if (m_latest == nullptr)
        return;
    m_latest->setText(0, m_latest->text(0) + QStringLiteral("  (protected in part)"));
    m_latest->setToolTip(0, reason);
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

void ResultsPage::beginFolderRestore() {
    beginRun();
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
    const bool restore = m_restoreRunning;
    m_restoreRunning = false;
    showRunning(false);
    lblRunEnd->hide();
    if (summary.outcome == run::RunSummary::Outcome::Ran) {
        if (restore)
            lblResults->setText(QString::fromStdString(run::messages::restoreFinished(summary)));
        else if (summary.found > 0)
            lblResults->setText(QString::fromStdString(run::messages::filesProtected(summary.written)));
        if (summary.otherFilesCopied > 0 || summary.otherFilesFailed > 0 || summary.otherFilesNotCopied > 0)
            lblResults->setText(lblResults->text() + QLatin1Char('\n') + otherFilesLine(summary));
        if (summary.found > 0) {
            lblRunEnd->setText(countsLine(summary, restore));
            lblRunEnd->show();
        }
    }
    m_scrollTimer.stop();
    scrollToLatest();
    showShortfall(summary);
    // A run that found nothing to do never counted pages: its busy bar goes away.
    if (barProgress->maximum() == 0)
        barProgress->hide();
}

// The bar of a run that left pages undone shows how many were done, in the warning colour, not a full bar.
void ResultsPage::showShortfall(const run::RunSummary& summary) {
    m_shortfall = summary.outcome == run::RunSummary::Outcome::Ran && summary.found > 0 && !summary.allDone();
    barProgress->setPalette(QPalette());
    barProgress->setFormat(kBarFormat);
    if (!m_shortfall)
        return;
    const std::size_t undone = summary.givenUp + summary.notReached + summary.skipped;
    const std::size_t done = summary.found > undone ? summary.found - undone : 0;
    barProgress->setRange(0, static_cast<int>(summary.found));
    barProgress->setValue(static_cast<int>(std::min(done, summary.found)));
    barProgress->setFormat(QStringLiteral("%v of %m pages done"));
    QPalette colors = barProgress->palette();
    colors.setColor(QPalette::Highlight, kShortfall);
    colors.setColor(QPalette::HighlightedText, Qt::white);
    barProgress->setPalette(colors);
}

void ResultsPage::addNotReachedNode(const run::FileEntry& entry) {
    const QString name = selection::fromNativePath(entry.Name);
    auto* node = pageNode(listedEntry(entry), name + QStringLiteral("  (not reached)"), selection::kImageNotReached,
                          selection::fromNativePath(entry.fullPath()));
    node->setToolTip(0, QStringLiteral("The run was stopped before this page; it is exactly as it was"));
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

bool ResultsPage::eventFilter(QObject* watched, QEvent* event) {
    // Enter on a written page views it, as a double click does, rather than pressing Restart behind it.
    if (watched == treeResults && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        QTreeWidgetItem* current = treeResults->currentItem();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && current != nullptr &&
            selection::nodeImage(current) == kImageFile) {
            treeResults_DblClick(current);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
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
        html =
            QStringLiteral("<span style=\"color: %1;\">%2</span>").arg(pagestyle::warningColor(palette()).name(), html);
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
    lblRunEnd->hide();
    m_shortfall = false;
    barProgress->setPalette(QPalette());
    barProgress->setFormat(kBarFormat);
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
