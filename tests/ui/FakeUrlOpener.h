#pragma once

#include "ui/UrlOpener.h"

#include <QList>

namespace quillora::testing {

/// Records the addresses the window asks to open, and answers as told.
class FakeUrlOpener : public ui::UrlOpener {
public:
    bool openUrl(const QUrl& url) override {
        urls.append(url);
        return succeeds;
    }

    QList<QUrl> urls;
    bool succeeds = true;
};

} // namespace quillora::testing
