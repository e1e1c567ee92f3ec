// Shared steps of the extension procedures.
#include "engine/procedure_support.h"

#include <algorithm>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/file_actions.h"
#include "engine/file_system.h"
#include "engine/machine_environment.h"
#include "model/component_database_writer.h"
#include "model/validator.h"

namespace nebcm {

std::string NativePath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string ModelPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string Folded(std::string text) {
    for (char& c : text) {
        c = FoldCase(c);
    }
    return text;
}

bool LiesBelow(const std::string& path, const std::string& directory, std::string* rest) {
    std::string prefix = directory;
    if (prefix.empty() || prefix.back() != '\\') {
        prefix += '\\';
    }
    if (path.size() <= prefix.size() || !EqualIgnoringCase(path.substr(0, prefix.size()), prefix)) {
        return false;
    }
    if (rest != nullptr) {
        *rest = path.substr(prefix.size());
    }
    return true;
}

std::vector<std::string> ResolveShellFolders() {
    std::vector<std::string> folders;
    for (ShellFolder folder : AllShellFolders) {
        std::string path;
        if (!Machine().FindShellFolder(folder, path)) {
            path.clear();
        }
        folders.push_back(path);
    }
    return folders;
}

void PaceItem(ProgressReporter& progress, std::size_t i, std::size_t n) {
    progress.SetActivityPercent(static_cast<int>(100 * i / n));
    progress.Pause(static_cast<unsigned>(2000 / n));
}

void RollBack(Transaction& transaction, ErrorList& errors) {
    ErrorList rollback;
    transaction.Rollback(rollback);
    errors.Append(rollback);
}

std::string ExtensionLine(const Extension& extension) {
    return Message(4008, extension.Description(), extension.Version().ToText());
}

bool RewriteDatabase(const std::string& installation, const Configuration& configuration,
                     Transaction& transaction, ErrorList& errors) {
    const std::string path = JoinPath(installation, ComponentDatabaseFile);
    if (!RemoveFile(path, &transaction, errors)) {
        return false;
    }
    const std::size_t before = errors.Count();
    std::unique_ptr<TextFileWriter> writer = CreateTextOutputFile(path, &transaction, errors);
    if (!writer) {
        if (errors.Count() == before) {
            errors.Add(Message(10018, path));
        }
        return false;
    }
    try {
        ComponentDatabaseWriter::Write(configuration, *writer);
        writer->Close();
    } catch (const IOException&) {
        writer.reset();
        errors.Add(Message(10018, path));
        return false;
    }
    return true;
}

} // namespace nebcm
