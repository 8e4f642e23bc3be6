#include "SideBar.h"

#include "Artwork.h"
#include "HyperLink.h"

#include <QLabel>
#include <QPainter>

namespace quillora::ui {

namespace {

constexpr int kWidth = 176;
constexpr int kRowHeight = 40;
constexpr int kTopOffset = 16;
constexpr int kIconSize = 24;
constexpr int kTitleLeft = 48;
const QColor kBorder(200, 208, 226);

QLabel* makeIcon(QWidget* parent, const QString& name, const QPixmap& picture) {
    auto* icon = new QLabel(parent);
    icon->setObjectName(name);
    icon->setPixmap(picture);
    icon->setFixedSize(kIconSize, kIconSize);
    return icon;
}

QString indexed(const char* name, int i) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

} // namespace

SideBar::SideBar(QWidget* parent) : QWidget(parent), imgBlueColor(new QWidget(this)) {
    setObjectName(QStringLiteral("picLeft"));
    imgBlueColor->setObjectName(QStringLiteral("imgBlueColor"));
    imgBlueColor->setAutoFillBackground(true);
    QPalette highlight = imgBlueColor->palette();
    highlight.setColor(QPalette::Window, artwork::kHighlight);
    imgBlueColor->setPalette(highlight);
    for (int i = 0; i < kRowCount; ++i) {
        imgLink[i] = makeIcon(this, indexed("imgLink", i), artwork::pageIcon(i, false, kIconSize));
        imgLinkB[i] = makeIcon(this, indexed("imgLinkB", i), artwork::pageIcon(i, true, kIconSize));
        lnkFrame[i] = new HyperLink(this);
        lnkFrame[i]->setObjectName(indexed("lnkFrame", i));
        lnkFrame[i]->setFocusPolicy(Qt::NoFocus);
        QFont font = lnkFrame[i]->font();
        font.setBold(true);
        lnkFrame[i]->setFont(font);
    }
    layOutRows();
}

void SideBar::layOutRows() {
    const int height = kRowHeight;
    for (int i = 0; i < kRowCount; ++i) {
        lnkFrame[i]->setGeometry(kTitleLeft, kTopOffset + height * i + 6, kWidth - kTitleLeft - 8, height - 12);
        const int iconLeft = (lnkFrame[i]->x() - kIconSize) / 2;
        const int iconTop = (height - kIconSize) / 2 + height * i + kTopOffset;
        imgLink[i]->move(iconLeft, iconTop);
        imgLinkB[i]->move(iconLeft, iconTop);
        imgLink[i]->raise();
        imgLinkB[i]->lower();
    }
    imgBlueColor->lower();
    setCurrent(m_current);
}

void SideBar::setCurrent(int p) {
    for (int j = 0; j < kRowCount; ++j)
        lnkFrame[j]->setBackColor(j == p ? artwork::kHighlight : QColor(Qt::white));
    imgLinkB[m_current]->lower();
    imgLinkB[p]->raise();
    imgBlueColor->setGeometry(0, kRowHeight * p + kTopOffset, kWidth, kRowHeight);
    imgBlueColor->lower();
    m_current = p;
}

void SideBar::setTitles(const QStringList& titles) {
    for (int i = 0; i < kRowCount && i < titles.size(); ++i)
        lnkFrame[i]->setText(titles[i]);
}

QSize SideBar::sizeHint() const {
    return {kWidth, kTopOffset * 2 + kRowHeight * kRowCount};
}

void SideBar::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(kBorder);
    painter.drawLine(width() - 1, 0, width() - 1, height());
    QWidget::paintEvent(event);
}

} // namespace quillora::ui
