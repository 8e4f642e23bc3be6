#pragma once

#include <QUrl>

namespace quillora::ui {

/// Opens a file or a web address with the desktop's default program. The tests replace it with a recorder.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;

    /// False when the address could not be handed to a program: a file that is not there, no program to start.
    virtual bool openUrl(const QUrl& url) = 0;
};

} // namespace quillora::ui
