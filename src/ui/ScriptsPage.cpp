#include "ScriptsPage.h"

#include "BuddyLabel.h"
#include "HoverHelp.h"
#include "PageStyle.h"
#include "TextRuleValidator.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quillora::ui {

namespace {

struct ScriptOption {
    std::size_t index;
    const char* caption;
    const char16_t* help;
};

const std::array<ScriptOption, 10> kScripts = {{
    {engine::kScriptRightClick, "Disable right mouse click",
     u"Stop the user from right clicking on your page. This would stop them getting to view source."},
    {engine::kScriptTextSelection, "Disable text highlighting",
     u"Stop the user from highlighting your text, thus stopping them from copy and pasting text."},
    {engine::kScriptStatusBar, "Don't display URLs in status bar",
     u"Stop the URL of the link showing in the status bar along the bottom of Internet Explorer. Only old browsers "
     u"honour this: today\u2019s browsers show a link\u2019s address whatever the page says."},
    {engine::kScriptPrinting, "Disable printing of pages", u"Stop the user from printing out your page."},
    {engine::kScriptClipboard, "Disable clipboard and printscreen",
     u"Stop the text of your page being copied or cut to the clipboard; form fields still copy and paste. No web "
     u"page can stop print screen or other screen shots."},
    {engine::kScriptDragDrop, "Disable drag and drop",
     u"Stop elements being dragged from or onto the page, i.e. images or text."},
    {engine::kScriptBreakFrames, "Break out of frames",
     u"If the page has been loaded from within someone else\u2019s site, i.e. A frame redirect your page with break "
     u"out. Today\u2019s browsers refuse it to a page framed by another site."},
    {engine::kScriptImageToolbar, "Disable IE Image Toolbar",
     u"Stop the images showing Image Toolbar. Only old browsers have this toolbar: today\u2019s browsers show none."},
    {engine::kScriptShortcuts, "Disable Ctrl+C, S, P and U",
     u"Stop Ctrl+C, Ctrl+S, Ctrl+P and Ctrl+U (Cmd on a Mac) copying, saving, printing or showing the source of your "
     u"page; form fields keep every key. No page can stop the browser\u2019s menus, view-source: typed in the "
     u"address bar, the developer tools or screen shots."},
    {engine::kScriptCopyAttribution, "Add attribution to copied text",
     u"Put your attribution and the page\u2019s address after any text copied from your page; form fields copy as "
     u"usual. With \u201CDisable clipboard and printscreen\u201D the copy is refused instead. A visitor can still "
     u"delete it after pasting."},
}};

constexpr char16_t kStrictCspHelp[] =
    u"Make pages that run where the host forbids eval and inline scripts: each page names the hashes of its "
    u"scripts in its own policy, and a _headers file holds every page\u2019s policy for hosts that set headers. "
    u"The page\u2019s own onclick=\u2026 handlers do not run under it.";

} // namespace

ScriptsPage::ScriptsPage(selection::DialogService& dialogs, QWidget* parent)
    : QWidget(parent), chkRightMouse(new QCheckBox(QStringLiteral("Show warning"), this)),
      txtRightClickWarning(new QLineEdit(QString::fromStdU16String(engine::kDefaultRightClickWarning), this)),
      chkStrictCsp(new QCheckBox(QStringLiteral("Pages for a strict Content-Security-Policy"), this)),
      lblWarning2(new QLabel(QStringLiteral(" \\ \" or ' not allowed"), this)),
      lblCopyAttribution(new QLabel(QStringLiteral("Attribution"), this)),
      txtCopyAttribution(new QLineEdit(QString::fromStdU16String(engine::kDefaultCopyAttribution), this)),
      lblWarning3(new QLabel(lblWarning2->text(), this)), lblScriptInfo(new QLabel(this)) {
    chkRightMouse->setObjectName(QStringLiteral("chkRightMouse"));
    chkRightMouse->setEnabled(false);
    txtRightClickWarning->setObjectName(QStringLiteral("txtRightClickWarning"));
    txtRightClickWarning->setEnabled(false);
    lblWarning2->setObjectName(QStringLiteral("lblWarning2"));
    pagestyle::markAsWarning(lblWarning2);
    lblWarning2->hide();
    lblScriptInfo->setObjectName(QStringLiteral("lblScriptInfo"));
    lblScriptInfo->setWordWrap(true);
    TextRuleValidator::install(txtRightClickWarning, lblWarning2, dialogs, TextRuleValidator::isScriptSafe);
    connect(chkRightMouse, &QCheckBox::toggled, this, &ScriptsPage::chkRightMouse_Click);
    setUpAttribution(dialogs);
    chkStrictCsp->setObjectName(QStringLiteral("chkStrictCsp"));
    (new HoverHelp(lblScriptInfo, this))->add(chkStrictCsp, QString::fromUtf16(kStrictCspHelp));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pagestyle::heading(QStringLiteral("Do you wish to add any additional scripts?"), this));
    layout->addWidget(scriptGrid());
    layout->addWidget(warningGroup());
    layout->addSpacing(8);
    layout->addWidget(chkStrictCsp);
    layout->addSpacing(8);
    layout->addWidget(informationFrame());
    layout->addStretch();
}

