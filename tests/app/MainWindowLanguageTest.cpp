// The main window speaking the language files: the texts the table names, the
// Language menu, switching at run time, and broken or missing files.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <filesystem>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "app/MainWindow.h"
#include "app/QtText.h"
#include "app/WindowLanguage.h"
#include "language/LanguageEngine.h"
#include "language/TranslationTable.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::app::TForm1;
using vornak::test::ScriptedDialogs;

namespace {

// The text a target shows now, read back the way the window shows it.
QString shownText(const app::WindowLanguage& language, const Target& target) {
    QObject* object = language.findTarget(target);
    if (!object) return QStringLiteral("<missing>");
    switch (target.kind) {
        case TargetKind::Caption:
            if (auto* button = qobject_cast<QAbstractButton*>(object)) return button->text();
            if (auto* label = qobject_cast<QLabel*>(object)) return label->text();
            return QStringLiteral("<not a caption>");
        case TargetKind::MenuItem:
            return qobject_cast<QAction*>(object)->text();
        case TargetKind::Submenu:
            return qobject_cast<QMenu*>(object)->title();
        case TargetKind::WindowTitle:
            return static_cast<QWidget*>(object)->windowTitle();
        case TargetKind::ColumnHeading:
            return qobject_cast<QAbstractItemView*>(object)->model()->headerData(
                target.column, Qt::Horizontal).toString();
        case TargetKind::DialogFilter:
            return object->property("filter").toString();
        default:
            return {};
    }
}

// What the window is expected to show for a language text.
QString expectedText(const Target& target, const std::string& text) {
    if (target.kind == TargetKind::Caption && target.control.substr(0, 3) == "lbl")
        return app::labelText(text);
    if (target.kind == TargetKind::DialogFilter) return QString::fromStdString(text);
    return app::toDisplayText(text);
}

std::string joinLines(const std::vector<std::string>& lines, const std::string& end) {
    std::string out;
    for (const auto& line : lines) out += line + end;
    return out;
}

QAction* action(TForm1& form, const char* name) { return form.findChild<QAction*>(name); }

}  // namespace

class MainWindowLanguageTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::ProgramFixture> fx;
    ScriptedDialogs dialogs;

    // Every main-window target shows the text `lines` gives it.
    void verifyMainTexts(TForm1& form, const std::vector<std::string>& lines) {
        app::WindowLanguage language(form);
        for (const TranslationRow& row : translationTable()) {
            if (row.target.window != window::kMain) continue;
            const std::string text = transformLine(row.transform, lines.at(size_t(row.line)));
            QCOMPARE(shownText(language, row.target), expectedText(row.target, text));
        }
    }

