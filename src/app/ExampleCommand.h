// Help's "Open the example registry": starts the program once more on the
// example (a window of its own, so the user's list stays as it is). In the
// program that shows the example, the title and the info panel say so.
#pragma once

#include <QObject>

namespace vornak::app {

class TForm1;

class ExampleCommand : public QObject {
  public:
    // Adds the command (objectName "OpenExample") to the Hjaelp menu, below Help.
    explicit ExampleCommand(TForm1& form);

    void OpenExampleClick();

  private:
    void showTexts();

    TForm1& form_;
};

}  // namespace vornak::app
