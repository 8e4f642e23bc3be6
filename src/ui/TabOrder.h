#pragma once

#include <QList>

class QRadioButton;
class QWidget;

namespace quillora::ui {

class frmMain;

/// Tab walks each page's controls in the order they are seen, then Back, Next and Exit. The pages not shown are
/// skipped, so the order is one chain through every page. An option group is one stop, on its chosen option.
void chainTabOrder(frmMain& window);

/// The window's chain: every control that Tab reaches, page by page, then the buttons.
QList<QWidget*> tabChain(const frmMain& window);

/// Keeps the group's one Tab stop on its chosen option; the arrow keys still move within the group. Qt leaves the
/// stop on the option that had the focus last, which for a choice made before the page was first entered (a start
/// value, or a choice kept over Restart) is the first option rather than the chosen one.
void keepTabStopOnChosen(const QList<QRadioButton*>& options);

} // namespace quillora::ui
