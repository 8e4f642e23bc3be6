#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QLabel;
class QWidget;

namespace quillora::ui {

/// Shows an option's help text in an information label while the mouse moves over the option (or the option
/// takes the keyboard focus). Nothing happens on leaving: the last text stays.
class HoverHelp : public QObject {
    Q_OBJECT

public:
    HoverHelp(QLabel* label, QObject* parent);

    void add(QWidget* option, const QString& helpText);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_label;
    QHash<QObject*, QString> m_texts;
};

} // namespace quillora::ui
