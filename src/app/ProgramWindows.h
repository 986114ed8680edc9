// The windows the main block creates after the main window, in their order:
// the About window, the hidden-filter editor, the information editor and the
// analysis wizard (each once it exists). They are owned by the main window, are
// hidden until a command shows them, and take part in its language.
#pragma once

namespace vornak::app {

class TForm1;

void createProgramWindows(TForm1& form);

}  // namespace vornak::app
