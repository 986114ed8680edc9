// TOmForm: the About window, a fixed dialog with the scrolling credits, a
// "Thanks To:" heading over two credit lines, and a close button. Created once
// at start-up and opened modally from the main window's Help menu.
#pragma once

#include <QDialog>

namespace vornak::about {

class TBnVertScrollText;

class TOmForm : public QDialog {
  public:
    explicit TOmForm(QWidget* parent = nullptr);

    TBnVertScrollText* scrollText() const { return scrollText_; }

    void Button1Click();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    TBnVertScrollText* scrollText_ = nullptr;
};

}  // namespace vornak::about
