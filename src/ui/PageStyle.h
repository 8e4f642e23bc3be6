#pragma once

#include <QColor>
#include <QString>

class QLabel;
class QPalette;
class QWidget;

// The few text styles the pages share.
namespace quillora::ui::pagestyle {

/// A page's title line.
QLabel* heading(const QString& text, QWidget* parent);
/// A line of guidance under a heading.
QLabel* subheading(const QString& text, QWidget* parent);
/// Wrapped body text.
QLabel* bodyText(const QString& text, QWidget* parent);

/// True for a palette whose windows are dark (a dark desktop theme).
bool isDark(const QPalette& palette);
/// The colour of a mark that something is wrong: a deep red on a light window, a light one on a dark window.
QColor warningColor(const QPalette& palette);
/// Shows the label's text in the warning colour of its palette; it keeps its place in the layout when hidden.
void markAsWarning(QLabel* label);

} // namespace quillora::ui::pagestyle
