// The main window: its layout and commands, the first activation's settings,
// the close, and the status bar at every activation.
#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#ifndef _WIN32
#include <sqlite3.h>
#endif

#include <filesystem>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "app/MainWindow.h"
#include "app/StoreCheck.h"
#include "language/MessageCatalogue.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::app::TForm1;
using vornak::platform::RegRoot;
using vornak::test::ScriptedDialogs;

namespace {

QString menuLayout(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    return items.join(u' ');
}

QString englishStatus(const test::ProgramFixture& fx, int rows) {
    return QString::fromStdString(
        formatMessage(fx.shippedLines("English").at(35), {int64_t{rows}}));
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::ProgramFixture> fx;
    ScriptedDialogs dialogs;

    void addTwoPrograms() {
        const std::string editor = fx->addProgramFile("Program Files/Editor/uninst.exe");
        fx->addRegistration(RegRoot::LocalMachine, "Editor", "Editor 2", "\"" + editor + "\" /S");
        fx->addRegistration(RegRoot::CurrentUser, "Gone", "Gone Tool",
                            "\"C:\\Program Files\\Gone\\uninst.exe\"");
    }

  private slots:
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        dialogs = ScriptedDialogs();
        messages().clear();
    }
    void cleanup() { fx.reset(); }

    void layoutAndCommands() {
        TForm1 form(dialogs);
        QCOMPARE(form.objectName(), QStringLiteral("Form1"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Vornak Uninstaller 2.1 *BETA*"));
        QCOMPARE(form.size(), QSize(564, 444));
        QCOMPARE(form.font().family(), QStringLiteral("Verdana"));
        QCOMPARE(form.font().pixelSize(), 13);

        QMenuBar* bar = form.menuBar();
        QStringList titles;
        for (QAction* a : bar->actions())
            titles << a->menu()->objectName() + '=' + a->text();
        QCOMPARE(titles,
                 QStringList({"Filer=&Filer", "Funktioner=F&unktioner", "Filtrer=F&iltrer",
                              "Indstillinger=&Indstillinger", "Sprog=&Sprog", "Hjaelp=&Hjælp"}));
        auto menu = [&](const char* name) { return form.findChild<QMenu*>(name); };
        QCOMPARE(menuLayout(menu("Filer")), QStringLiteral("EksporterListe Afslut"));
        QCOMPARE(menuLayout(menu("Funktioner")),
                 QStringLiteral("OpdaterListen - SoegEfterOpdateringer"));
        QCOMPARE(menuLayout(menu("Filtrer")),
                 QStringLiteral("kundoedelinks kuncrap - VisIkkeSkjulte"));
        QCOMPARE(menuLayout(menu("Indstillinger")),
                 QStringLiteral("GridLines - RedigerSkjulFilter - Font"));
        QCOMPARE(menuLayout(menu("Sprog")), QString());
        QCOMPARE(menuLayout(menu("Hjaelp")), QStringLiteral("Hjaelp_hjaelp - Website - Om"));
        QCOMPARE(menuLayout(menu("TBXPopupMenu1")),
                 QStringLiteral("Uninstall - ShowEditInfo Skjul - Slet"));

        struct Command {
            const char* name;
            const char* caption;
            QKeySequence shortcut;
            bool enabled;
        };
        const Command commands[] = {
            {"EksporterListe", "&Eksporter Liste", {}, false},
            {"Afslut", "&Afslut", QKeySequence(Qt::CTRL | Qt::Key_W), true},
            {"OpdaterListen", "&Opdater Listen", QKeySequence(Qt::Key_F5), true},
            {"SoegEfterOpdateringer", "Søg Efter O&pdateringer", QKeySequence(Qt::Key_F6), false},
            {"kundoedelinks", "Vis kun 'døde links'", {}, true},
            {"kuncrap", "Vis kun \"crapware\"", {}, true},
            {"VisIkkeSkjulte", "Vis ikke skjulte 'links'", {}, true},
            {"GridLines", "Vis Gitter Linier", QKeySequence(Qt::Key_F7), true},
            {"RedigerSkjulFilter", "Rediger Skjul-Filteret", {}, true},
            {"Font", "Vælg Font (kun listen)", {}, true},
            {"Hjaelp_hjaelp", "Hjælp", QKeySequence(Qt::Key_F1), false},
            {"Website", "Vornak Software", QKeySequence(Qt::Key_F8), false},
            {"Om", "&Om", QKeySequence(Qt::Key_F10), false},
            {"Uninstall", "Uninstall", QKeySequence(Qt::Key_Return), false},
            {"ShowEditInfo", "Vis/Rediger Info", QKeySequence(Qt::CTRL | Qt::Key_I), false},
            {"Skjul", "Skjul", QKeySequence(Qt::Key_F2), true},
            {"Slet", "Slet", QKeySequence(Qt::Key_Delete), false},
        };
        for (const Command& c : commands) {
            auto* action = form.findChild<QAction*>(c.name);
            QVERIFY2(action, c.name);
            QCOMPARE(action->text(), QString::fromUtf8(c.caption));
            QCOMPARE(action->shortcut(), c.shortcut);
            QCOMPARE(action->isEnabled(), c.enabled);
        }

        const char* buttons[][2] = {{"btnUninstall", "Uninstall"},
                                    {"btnDelete", "S&let"},
                                    {"btnAnalyze", "&Analyser"},
                                    {"btnHelp", "Hjæl&p"}};
        QLayout* buttonRow = form.findChild<QWidget*>("ButtonBar")->layout();
        int index = 0;
        for (const auto& b : buttons) {
            auto* button = form.findChild<QToolButton*>(b[0]);
            QVERIFY2(button, b[0]);
            QCOMPARE(button->text(), QString::fromUtf8(b[1]));
            QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
            QCOMPARE(button->height(), 60);
            QVERIFY(!button->icon().isNull());
            QVERIFY(button->autoRaise());
            QCOMPARE(buttonRow->itemAt(index++)->widget(), button);
        }

        auto* panel = form.findChild<QWidget*>("LeftPanel");
        QCOMPARE(panel->width(), 185);
        QCOMPARE(panel->palette().color(QPalette::Window), QColor(122, 150, 223));
        QVERIFY(form.findChild<QLineEdit*>("FilterBox"));
        QCOMPARE(form.findChild<QPushButton*>("FilterRyd")->text(), QStringLiteral("Ryd"));
        auto* heading = form.findChild<QLabel*>("lblInfo");
        QCOMPARE(heading->text(), QStringLiteral("Info"));
        QVERIFY(heading->font().bold());
        QCOMPARE(heading->font().pixelSize(), 16);
        auto* body = form.findChild<QLabel*>("lblInfoBody");
        QVERIFY(body->wordWrap());
        QVERIFY(body->text().startsWith(QStringLiteral("Velkommen til Vornak Uninstaller!")));
        QCOMPARE(body->parentWidget()->palette().color(QPalette::Window), QColor(216, 228, 248));

        auto* list = form.findChild<QTableView*>("ListView1");
        QCOMPARE(list->model()->columnCount(), 1);
        QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Program Navn"));
        QCOMPARE(list->horizontalHeader()->sectionSize(0), 350);
        QVERIFY(!list->horizontalHeader()->sectionsClickable());
        QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(form.statusBar()->objectName(), QStringLiteral("StatusBar"));
    }

    void laterCommandsAreInstalledThroughTheDispatch() {
        TForm1 form(dialogs);
        int ran = 0;
        QVERIFY(form.installCommand("Om", [&] { ++ran; }));
        QVERIFY(form.installCommand("btnDelete", [&] { throw std::runtime_error("no rights"); }));
        QVERIFY(!form.installCommand("NoSuchCommand", [] {}));
        test::triggerAction(&form, "Om");
        QCOMPARE(ran, 1);
        auto* button = form.findChild<QToolButton*>("btnDelete");
        QVERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Error),
                 std::vector<std::string>{"no rights"});
    }

