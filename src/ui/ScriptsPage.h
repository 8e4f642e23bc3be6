#pragma once

#include "engine/ProtectionOptions.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace quillora::selection {
class DialogService;
}

namespace quillora::ui {

/// Page 4: the behaviour scripts to add, the warning shown on a blocked right click and the attribution put after
/// copied text.
class ScriptsPage : public QWidget {
    Q_OBJECT

public:
    explicit ScriptsPage(selection::DialogService& dialogs, QWidget* parent = nullptr);

    /// Writes the script choices into options.
    void fill(engine::ProtectionOptions& options) const;

    void chkScript_Click(std::size_t index);
    void chkRightMouse_Click();

    /// Indexed as the engine addresses the scripts; 2, 7 and 8 stay empty.
    std::array<QCheckBox*, engine::kScriptCount> chkScript{};
    QCheckBox* chkRightMouse;
    QLineEdit* txtRightClickWarning;
    QCheckBox* chkStrictCsp;
    QLabel* lblWarning2;
    QLabel* lblCopyAttribution;
    QLineEdit* txtCopyAttribution; // enabled with the copy attribution
    QLabel* lblWarning3;
    QLabel* lblScriptInfo;

private:
    void setUpAttribution(selection::DialogService& dialogs);
    QWidget* scriptGrid();
    QWidget* warningGroup();
    QWidget* informationFrame();
};

} // namespace quillora::ui
