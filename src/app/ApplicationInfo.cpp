#include "app/ApplicationInfo.h"

namespace vornak::app {
namespace {

struct ApplicationInfo {
    std::string title = kApplicationTitle;
    std::string helpFile;
};

ApplicationInfo& info() {
    static ApplicationInfo values;
    return values;
}

}  // namespace

const std::string& applicationTitle() { return info().title; }
void setApplicationTitle(std::string title) { info().title = std::move(title); }
const std::string& helpFile() { return info().helpFile; }
void setHelpFile(std::string fileName) { info().helpFile = std::move(fileName); }

}  // namespace vornak::app
