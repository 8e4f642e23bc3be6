#include "ProjectInit.h"

#include "CommandLineOptions.h"
#include "project/ProjectWriter.h"
#include "run/FileHelpers.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace quillora::cli {

namespace {

namespace fs = std::filesystem;

/// A path given relative to the working folder, as the project's folder sees it.
std::string relativeTo(const std::string& path, const fs::path& root) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error).lexically_normal();
    const fs::path relative = absolute.lexically_relative(root);
    return error || relative.empty() ? path : relative.string();
}

} // namespace

std::string ProjectInit::shortPath(const fs::path& path) {
    std::error_code error;
    const fs::path relative = path.lexically_relative(fs::current_path(error));
    if (error || relative.empty() || *relative.begin() == "..")
        return path.string();
    return relative.string();
}

bool ProjectInit::destination(const CommandLineRequest& request, std::string& file, std::string& error) {
    if (!request.configFile.empty()) {
        file = request.configFile;
        return true;
    }
    if (request.selection.empty()) {
        file = std::string(run::kProjectFileName);
        return true;
    }
    if (request.selection.size() == 1 && request.selection[0].isFolder) {
        file = shortPath((fs::path(request.selection[0].path) / run::kProjectFileName).lexically_normal());
        return true;
    }
    error = "--init writes one project file at a site's root: name one folder, or give --config FILE";
    return false;
}

project::Project ProjectInit::projectOf(const CommandLineRequest& request, const std::string& file) {
    std::error_code error;
    const fs::path root = fs::absolute(file, error).lexically_normal().parent_path();
    const project::Overrides& given = request.overrides;
    project::Project made;
    made.file = file;
    made.root = root.string();
    made.mode = given.mode.value_or(engine::StorageMode::Overwrite);
    if (given.target)
        made.target = relativeTo(*given.target, root);
    made.backups = given.backups;
    made.otherFiles = given.otherFiles;
    made.strictCsp = given.strictCsp;
    made.notice = given.notice;
    made.pages.hide = given.hide.value_or(engine::EncryptionMode::BodyOnly);
    made.pages.scripts = given.scripts;
    made.pages.warning = given.warning;
    made.pages.attribution = given.attribution;
    if (given.level)
        made.pages.level = given.level; // in place of encrypt = true, which goes with no level
    else if (given.encrypt)
        made.pages.encrypt = true;
    if (!request.passwordFile.empty())
        made.password.file = relativeTo(request.passwordFile, root);
    made.rememberDays = given.rememberDays;
    made.unlockPrompt = given.unlockPrompt;
    made.unlockButton = given.unlockButton;
    made.wrongPassword = given.wrongPassword;
    made.unlockTitle = given.unlockTitle;
    if (given.unlockTemplate)
        made.unlockTemplate = relativeTo(*given.unlockTemplate, root);
    return made;
}

bool ProjectInit::write(const CommandLineRequest& request, const std::string& file, std::string& error) {
    if (request.overrides.promptPassword) {
        error = "--password does not go into a project file, which is kept beside the site: give it when you run";
        return false;
    }
    const std::string text = project::ProjectWriter::write(projectOf(request, file));
    // Never over a file that is there: a project file may hold rules written by hand.
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = errno == EEXIST ? file + " exists already: edit it, or remove it to start again"
                                : file + ": " + std::strerror(errno);
        return false;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t got = ::write(fd, text.data() + written, text.size() - written);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = file + ": " + std::strerror(errno);
            ::close(fd);
            (void)::unlink(file.c_str());
            return false;
        }
        written += static_cast<std::size_t>(got);
    }
    if (::close(fd) != 0) {
        error = file + ": " + std::strerror(errno);
        (void)::unlink(file.c_str());
        return false;
    }
    return true;
}

} // namespace quillora::cli
