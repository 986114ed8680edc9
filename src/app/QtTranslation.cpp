#include "app/QtTranslation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace vornak::app {

QtTranslation::QtTranslation() = default;

QtTranslation::~QtTranslation() {
    if (translator_ && QCoreApplication::instance())
        QCoreApplication::removeTranslator(translator_.get());
}

QStringList qtTranslationFolders() {
    QStringList folders;
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    if (QDir(beside).exists())
        folders << beside;
    folders << QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    return folders;
}

bool QtTranslation::apply(const std::string& locale) {
    if (translator_) {
        QCoreApplication::removeTranslator(translator_.get());
        translator_.reset();
    }
    if (locale.empty() || locale == "en")
        return false;
    auto translator = std::make_unique<QTranslator>();
    const QLocale wanted(QString::fromStdString(locale));
    for (const QString& folder : qtTranslationFolders()) {
        if (translator->load(wanted, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            // Installing it sends every window a LanguageChange: Qt's own
            // widgets that are open retranslate themselves.
            QCoreApplication::installTranslator(translator.get());
            translator_ = std::move(translator);
            return true;
        }
    }
    return false;
}

}  // namespace vornak::app
