// The window side of the language engine: finds a translation target by the
// names of the table (window objectName, control objectName, kind) among the
// main window and the windows it owns, and sets its text. A window that does
// not exist (yet) is passed over; a control missing from an existing window is
// reported once on the console and passed over too.
#pragma once

#include "app/QtTranslation.h"
#include "language/LanguageEngine.h"

class QObject;
class QWidget;

namespace vornak::app {

class TForm1;

class WindowLanguage : public LanguageSink {
  public:
    explicit WindowLanguage(TForm1& form) : form_(form) {}

    void setText(const Target& target, const std::string& text) override;
    void setScrollingText(const Target& target, const std::vector<std::string>& lines) override;
    void setStatusText(const std::string& text) override;
    void showMessage(const std::string& text) override;
    int visibleRowCount() const override;
    void addLanguageMenuItem(const LanguageMenuItem& item) override;
    void setLocale(const std::string& locale) override;

    // The window a target names: the main window or a window it owns; nullptr
    // when that window has not been created.
    QWidget* findWindow(std::string_view name) const;
    // The object a target's text lives in (the window itself for its title);
    // nullptr when its window does not exist or lacks the control.
    QObject* findTarget(const Target& target) const;

  private:
    TForm1& form_;
    QtTranslation qtTexts_;
};

}  // namespace vornak::app
