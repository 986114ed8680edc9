// The first start on an empty registry: the list says why it is empty and how
// to fill it, the one Wine prefix found is offered (the answer remembered),
// and the example opens in a store of its own. Prefixes are real folders in a
// home of the test's own, where Wine users keep them.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <filesystem>
#include <fstream>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "app/ExampleRegistry.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "app/QtText.h"
#include "language/MessageCatalogue.h"
#include "language/TextEncoding.h"
#include "platform/FileSystem.h"
#include "platform/WinePrefix.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::app::TForm1;
using vornak::test::ScriptedDialogs;

namespace {

namespace fs = std::filesystem;

void write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A prefix as Wine leaves it, with one program registered.
void makePrefix(const std::string& dir, const std::string& program) {
    const std::string head = "WINE REGISTRY Version 2\n;; All keys relative to ";
    write(dir + "/system.reg",
          head +
              "REGISTRY\\\\Machine\n\n#arch=win64\n\n"
              "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\" +
              program + "] 1796702855\n\"DisplayName\"=\"" + program +
              "\"\n\"UninstallString\"=\"C:\\\\gone\\\\uninst.exe\"\n");
    write(dir + "/user.reg", head + "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n");
    write(dir + "/userdef.reg", head + "REGISTRY\\\\User\\\\.Default\n\n#arch=win64\n");
    fs::create_directories(dir + "/drive_c");
}

}  // namespace

class FirstStartTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::ProgramFixture> fx;
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;
    std::string home;
    std::map<QByteArray, std::optional<QByteArray>> savedEnv;

    void setEnv(const char* name, const std::optional<std::string>& value) {
        if (!savedEnv.count(name))
            savedEnv[name] = qEnvironmentVariableIsSet(name)
                                 ? std::optional<QByteArray>(qgetenv(name))
                                 : std::nullopt;
        value ? qputenv(name, QByteArray::fromStdString(*value)) : qunsetenv(name);
    }
    void start() {
        form.reset();
        form = std::make_unique<TForm1>(dialogs);
        app::createProgramWindows(*form);
        test::startUp(*form);
    }
    QString hint() {
        auto* label = form->findChild<QLabel*>("EmptyListHint");
        return label && label->isVisibleTo(form.get()) ? label->text() : QString();
    }
    QStringList rows() {
        auto* model = form->findChild<QTableView*>("ListView1")->model();
        QStringList out;
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, 0).data().toString();
        return out;
    }
    // "Menu > Command" in the shipped English file's words.
    std::string englishPath(int menuLine, const std::string& command) {
        std::string menu = fx->shippedLines("English").at(static_cast<size_t>(menuLine));
        std::erase(menu, '&');
        return menu + " > " + command;
    }

  private slots:
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        dialogs = ScriptedDialogs();
        messages().clear();
        home = fx->tmp.str() + "/home";
        setEnv("HOME", home);
        setEnv("XDG_DATA_HOME", fx->tmp.str() + "/user data");
        setEnv("WINEPREFIX", std::nullopt);
        setEnv("VORNAK_WINEPREFIX", std::nullopt);
    }
    void cleanup() {
        form.reset();
        platform::resetWinePrefixUse();
        app::forgetExampleRegistry();
        fx.reset();
        for (const auto& [name, value] : std::exchange(savedEnv, {}))
            value ? qputenv(name.constData(), *value) : qunsetenv(name.constData());
    }

    void emptyStore_data() {
        QTest::addColumn<int>("prefixes");
        QTest::addColumn<bool>("answer");
        QTest::newRow("no prefix") << 0 << false;
        QTest::newRow("one prefix, declined") << 1 << false;
        QTest::newRow("one prefix, taken") << 1 << true;
        QTest::newRow("several prefixes") << 2 << false;
    }
    void emptyStore() {
        QFETCH(int, prefixes);
        QFETCH(bool, answer);
        const std::string dirs[] = {home + "/.wine", home + "/Games/Second"};
        for (int i = 0; i < prefixes; ++i)
            makePrefix(dirs[i], "Program " + std::to_string(i + 1));
        dialogs.yesNoAnswers = {answer};
        start();

        const std::string choose = englishPath(
            9, fx->shippedLines("English").at(static_cast<size_t>(Msg::msgWinePrefixMenu)));
        const std::string example = englishPath(
            11, fx->shippedLines("English").at(static_cast<size_t>(Msg::msgOpenExample)));
        // Only one prefix is offered, once; the answer is the choice remembered.
        QTRY_COMPARE(dialogs.count(ScriptedDialogs::Kind::YesNo), size_t(prefixes == 1));
        if (prefixes == 1) {
            QCOMPARE(dialogs.calls.back().text,
                     messageText(Msg::fmtManageOnePrefix, {dirs[0], choose}));
            QCOMPARE(fx->settingText("WinePrefix"),
                     std::optional<std::string>(answer ? dirs[0] : std::string()));
        } else {
            QVERIFY(!fx->settingText("WinePrefix"));
        }
        if (answer) {
            QCOMPARE(rows(), QStringList{"Program 1"});
            QCOMPARE(hint(), QString());
        } else {
            QCOMPARE(rows(), QStringList());
            const std::string found =
                prefixes == 0   ? messageText(Msg::msgNoPrefixFound)
                : prefixes == 1 ? messageText(Msg::fmtPrefixFoundOne, {dirs[0], choose})
                                : messageText(Msg::fmtPrefixesFound, {int64_t{2}, choose});
            QCOMPARE(hint(), app::toQt(messageText(Msg::fmtEmptyOwnStore, {fx->store->location()}) +
                                       "\n\n" + found + "\n\n" +
                                       messageText(Msg::fmtExampleHint, {example})));
        }
        // The next start asks nothing: the choice stands.
        dialogs.calls.clear();
        start();
        QTest::qWait(50);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::YesNo), size_t{0});
    }

    void storeWithProgramsOffersNothing() {
        makePrefix(home + "/.wine", "Program 1");
        fx->addRegistration(platform::RegRoot::LocalMachine, "Own", "Own Program",
                            "C:\\gone\\uninst.exe");
        start();
        QTest::qWait(50);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::YesNo), size_t{0});
        QCOMPARE(rows(), QStringList{"Own Program"});
        QCOMPARE(hint(), QString());
    }

    void exampleOpensInAStoreOfItsOwn() {
        fx->setSetting("lang", "Danish");
        const std::string own = fx->tmp.str() + "/user data/vornak/example/";
        const app::ExamplePlaces places{std::string(VORNAK_SOURCE_EXAMPLES_DIR) + "/", own};
        // Missing, it switches nothing.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 app::openExampleRegistry({fx->tmp.str() + "/none/", own}));
        QCOMPARE(platform::defaultRegistryStore(), fx->store);

        app::openExampleRegistry(places);
        start();
        const QStringList shipped = rows();
        QVERIFY2(shipped.contains("Acme Editor 3.2") && shipped.contains("Gator eWallet"),
                 qPrintable(shipped.join(", ")));
        QCOMPARE(
            form->windowTitle(),
            app::toQt("Vornak Uninstaller 2.1 *BETA* - " +
                      fx->shippedLines("Danish").at(static_cast<size_t>(Msg::msgExampleTitle))));
        QCOMPARE(form->findChild<QLabel*>("lblInfoBody")->text(),
                 app::toQt(decodeLanguageText(
                     fx->shippedLines("Danish").at(static_cast<size_t>(Msg::msgExampleInfo)))));
        QVERIFY2(!form->findChild<QMenu*>("WinePrefix"), "a prefix is chosen in the user's store");
        // What the user does in the example stays there.
        form->findChild<QTableView*>("ListView1")->selectRow(0);
        test::triggerAction(form.get(), "Skjul");
        QVERIFY(form->close());
        QVERIFY(fs::exists(own + "hidden.dat"));
        QVERIFY(!fs::exists(fx->programHost + "/hidden.dat"));
        QVERIFY(!fs::exists(fx->userDataHost + "/hidden.dat"));
        QVERIFY2(!fx->settingText("WindowState"), "the example keeps its own settings");
        QVERIFY(!platform::defaultRegistryStore()->location().starts_with(fx->store->location()));

        // Every opening starts from what was shipped.
        form.reset();
        app::forgetExampleRegistry();
        platform::setDefaultRegistryStore(fx->store);
        platform::setDefaultFileSystem(
            platform::makeFileSystem({{'C', fx->driveC}}, fx->programHost, fx->userDataHost));
        auto example = platform::openRegistryStore(own + "registry");
        {
            auto accessor = example->accessor();
            std::unique_ptr<platform::RegKey> key;
            QCOMPARE(accessor->openKey(platform::RegRoot::LocalMachine,
                                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                       platform::RegAccess::Full, key),
                     platform::RegStatus::Ok);
            QCOMPARE(accessor->deleteKey(*key, "Uninstall\\Acme Editor"), platform::RegStatus::Ok);
        }
        app::openExampleRegistry(places);
        start();
        QVERIFY(rows().contains("Acme Editor 3.2"));
        QVERIFY2(!rows().contains(shipped.front()), "the example's hidden list stays its own");
        QCOMPARE(rows().size() + 1, shipped.size());
    }

    void helpCommandStartsTheProgramOnTheExample() {
        // A stand-in for the program beside us that notes how it was started.
        const std::string noted = fx->tmp.str() + "/started with";
        write(fx->programHost + "/vornak-uninstaller",
              "#!/bin/sh\nprintf '%s' \"$*\" > '" + noted + "'\n");
        fs::permissions(fx->programHost + "/vornak-uninstaller", fs::perms::owner_all);
        start();
        auto* help = form->findChild<QMenu*>("Hjaelp");
        QStringList layout;
        for (const QAction* action : help->actions())
            layout << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
        QCOMPARE(layout.join(' '), QStringLiteral("Hjaelp_hjaelp OpenExample - Website - Om"));
        test::triggerAction(form.get(), "OpenExample");
        QTRY_VERIFY(fs::exists(noted));
        std::ifstream in(noted);
        std::string arguments((std::istreambuf_iterator<char>(in)), {});
        QCOMPARE(arguments, std::string("--example"));
        QCOMPARE(dialogs.calls.size(), size_t{0});
    }
};

VORNAK_QTEST_MAIN(FirstStartTest)
#include "FirstStartTest.moc"
