// The program's console: whether a standard stream is a terminal a person
// types at, and console output in the program's UTF-8.
#pragma once

namespace vornak::platform {

// fd 0, 1 or 2. On Windows a console, not the NUL device (which isatty takes for one).
bool isTerminal(int fd);
// Makes the console show UTF-8 output as such; call once at start.
void prepareConsole();

}  // namespace vornak::platform
