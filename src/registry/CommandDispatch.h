// The dispatch every command of every window runs through: the silent abort
// ends the command quietly, any other error ends it with the general error box
// (the error's text, titled with the application title). The program goes on.
#pragma once

#include <exception>
#include <utility>

#include "platform/Dialogs.h"
#include "registry/SilentAbort.h"

namespace vornak {

// Runs `command`; returns true when it ran to its end.
template <class Command>
bool runCommand(platform::Dialogs& dialogs, Command&& command) {
    try {
        std::forward<Command>(command)();
        return true;
    } catch (const SilentAbort&) {
        return false;
    } catch (const std::exception& e) {
        dialogs.showError(e.what());
        return false;
    } catch (...) {
        dialogs.showError("An unexpected error has occurred.");
        return false;
    }
}

}  // namespace vornak
