#include "analysis/AnalysisShared.h"

#include <utility>

namespace vornak::analysis {

void AnalysisShared::setLogName(std::string name) {
    std::lock_guard lock(mutex_);
    logName_ = std::move(name);
}

std::string AnalysisShared::logName() const {
    std::lock_guard lock(mutex_);
    return logName_;
}

void AnalysisShared::reportProblem(std::string text, bool failed) {
    std::lock_guard lock(mutex_);
    problems_.push_back({std::move(text), failed});
}

std::vector<AnalysisShared::Problem> AnalysisShared::takeProblems() {
    std::lock_guard lock(mutex_);
    return std::exchange(problems_, {});
}

void AnalysisShared::setUnreadFolders(std::vector<std::string> folders) {
    std::lock_guard lock(mutex_);
    unreadFolders_ = std::move(folders);
}

std::vector<std::string> AnalysisShared::unreadFolders() const {
    std::lock_guard lock(mutex_);
    return unreadFolders_;
}

}  // namespace vornak::analysis
