#include "app/ExampleRegistry.h"

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>

#include "language/LanguageSettings.h"
#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "platform/RegistryStore.h"
#include "platform/WinePrefix.h"
#include "registry/RegFileParser.h"
#include "registry/RegFileStore.h"
#include "registry/RegistryAccess.h"

namespace vornak::app {
namespace {

std::atomic<bool> g_example{false};

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

}  // namespace

ExamplePlaces examplePlaces() {
    const auto fs = platform::defaultFileSystem();
    ExamplePlaces places;
    places.source = withSlash(fs->toHostPath(fs->programFolder())) + "examples/";
    std::string data = fs->userDataFolder();
    if (!data.empty())
        places.folder = withSlash(fs->toHostPath(data)) + "example/";
    return places;
}

void openExampleRegistry(const ExamplePlaces& places) {
    const std::string registrations = places.source + "registrations.reg";
    const std::string driveC = places.source + "drive-c";
    if (!isFolder(driveC))
        throw std::runtime_error(driveC + " is missing");
    if (places.folder.empty())
        throw std::runtime_error("there is no folder for the program's own files");

    // The ops of the shipped file after the removal of whatever the example
    // held before: one transaction, so the example is never half of both.
    registry::RegFileContent content =
        registry::parseRegFile(registry::readRegFileBytes(registrations), registrations);
    std::vector<registry::RegFileOp> ops;
    for (const auto& [root, path] :
         {std::pair{platform::RegRoot::LocalMachine,
                    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
          std::pair{platform::RegRoot::LocalMachine,
                    "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
          std::pair{platform::RegRoot::CurrentUser,
                    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"}}) {
        registry::RegFileOp op;
        op.kind = registry::RegFileOp::DeleteKey;
        op.root = root;
        op.path = path;
        ops.push_back(op);
    }
    ops.insert(ops.end(), content.ops.begin(), content.ops.end());
    // The example speaks the user's language, read before the settings
    // become the example's own.
    try {
        const std::string language = storedLanguage();
        registry::RegFileOp op;
        op.kind = registry::RegFileOp::SetValue;
        op.path = "SOFTWARE\\Vornak\\Uninstaller";
        op.name = "lang";
        op.type = platform::kRegSz;
        op.data = language + std::string(1, '\0');
        ops.push_back(op);
    } catch (const SilentAbort&) {
    }
    content.ops = std::move(ops);

    std::error_code ec;
    std::filesystem::create_directories(places.folder + "registry", ec);
    if (ec)
        throw std::runtime_error("cannot create " + places.folder + "registry: " + ec.message());
    auto store = platform::openRegistryStore(places.folder + "registry");
    store->check();
    registry::applyRegFile(*store->accessor(), content);

    platform::setSettingsRegistryStore(store);
    platform::setDefaultRegistryStore(store);
    const auto current = platform::defaultFileSystem();
    platform::setDefaultFileSystem(platform::makePrefixFileSystem(
        {{'C', driveC}}, places.folder, current->toHostPath(current->programFolder())));
    platform::setDefaultProcessLauncher(platform::prefixProcessLauncher({}));
    g_example = true;
}

bool exampleInUse() {
    return g_example;
}

void forgetExampleRegistry() {
    platform::setSettingsRegistryStore(nullptr);
    platform::setDefaultProcessLauncher(nullptr);
    g_example = false;
}

}  // namespace vornak::app
