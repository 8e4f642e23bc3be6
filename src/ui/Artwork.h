#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

// The program's pictures, drawn rather than shipped, so they stay sharp at any scale.
namespace quillora::ui::artwork {

/// The highlight of the current side-bar row.
inline const QColor kHighlight(113, 147, 228);

/// The product image of the Welcome page: a quill on a blue tile.
QPixmap productImage(int size);
/// The picture that lies under the product image.
QPixmap eggImage(int size);
/// The side-bar icon of a page: its number in a disc; the alternate form marks the current page.
QPixmap pageIcon(int page, bool alternate, int size);
/// The window and desktop icon.
QIcon appIcon();

} // namespace quillora::ui::artwork
