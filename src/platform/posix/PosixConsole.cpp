#include <unistd.h>

#include "platform/Console.h"

namespace vornak::platform {

bool isTerminal(int fd) { return ::isatty(fd) == 1; }

void prepareConsole() {}

}  // namespace vornak::platform