void ScriptsPage::setUpAttribution(selection::DialogService& dialogs) {
    lblCopyAttribution->setObjectName(QStringLiteral("lblCopyAttribution"));
    lblCopyAttribution->setBuddy(txtCopyAttribution);
    txtCopyAttribution->setObjectName(QStringLiteral("txtCopyAttribution"));
    txtCopyAttribution->setEnabled(false);
    greyWithBuddy(lblCopyAttribution);
    lblWarning3->setObjectName(QStringLiteral("lblWarning3"));
    pagestyle::markAsWarning(lblWarning3);
    lblWarning3->hide();
    TextRuleValidator::install(txtCopyAttribution, lblWarning3, dialogs, TextRuleValidator::isScriptSafe);
}

QWidget* ScriptsPage::scriptGrid() {
    auto* grid = new QWidget(this);
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* help = new HoverHelp(lblScriptInfo, this);
    const int rows = static_cast<int>(kScripts.size() + 1) / 2;
    for (int n = 0; n < static_cast<int>(kScripts.size()); ++n) {
        const ScriptOption& option = kScripts[n];
        auto* box = new QCheckBox(QString::fromLatin1(option.caption), grid);
        box->setObjectName(QStringLiteral("chkScript(%1)").arg(option.index));
        help->add(box, QString::fromStdU16String(option.help));
        connect(box, &QCheckBox::toggled, this, [this, index = option.index] { chkScript_Click(index); });
        chkScript[option.index] = box;
        layout->addWidget(box, n % rows, n / rows);
    }
    return grid;
}

QWidget* ScriptsPage::warningGroup() {
    auto* group = new QWidget(this);
    auto* layout = new QGridLayout(group);
    layout->setContentsMargins(24, 0, 0, 0);
    layout->addWidget(lblWarning2, 0, 1);
    layout->addWidget(chkRightMouse, 1, 0);
    layout->addWidget(txtRightClickWarning, 1, 1);
    layout->addWidget(lblWarning3, 2, 1);
    layout->addWidget(lblCopyAttribution, 3, 0);
    layout->addWidget(txtCopyAttribution, 3, 1);
    layout->setColumnStretch(1, 1);
    return group;
}

QWidget* ScriptsPage::informationFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Information"), this);
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(lblScriptInfo);
    lblScriptInfo->setMinimumHeight(lblScriptInfo->fontMetrics().lineSpacing() * 3);
    lblScriptInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return frame;
}

void ScriptsPage::fill(engine::ProtectionOptions& options) const {
    for (std::size_t i = 0; i < chkScript.size(); ++i)
        options.scripts[i] = chkScript[i] != nullptr && chkScript[i]->isChecked();
    options.showRightClickWarning = chkRightMouse->isChecked();
    options.rightClickWarning = txtRightClickWarning->text().toStdU16String();
    options.copyAttribution = txtCopyAttribution->text().toStdU16String();
    options.strictCsp = chkStrictCsp->isChecked();
}

void ScriptsPage::chkScript_Click(std::size_t index) {
    if (index == engine::kScriptCopyAttribution)
        txtCopyAttribution->setEnabled(chkScript[index]->isChecked());
    if (index != engine::kScriptRightClick)
        return;
    if (chkScript[index]->isChecked()) {
        if (chkRightMouse->isChecked())
            txtRightClickWarning->setEnabled(true);
        chkRightMouse->setEnabled(true);
    } else {
        txtRightClickWarning->setEnabled(false);
        chkRightMouse->setEnabled(false);
    }
}

void ScriptsPage::chkRightMouse_Click() {
    txtRightClickWarning->setEnabled(chkRightMouse->isChecked());
}

} // namespace quillora::ui
