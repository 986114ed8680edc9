// Qt's own texts (the buttons of message boxes, the save and font dialogs) in
// the language of the interface, from Qt's translation files: those beside the
// program (translations/, where windeployqt puts them on Windows), else Qt's
// own folder (Debian: qt6-translations-l10n). Where none is found they stay
// English, Qt's own language.
#pragma once

#include <QStringList>
#include <memory>
#include <string>

class QTranslator;

namespace vornak::app {

class QtTranslation {
  public:
    QtTranslation();
    ~QtTranslation();  // takes its translation out of the application
    QtTranslation(const QtTranslation&) = delete;
    QtTranslation& operator=(const QtTranslation&) = delete;

    // Replaces the translation in force by Qt's for `locale` ("da"); English
    // for an empty locale, "en" or one Qt has no file for. True when one was
    // installed.
    bool apply(const std::string& locale);

  private:
    std::unique_ptr<QTranslator> translator_;
};

// Where Qt's translation files are looked for, in order.
QStringList qtTranslationFolders();

}  // namespace vornak::app
