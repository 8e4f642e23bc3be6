#pragma once

#include <QUrl>

namespace quillora::ui {

/// Opens a file or a web address with the desktop's default program. The tests replace it with a recorder.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;

    /// Failures are not reported: nothing happens then.
    virtual void openUrl(const QUrl& url) = 0;
};

} // namespace quillora::ui