    void firstRunOnEmptyStore() {
        addTwoPrograms();
        TForm1 form(dialogs);
        QVERIFY(!fx->settingsKeyExists());
        const QPoint designPosition = form.pos();
        test::startUp(form);

        QVERIFY2(dialogs.calls.empty(), "a first run asks and reports nothing");
        const auto english = fx->shippedLines("English");
        QCOMPARE(form.findChild<QPushButton*>("FilterRyd")->text(),
                 QString::fromStdString(english.at(4)));
        QVERIFY(fx->settingsKeyExists());
        QVERIFY(!form.gridLinesShown());
        QVERIFY(!form.findChild<QAction*>("GridLines")->isChecked());
        QVERIFY(!form.isMaximized());
        QCOMPARE(form.size(), QSize(564, 444));
        QCOMPARE(form.pos(), designPosition);
        const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(qAbs(form.frameGeometry().center().x() - desktop.center().x()) <= 2);
        QVERIFY2(form.findChild<QAction*>("VisIkkeSkjulte")->isChecked(), "filter on by default");
        QCOMPARE(form.statusText(), englishStatus(*fx, 2));

        // The placement is saved as the window's own edges and size.
        const QRect own = form.geometry();
        QVERIFY(form.close());
        QCOMPARE(fx->settingText("lang"), std::optional<std::string>("English"));
        QCOMPARE(fx->settingFlag("grid"), std::optional<uint32_t>(0));
        QCOMPARE(fx->settingFlag("hidehidden"), std::optional<uint32_t>(1));
        QCOMPARE(fx->settingText("WindowState"), std::optional<std::string>("Normal"));
        QCOMPARE(fx->settingText("WindowWidth"), std::optional<std::string>("564"));
        QCOMPARE(fx->settingText("WindowHeight"), std::optional<std::string>("444"));
        QCOMPARE(fx->settingText("WindowLeft"),
                 std::optional<std::string>(std::to_string(own.x())));
        QCOMPARE(fx->settingText("FontName"), std::optional<std::string>("Verdana"));
        QCOMPARE(fx->settingText("FontCharset"), std::optional<std::string>("0"));
        QVERIFY(std::filesystem::exists(fx->programHost + "/hidden.dat"));
    }

