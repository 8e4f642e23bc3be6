#pragma once

#include <QStringList>

class QWidget;

namespace quillora::testing {

/// The captions shown in top that do not fit their room, one line each naming the widget: a label, button, check
/// box, option or frame title smaller than its text needs, or lying partly outside a widget that holds it.
QStringList cutCaptions(const QWidget* top);

} // namespace quillora::testing
