#include "DesktopUrlOpener.h"

#include <QDesktopServices>

namespace quillora::ui {

void DesktopUrlOpener::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

} // namespace quillora::ui
