// The example registry: the registrations shipped in examples/ beside the
// program, with its drive C, in a store of the example's own that never mixes
// with the user's. Opening it makes that store the program's registry and
// settings, and its folder the home of the hidden list and the logs, for the
// rest of the run (`vornak-uninstaller --example`).
#pragma once

#include <string>

namespace vornak::app {

// The command-line word that starts the program on the example.
inline constexpr const char* kExampleArgument = "--example";

struct ExamplePlaces {
    std::string source;  // the shipped examples/ (registrations.reg, drive-c)
    std::string folder;  // the example's own: registry/, hidden.dat, logs/
};

// Where the example comes from and lives, as host folders with a trailing '/':
// examples/ beside the program, and "example" in the user's data folder.
ExamplePlaces examplePlaces();

// Empties the example store's uninstall keys and imports the shipped
// registrations in one change, so every opening starts from what was shipped;
// the example's settings (placement, font) are kept, and its language is the
// one the user's settings name. Then makes the example the program's registry,
// settings, drives and own-files folder. Throws std::runtime_error saying why
// when the example is missing or its store cannot be written; nothing has
// then been switched.
void openExampleRegistry(const ExamplePlaces& places = examplePlaces());

// Whether openExampleRegistry has switched this run to the example.
bool exampleInUse();
// Forgets the switch: the settings store and launcher go back to their
// defaults (tests; the store and file system are the caller's to reset).
void forgetExampleRegistry();

}  // namespace vornak::app
