#pragma once

#include "ui/UrlOpener.h"

#include <QList>

namespace quillora::testing {

/// Records the addresses the window asks to open.
class FakeUrlOpener : public ui::UrlOpener {
public:
    void openUrl(const QUrl& url) override { urls.append(url); }

    QList<QUrl> urls;
};

} // namespace quillora::testing
