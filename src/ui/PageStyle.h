#pragma once

#include <QString>

class QLabel;
class QWidget;

// The few text styles the pages share.
namespace quillora::ui::pagestyle {

/// A page's title line.
QLabel* heading(const QString& text, QWidget* parent);
/// A line of guidance under a heading.
QLabel* subheading(const QString& text, QWidget* parent);
/// Wrapped body text.
QLabel* bodyText(const QString& text, QWidget* parent);

} // namespace quillora::ui::pagestyle
