#pragma once

#include "project/Project.h"
#include "project/RunChoices.h"

#include <QString>
#include <optional>

namespace quillora::ui {

class frmMain;

/// The one place where a project file meets the window: its one set of choices shown on the pages' controls, the
/// controls' choices written back into it, and what the controls cannot show (rules, exclusions, the password's
/// source) described read-only and kept as the file has it.
class ProjectSettings {
public:
    /// Shows a project's choices on the window's controls and keeps the project for the runs and for Save.
    void load(const project::Project& project, frmMain& window);
    /// Forgets the project: the window's runs are its controls' alone again.
    void clear() { m_project.reset(); }
    bool loaded() const { return m_project.has_value(); }
    const std::optional<project::Project>& project() const { return m_project; }

    /// The project as the controls now choose it: their choices, and the rest of the file as it was (for a
    /// window without a project, the controls alone), to be written at file.
    project::Project collect(const frmMain& window, const std::string& file) const;
    /// The choices typed on the Encryption page that never go into a file: the password.
    static project::Overrides passwords(const frmMain& window);
    /// What the controls cannot show, read-only; empty when the file says nothing more than they show.
    QString describeBeyond() const;

    /// Shows a project's one set of choices on the controls (without keeping it).
    static void show(const project::Project& project, frmMain& window);

private:
    std::optional<project::Project> m_project;
    int m_hideShown = -1; // the option button shown for a project that hides nothing
};

} // namespace quillora::ui
