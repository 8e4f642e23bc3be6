#pragma once

#include "UrlOpener.h"

namespace quillora::ui {

/// Opens through the desktop's services (the default browser for pages and web addresses).
class DesktopUrlOpener : public UrlOpener {
public:
    bool openUrl(const QUrl& url) override;
};

} // namespace quillora::ui
