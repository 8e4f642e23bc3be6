#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QLabel;

namespace quillora::ui {

/// One line of text shown as a link: underlined while the pointer is over it or while it has the focus; a
/// click (or Space while focused) raises Click for the container to act on.
class HyperLink : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(QString URL READ URL WRITE setURL)
    Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor)

public:
    explicit HyperLink(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    QString URL() const { return m_url; }
    void setURL(const QString& url) { m_url = url; }
    QColor BackColor() const;
    void setBackColor(const QColor& color);

    bool isUnderlined() const;

    QLabel* lblLink;

Q_SIGNALS:
    void Click();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setUnderlined(bool underlined);

    QString m_url;
};

} // namespace quillora::ui
