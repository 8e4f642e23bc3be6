#include "WelcomePage.h"

#include "Artwork.h"
#include "HyperLink2.h"
#include "PageStyle.h"
#include "selection/AppInfo.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace quillora::ui {

namespace {

constexpr int kImageSize = 128;

QLabel* picture(const QString& name, const QPixmap& pixmap, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(pixmap);
    label->setFixedSize(kImageSize, kImageSize);
    return label;
}

} // namespace

WelcomePage::WelcomePage(QWidget* parent)
    : QWidget(parent), lblVersion(new QLabel(this)),
      imgMain(picture(QStringLiteral("imgMain"), artwork::productImage(kImageSize), this)), lblEgg(new QLabel(this)),
      imgEgg(picture(QStringLiteral("imgEgg"), artwork::eggImage(kImageSize), this)),
      HyperLink21(new HyperLink2(this)) {
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    // The caption keeps the design's year; the release itself is told here.
    lblVersion->setToolTip(QStringLiteral("Version " QUILLORA_VERSION));
    lblEgg->setObjectName(QStringLiteral("lblEgg"));
    HyperLink21->setObjectName(QStringLiteral("HyperLink21"));
    HyperLink21->setText(QString::fromLatin1(selection::kWebAddress));
    imgMain->installEventFilter(this);

    // The second image lies under the product image and shows only once that is hidden.
    auto* images = new QGridLayout;
    images->addWidget(imgEgg, 0, 0);
    images->addWidget(imgMain, 0, 0);
    images->addWidget(lblEgg, 1, 0);
    imgMain->raise();

    auto* intro = new QVBoxLayout;
    intro->addWidget(pagestyle::bodyText(
        QStringLiteral("Please follow the on-screen instructions, clicking Next when finished on each page. To return "
                       "to the previous page at any time, click Back."),
        this));
    intro->addSpacing(12);
    intro->addWidget(lblVersion);
    intro->addStretch();

    auto* middle = new QHBoxLayout;
    middle->addLayout(intro, 1);
    middle->addSpacing(16);
    middle->addLayout(images);

    auto* website = new QHBoxLayout;
    website->addWidget(new QLabel(QStringLiteral("Website:"), this));
    website->addWidget(HyperLink21);
    website->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pagestyle::heading(QStringLiteral("Welcome"), this));
    layout->addSpacing(8);
    layout->addLayout(middle);
    layout->addStretch();
    layout->addLayout(website);
}

bool WelcomePage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == imgMain && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        Q_EMIT imgMainClicked();
    return QWidget::eventFilter(watched, event);
}

} // namespace quillora::ui
