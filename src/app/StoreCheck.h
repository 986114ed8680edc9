// The registry store is checked once at start: a damaged store is reported in
// the error box, and the program starts all the same (every registry read then
// stops silently, as for a user without rights).
#pragma once

namespace vornak::platform {
class Dialogs;
}

namespace vornak::app {

// Returns false when the store could not be used; the error has been shown.
bool reportDamagedRegistryStore(platform::Dialogs& dialogs);

}  // namespace vornak::app
