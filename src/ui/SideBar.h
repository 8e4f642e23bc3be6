#pragma once

#include <QStringList>
#include <QWidget>
#include <array>

class QLabel;

namespace quillora::ui {

class HyperLink;

/// The side bar (picLeft): one row per page with its icon and title; the current page's row is highlighted
/// and shows its alternate icon. The titles are links whose clicks change nothing.
class SideBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kRowCount = 6;

    explicit SideBar(QWidget* parent = nullptr);

    /// Places every row: the first starts kTopOffset below the top, each is one row high (taller for a large
    /// font), and the bar is wide enough for the longest title.
    void layOutRows();
    /// Highlights the row of page p and gives it its alternate icon.
    void setCurrent(int p);
    void setTitles(const QStringList& titles);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    std::array<QLabel*, kRowCount> imgLink{};
    std::array<QLabel*, kRowCount> imgLinkB{};
    std::array<HyperLink*, kRowCount> lnkFrame{};
    QWidget* imgBlueColor;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int rowHeight() const;
    /// White, as the design has it; the window's own base colour in a dark theme.
    QColor background() const;

    int m_current = 0;
    int m_width;
};

} // namespace quillora::ui