    // Only a registry without registrations explains the empty list; a filter
    // or the hidden list emptying it is the user's own doing.
    void onlyAnEmptyRegistryExplainsTheEmptyList() {
        TForm1 form(dialogs);
        auto* label = form.findChild<QLabel*>("EmptyListHint");
        QVERIFY(label);
        auto hint = [&] { return label->isVisibleTo(&form) ? label->text() : QString(); };
        test::startUp(form);
#ifdef _WIN32
        const std::string empty = messageText(Msg::msgEmptyRegistry);
#else
        const std::string empty = messageText(Msg::fmtEmptyOwnStore, {fx->store->location()});
#endif
        QCOMPARE(hint(), QString::fromStdString(empty));

        addTwoPrograms();
        test::triggerAction(&form, "OpdaterListen");
        QCOMPARE(hint(), QString());
        form.findChild<QLineEdit*>("FilterBox")->setText("no such program");
        QCOMPARE(form.inventory().visible().size(), size_t{0});
        QCOMPARE(hint(), QString());
        form.findChild<QPushButton*>("FilterRyd")->click();
        form.inventory().setHiddenList({"Editor 2", "Gone Tool"});
        form.run([&] { form.inventory().reapplyHiddenFilter(); });
        QCOMPARE(form.inventory().visible().size(), size_t{0});
        QCOMPARE(hint(), QString());

        // Deleting the last registration empties the registry itself.
        test::triggerAction(&form, "VisIkkeSkjulte");
        QCOMPARE(form.inventory().visible().size(), size_t{2});
        const EntryList rows = form.inventory().visible();
        form.inventory().removeEntry(rows[0].rootCode, rows[0].keyPath);
        QCOMPARE(hint(), QString());
        form.inventory().removeEntry(rows[1].rootCode, rows[1].keyPath);
        QCOMPARE(hint(), QString::fromStdString(empty));
    }

    void secondRunMaximised() {
        fx->setSetting("lang", "English");
        fx->setSettingFlag("grid", 1);
        fx->setSetting("WindowState", "Max");
        fx->setSetting("WindowLeft", "3");
        fx->setSetting("WindowWidth", "333");
        TForm1 form(dialogs);
        test::startUp(form);
        QTRY_VERIFY(form.isMaximized());
        QVERIFY(form.gridLinesShown());
        QVERIFY(form.findChild<QAction*>("GridLines")->isChecked());
        QVERIFY(form.close());
        QCOMPARE(fx->settingText("WindowState"), std::optional<std::string>("Max"));
        QCOMPARE(fx->settingText("WindowLeft"), std::optional<std::string>("3"));
        QCOMPARE(fx->settingText("WindowWidth"), std::optional<std::string>("333"));
        QCOMPARE(fx->settingFlag("grid"), std::optional<uint32_t>(1));
    }

    void secondRunNormalPlacement_data() {
        QTest::addColumn<QString>("state");
        QTest::newRow("Normal") << "Normal";
        QTest::newRow("lower-case max") << "max";
        QTest::newRow("no state") << QString();
    }
    void secondRunNormalPlacement() {
        QFETCH(QString, state);
        fx->setSettingFlag("grid", 0);
        if (!state.isNull())
            fx->setSetting("WindowState", state.toStdString());
        fx->setSetting("WindowLeft", "40");
        fx->setSetting("WindowTop", "50");
        fx->setSetting("WindowWidth", "wide");
        fx->setSetting("WindowHeight", "300");
        TForm1 form(dialogs);
        test::startUp(form);
        // The width is not a number: the design width stays.
        QVERIFY(!form.isMaximized());
        QCOMPARE(form.geometry(), QRect(40, 50, 564, 300));
        QVERIFY(form.close());
        QCOMPARE(fx->settingText("WindowState"), std::optional<std::string>("Normal"));
        QCOMPARE(fx->settingText("WindowWidth"), std::optional<std::string>("564"));
        QCOMPARE(fx->settingText("WindowTop"), std::optional<std::string>("50"));
        QCOMPARE(fx->settingText("WindowHeight"), std::optional<std::string>("300"));
    }