private slots:
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        dialogs = ScriptedDialogs();
        messages().clear();
    }
    void cleanup() { fx.reset(); }

    void builtInTextsAreTheTablesOwn() {
        TForm1 form(dialogs);
        app::WindowLanguage language(form);
        int checked = 0;
        for (const TranslationRow& row : translationTable()) {
            if (row.target.window != window::kMain) continue;
            const std::string builtIn(row.builtIn);
            QCOMPARE(shownText(language, row.target), expectedText(row.target, builtIn));
            ++checked;
        }
        QCOMPARE(checked, 32);
    }

    void englishReachesEveryTarget() {
        TForm1 form(dialogs);
        test::startUp(form);
        QVERIFY(dialogs.calls.empty());
        const auto english = fx->shippedLines("English");
        verifyMainTexts(form, english);
        QCOMPARE(messages().get(Msg::msgConfirmCaption), english.at(101));
        QCOMPARE(form.windowTitle(), QStringLiteral("Vornak Uninstaller 2.1 *BETA*"));
    }

    void languageMenu() {
        fx->writeLanguage("danish", joinLines(fx->shippedLines("Danish"), "\r\n"));
        TForm1 form(dialogs);
        test::startUp(form);
        QAction* danish = action(form, "langMenuDanish");
        QVERIFY(danish);
        QCOMPARE(danish->text(), QStringLiteral("Danish"));
        QVERIFY(!danish->icon().isNull());
        QVERIFY(!danish->isCheckable());
        QAction* english = action(form, "langMenuEnglish");
        QVERIFY(english);
        QVERIFY(english->icon().isNull());
        if (QAction* lower = action(form, "langMenudanish"))
            QVERIFY2(lower->icon().isNull(), "only the exact label Danish has the flag");
        for (QAction* item : form.findChild<QMenu*>("Sprog")->actions())
            QVERIFY(item->objectName().startsWith(QStringLiteral("langMenu")));
    }

    void switchingLanguageAtRunTime() {
        TForm1 form(dialogs);
        test::startUp(form);
        test::triggerAction(&form, "langMenuDanish");
        const auto danish = fx->shippedLines("Danish");
        verifyMainTexts(form, danish);
        QCOMPARE(messages().get(Msg::fmtStatusCount), danish.at(35));
        QCOMPARE(form.statusText(), QString::fromStdString(formatMessage(danish.at(35), {0})));

        test::triggerAction(&form, "langMenuEnglish");
        verifyMainTexts(form, fx->shippedLines("English"));
        test::triggerAction(&form, "langMenuDanish");
        QVERIFY(dialogs.calls.empty());
        QVERIFY(form.close());
        QCOMPARE(fx->settingText("lang"), std::optional<std::string>("Danish"));
    }

    void shortFileSetsWhatComesBeforeTheGap() {
        std::vector<std::string> lines;
        for (int i = 0; i < 60; ++i) lines.push_back("T" + std::to_string(i));
        lines[35] = "%d rows";
        fx->writeLanguage("Short", joinLines(lines, "\r\n"));
        TForm1 form(dialogs);
        test::startUp(form);
        const QString englishStatus = form.statusText();
        const auto english = fx->shippedLines("English");

        test::triggerAction(&form, "langMenuShort");
        QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Message),
                 std::vector<std::string>{languageErrorText("Short")});
        QCOMPARE(form.findChild<QAbstractButton*>("FilterRyd")->text(), QStringLiteral("T4"));
        QCOMPARE(form.findChild<QLabel*>("lblInfo")->text(), QStringLiteral("T36"));
        QCOMPARE(form.findChild<QAbstractButton*>("btnAnalyze")->text(), QStringLiteral("T54"));
        QCOMPARE(messages().get(Msg::msgNoUpdate), std::string("T2"));
        // Line 71 and everything after the gap keep the previous language.
        QCOMPARE(messages().get(Msg::msgLogNameCaption), english.at(71));
        QCOMPARE(form.statusText(), englishStatus);
        QVERIFY(form.close());
        QCOMPARE(fx->settingText("lang"), std::optional<std::string>("Short"));
    }

    void missingLanguageFile() {
        fx->setSetting("lang", "Klingon");
        TForm1 form(dialogs);
        test::startUp(form);
        QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Message),
                 std::vector<std::string>{languageErrorText("Klingon")});
        QCOMPARE(form.findChild<QAbstractButton*>("FilterRyd")->text(), QStringLiteral("Ryd"));
        QCOMPARE(form.statusText(), QString());
        QVERIFY2(action(form, "langMenuEnglish"), "the menu is built all the same");
        QVERIFY(form.close());
        QCOMPARE(fx->settingText("lang"), std::optional<std::string>("Klingon"));
    }

    void fileDeletedAfterStartUp() {
        fx->setSetting("lang", "Danish");
        TForm1 form(dialogs);
        test::startUp(form);
        const auto danish = fx->shippedLines("Danish");
        std::filesystem::remove(fx->programHost + "/lang/English.lng");
        test::triggerAction(&form, "langMenuEnglish");
        QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Message),
                 std::vector<std::string>{languageErrorText("English")});
        verifyMainTexts(form, danish);
        QCOMPARE(messages().get(Msg::fmtStatusCount), danish.at(35));
        QVERIFY(form.close());
        QCOMPARE(fx->settingText("lang"), std::optional<std::string>("English"));
    }

    void noLanguageFilesAtAll() {
        std::filesystem::remove_all(fx->programHost + "/lang");
        TForm1 form(dialogs);
        test::startUp(form);
        QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Message),
                 std::vector<std::string>{languageErrorText("English")});
        QVERIFY(form.findChild<QMenu*>("Sprog")->actions().isEmpty());
        QCOMPARE(form.findChild<QAbstractButton*>("btnDelete")->text(), QStringLiteral("S&let"));
        QVERIFY(form.close());
        QCOMPARE(fx->settingText("lang"), std::optional<std::string>("English"));
    }

    void lineEndsAndComments_data() {
        QTest::addColumn<QString>("lineEnd");
        QTest::newRow("CR LF") << "\r\n";
        QTest::newRow("LF") << "\n";
        QTest::newRow("CR") << "\r";
    }
    void lineEndsAndComments() {
        QFETCH(QString, lineEnd);
        const std::string end = lineEnd.toStdString();
        const auto english = fx->shippedLines("English");
        std::string file = ";comment at the top" + end;
        for (size_t i = 0; i < english.size(); ++i) {
            if (i % 10 == 0) file += ";comment " + std::to_string(i) + end + ";" + end;
            file += english[i] + end;
        }
        fx->writeLanguage("Mixed", file);
        fx->setSetting("lang", "Mixed");
        TForm1 form(dialogs);
        test::startUp(form);
        QVERIFY(dialogs.calls.empty());
        verifyMainTexts(form, english);
    }

    void nameHoldingLangMenu() {
        // The item's identifier loses every "langmenu", so this asks for "MyOwn".
        fx->writeLanguage("MyLangMenuOwn", joinLines(fx->shippedLines("English"), "\r\n"));
        TForm1 form(dialogs);
        test::startUp(form);
        test::triggerAction(&form, "langMenuMyLangMenuOwn");
        QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Message),
                 std::vector<std::string>{languageErrorText("MyOwn")});
    }
};

VORNAK_QTEST_MAIN(MainWindowLanguageTest)
#include "MainWindowLanguageTest.moc"
