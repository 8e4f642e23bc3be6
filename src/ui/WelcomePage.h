#pragma once

#include <QWidget>

class QLabel;

namespace quillora::ui {

class HyperLink2;

/// Page 0: the greeting, the version, the product image and the product's web link.
class WelcomePage : public QWidget {
    Q_OBJECT

public:
    explicit WelcomePage(QWidget* parent = nullptr);

    QLabel* lblVersion;
    QLabel* imgMain;
    QLabel* lblEgg;
    QLabel* imgEgg;
    HyperLink2* HyperLink21;

Q_SIGNALS:
    void imgMainClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace quillora::ui
