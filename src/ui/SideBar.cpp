#include "SideBar.h"

#include "Artwork.h"
#include "HyperLink.h"
#include "PageStyle.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <algorithm>

namespace quillora::ui {

namespace {

constexpr int kWidth = 176;
constexpr int kRowHeight = 40;
constexpr int kTopOffset = 16;
constexpr int kIconSize = 24;
constexpr int kTitleLeft = 48;
constexpr int kTitleRightMargin = 8;
constexpr int kTitlePadding = 12; // above and below a title, together
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

SideBar::SideBar(QWidget* parent) : QWidget(parent), imgBlueColor(new QWidget(this)), m_width(kWidth) {
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

int SideBar::rowHeight() const {
    return std::max(kRowHeight, lnkFrame[0]->lblLink->sizeHint().height() + kTitlePadding);
}

QColor SideBar::background() const {
    return pagestyle::isDark(palette()) ? palette().color(QPalette::Base) : QColor(Qt::white);
}

void SideBar::layOutRows() {
    const int height = rowHeight();
    int widest = 0;
    for (const HyperLink* link : lnkFrame)
        widest = std::max(widest, link->lblLink->sizeHint().width());
    m_width = std::max(kWidth, kTitleLeft + widest + kTitleRightMargin);
    for (int i = 0; i < kRowCount; ++i) {
        lnkFrame[i]->setGeometry(kTitleLeft, kTopOffset + height * i + kTitlePadding / 2,
                                 m_width - kTitleLeft - kTitleRightMargin, height - kTitlePadding);
        const int iconLeft = (lnkFrame[i]->x() - kIconSize) / 2;
        const int iconTop = (height - kIconSize) / 2 + height * i + kTopOffset;
        imgLink[i]->move(iconLeft, iconTop);
        imgLinkB[i]->move(iconLeft, iconTop);
        imgLink[i]->raise();
        imgLinkB[i]->lower();
    }
    imgBlueColor->lower();
    setCurrent(m_current);
    updateGeometry();
}

void SideBar::setCurrent(int p) {
    for (int j = 0; j < kRowCount; ++j)
        lnkFrame[j]->setBackColor(j == p ? artwork::kHighlight : background());
    imgLinkB[m_current]->lower();
    imgLinkB[p]->raise();
    imgBlueColor->setGeometry(0, rowHeight() * p + kTopOffset, m_width, rowHeight());
    imgBlueColor->lower();
    m_current = p;
}

void SideBar::setTitles(const QStringList& titles) {
    for (int i = 0; i < kRowCount && i < titles.size(); ++i)
        lnkFrame[i]->setText(titles[i]);
    layOutRows();
}

QSize SideBar::sizeHint() const {
    return {m_width, kTopOffset * 2 + rowHeight() * kRowCount};
}

void SideBar::changeEvent(QEvent* event) {
    // A change of the desktop's theme or font reaches the bar here.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        layOutRows();
    QWidget::changeEvent(event);
}

void SideBar::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(rect(), background());
    painter.setPen(kBorder);
    painter.drawLine(width() - 1, 0, width() - 1, height());
    QWidget::paintEvent(event);
}

} // namespace quillora::ui