    void storedListFont_data() {
        QTest::addColumn<QString>("charsetText");
        QTest::addColumn<int>("charset");
        QTest::newRow("number") << "161" << 161;
        QTest::newRow("not a number") << "Greek" << 0;
        QTest::newRow("out of range") << "300" << 0;
        QTest::newRow("empty") << "" << 0;
    }
    void storedListFont() {
        QFETCH(QString, charsetText);
        QFETCH(int, charset);
        fx->setSettingFlag("grid", 0);
        fx->setSetting("FontName", "DejaVu Serif");
        fx->setSetting("FontCharset", charsetText.toStdString());
        TForm1 form(dialogs);
        test::startUp(form);
        QCOMPARE(form.listFont().family(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(form.listFont().pixelSize(), 13);
        QCOMPARE(form.listFontCharset(), charset);
        QVERIFY(dialogs.calls.empty());
    }

    void fontChoiceTakesOnlyNameAndCharset() {
        TForm1 form(dialogs);
        test::startUp(form);
        platform::FontChoice bold;
        bold.name = "DejaVu Serif";
        bold.charset = 161;
        bold.pixelHeight = 27;
        bold.bold = true;
        bold.italic = true;
        dialogs.fontAnswers.push_back(bold);
        test::triggerAction(&form, "Font");
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(dialogs.lastFontPreset->name, std::string("Verdana"));
        QCOMPARE(dialogs.lastFontPreset->pixelHeight, 13);
        QCOMPARE(form.listFont().family(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(form.listFont().pixelSize(), 13);
        QVERIFY(!form.listFont().bold());
        QVERIFY(!form.listFont().italic());
        QCOMPARE(form.listFontCharset(), 161);

        // Cancel changes nothing.
        test::triggerAction(&form, "Font");
        QCOMPARE(form.listFont().family(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(form.listFontCharset(), 161);

        QVERIFY(form.close());
        QCOMPARE(fx->settingText("FontName"), std::optional<std::string>("DejaVu Serif"));
        QCOMPARE(fx->settingText("FontCharset"), std::optional<std::string>("161"));
    }

    void gridLinesToggle() {
        TForm1 form(dialogs);
        test::startUp(form);
        test::triggerAction(&form, "GridLines");
        QVERIFY(form.gridLinesShown());
        QVERIFY(form.findChild<QAction*>("GridLines")->isChecked());
        test::triggerAction(&form, "GridLines");
        QVERIFY(!form.gridLinesShown());
        QVERIFY(!form.findChild<QAction*>("GridLines")->isChecked());
    }

    void statusBarAtEveryActivation() {
        addTwoPrograms();
        fx->setSettingFlag("hidehidden", 0);
        TForm1 form(dialogs);
        test::startUp(form);
        QCOMPARE(form.statusText(), englishStatus(*fx, 2));

        // A refresh with the hidden filter off leaves the count as it was ...
        fx->addRegistration(RegRoot::LocalMachine, "New", "New Program", "msiexec /x {1}");
        test::triggerAction(&form, "OpdaterListen");
        QCOMPARE(form.findChild<QTableView*>("ListView1")->model()->rowCount(), 3);
        QCOMPARE(form.statusText(), englishStatus(*fx, 2));

        // ... until the window is activated again (as after a modal window).
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_COMPARE(form.statusText(), englishStatus(*fx, 3));
        QVERIFY(dialogs.calls.empty());
    }

    void readOnlySettingsStore() {
#ifdef _WIN32
        QSKIP("the Windows registry offers this test no key it may read but not write");
#endif
        addTwoPrograms();
        fx->setSetting("lang", "English");
        fx->protectMachineStore();
        TForm1 form(dialogs);
        test::startUp(form);
        // A limited user reads what may not be written: both roots' rows, the
        // language and its status text.
        QCOMPARE(form.findChild<QTableView*>("ListView1")->model()->rowCount(), 2);
        QCOMPARE(form.findChild<QPushButton*>("FilterRyd")->text(),
                 QString::fromStdString(fx->shippedLines("English").at(4)));
        QCOMPARE(form.statusText(), englishStatus(*fx, 2));
        QVERIFY(dialogs.calls.empty());
        QVERIFY2(form.close(), "a user who cannot save the settings can still close");
        QVERIFY(dialogs.calls.empty());
    }

    void damagedStoreIsReportedOnceAndTheProgramStarts() {
#ifdef _WIN32
        QSKIP("the Windows registry has no store file that could be damaged");
#endif
        fx->store.reset();
        platform::setDefaultRegistryStore(nullptr);
        fx->tmp.write("registry/machine.db", std::string(64, 'x'));
        std::filesystem::remove(fx->tmp.path() / "registry/machine.db-wal");
        std::filesystem::remove(fx->tmp.path() / "registry/machine.db-shm");
        platform::setDefaultRegistryStore(platform::openRegistryStore(fx->tmp.str() + "/registry"));
        QVERIFY(!app::reportDamagedRegistryStore(dialogs));
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Error), size_t{1});
        QVERIFY(dialogs.texts(ScriptedDialogs::Kind::Error)[0].find("machine.db") !=
                std::string::npos);
        TForm1 form(dialogs);
        test::startUp(form);
        QCOMPARE(form.findChild<QTableView*>("ListView1")->model()->rowCount(), 0);
        QVERIFY(form.close());
        QCOMPARE(dialogs.calls.size(), size_t{1});
    }

    void closeWhenHiddenListCannotBeWrittenBesideTheProgram() {
        {
            TForm1 form(dialogs);
            test::startUp(form);
            // A folder in the file's place cannot be replaced by a file, whoever we are.
            std::filesystem::create_directory(fx->programHost + "/hidden.dat");
            QVERIFY(form.close());
            QVERIFY(dialogs.calls.empty());
            QVERIFY(std::filesystem::is_regular_file(fx->userDataHost + "/hidden.dat"));
        }
        {
            // The user's folder refuses it too: the error is shown, the program closes.
            std::filesystem::remove(fx->userDataHost + "/hidden.dat");
            std::filesystem::create_directory(fx->userDataHost + "/hidden.dat");
            TForm1 form(dialogs);
            test::startUp(form);
            QVERIFY(form.close());
            QVERIFY(!form.isVisible());
            QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Error), size_t{1});
            const std::string error = dialogs.texts(ScriptedDialogs::Kind::Error).front();
            QVERIFY2(error.rfind("Cannot create file ", 0) == 0, error.c_str());
            QVERIFY2(error.find("hidden.dat") != std::string::npos, error.c_str());
            QCOMPARE(fx->settingText("lang"), std::optional<std::string>("English"));
        }
    }

    void closeWhileAnotherProgramWritesTheStore() {
#ifdef _WIN32
        QSKIP("the Windows registry has no store file that another program could hold busy");
#else
        TForm1 form(dialogs);
        test::startUp(form);
        QVERIFY(!std::filesystem::exists(fx->programHost + "/hidden.dat"));
        sqlite3* other = nullptr;
        sqlite3_open((fx->tmp.str() + "/registry/machine.db").c_str(), &other);
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        // One short wait and one message for all the settings, then the window closes.
        const bool closed = form.close();
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY(closed);
        QCOMPARE(dialogs.calls.size(), size_t{1});
        QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Message),
                 std::vector<std::string>{messages().get(Msg::msgSettingsNotSaved)});
        QVERIFY(std::filesystem::exists(fx->programHost + "/hidden.dat"));
        QVERIFY(!fx->settingText("lang"));
#endif
    }

    void typingFiltersTheList() {
        addTwoPrograms();
        TForm1 form(dialogs);
        test::startUp(form);
        auto* list = form.findChild<QTableView*>("ListView1");
        auto* box = form.findChild<QLineEdit*>("FilterBox");
        QSignalSpy resets(list->model(), &QAbstractItemModel::modelReset);
        QTest::keyClicks(box, "GONE");
        QCOMPARE(resets.count(), 4);
        QCOMPARE(list->model()->rowCount(), 1);
        QCOMPARE(list->model()->index(0, 0).data().toString(), QStringLiteral("Gone Tool"));
        QCOMPARE(form.statusText(), englishStatus(*fx, 1));
        QTest::mouseClick(form.findChild<QPushButton*>("FilterRyd"), Qt::LeftButton);
        QCOMPARE(box->text(), QString());
        QCOMPARE(list->model()->rowCount(), 2);
    }
};

VORNAK_QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
