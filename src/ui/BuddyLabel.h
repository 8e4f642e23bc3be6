#pragma once

class QLabel;

namespace quillora::ui {

/// Keeps the label enabled exactly while its buddy is, so that the caption of a control that cannot be used is
/// greyed with it. The label must have its buddy already.
void greyWithBuddy(QLabel* label);

} // namespace quillora::ui
