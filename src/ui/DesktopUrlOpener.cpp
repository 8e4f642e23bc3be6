#include "DesktopUrlOpener.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace quillora::ui {

bool DesktopUrlOpener::openUrl(const QUrl& url) {
    // The desktop's launcher is started without waiting for it, so it cannot tell that a file is gone.
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        return false;
    return QDesktopServices::openUrl(url);
}

} // namespace quillora::ui
