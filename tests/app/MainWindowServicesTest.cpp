// The update check, help, web site and list export, driven through the main
// window: its menus, keys and buttons in both languages, the real save dialog,
// a window that goes on taking input while the update answer is awaited and
// shows that it waits, an answer shown above the window open when it comes,
// a desktop without a browser, and a build without an update server.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "app/ApplicationInfo.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "app/QtDialogs.h"
#include "app/QtTranslation.h"
#include "language/MessageCatalogue.h"
#include "services/DesktopShell.h"
#include "support/HttpTestServer.h"
#include "support/RecordingShell.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::app::TForm1;
using vornak::platform::RegRoot;
using vornak::test::ScriptedDialogs;

namespace {

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs `inside` on the next modal window of type T once it is shown.
template <class T>
void whenModal(std::function<void(T*)> inside) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, inside] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            inside(window);
        }
    });
    poll->start();
}

// The English text a build carries for an added line.
std::string addedLineEnglish(Msg role) {
    for (const AddedLine& added : addedLines())
        if (added.role == role)
            return std::string(added.english);
    return {};
}

}  // namespace

class MainWindowServicesTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::ProgramFixture> fx;
    std::unique_ptr<test::HttpTestServer> server;
    std::shared_ptr<test::RecordingShell> shell;
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;

    void start(platform::Dialogs& with) {
        form = std::make_unique<TForm1>(with);
        app::createProgramWindows(*form);
        test::startUp(*form);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    QLineEdit* box() { return form->findChild<QLineEdit*>("FilterBox"); }
    QStringList rows() {
        QStringList out;
        auto* model = form->findChild<QTableView*>("ListView1")->model();
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, 0).data().toString();
        return out;
    }
    std::string exportFolder() {
        const std::string folder = fx->driveC + "/lists";
        std::filesystem::create_directories(folder);
        return folder;
    }

  private slots:
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        server = std::make_unique<test::HttpTestServer>();
        shell = std::make_shared<test::RecordingShell>();
        platform::setDefaultShell(shell);
        app::setHelpFile(app::kHelpFileName);
        qputenv("VORNAK_UPDATE_SERVER", QByteArray::fromStdString(server->address()));
        dialogs = ScriptedDialogs();
        messages().clear();
        const std::string live = fx->addProgramFile("Program Files/Live/uninst.exe");
        for (const char* name : {"Zip Tool", "Acme Editor", "Bargain Finder", "Gator eWallet"})
            fx->addRegistration(RegRoot::LocalMachine, name, name, live);
    }
    void cleanup() {
        form.reset();
        qunsetenv("VORNAK_UPDATE_SERVER");
        platform::setDefaultShell(nullptr);
        server.reset();
        fx.reset();
    }

    void commandsAnswerKeysMenusAndButtonsInBothLanguages() {
        start(dialogs);
        for (const char* language : {"English", "Danish"}) {
            form->ChangeLang(language);
            const std::vector<std::string> lines = fx->shippedLines(language);
            dialogs = ScriptedDialogs();
            shell->helpShown.clear();
            shell->webAddresses.clear();

            QTest::keyClick(form.get(), Qt::Key_F1);
            QTest::mouseClick(form->findChild<QToolButton*>("btnHelp"), Qt::LeftButton);
            test::triggerAction(form.get(), "Hjaelp_hjaelp");
            const test::RecordingShell::Help contents{app::kHelpFileName, 1};
            QCOMPARE(shell->helpShown.size(), size_t{3});
            for (const auto& shown : shell->helpShown)
                QVERIFY(shown == contents);

            QTest::keyClick(form.get(), Qt::Key_F8);
            test::triggerAction(form.get(), "Website");
            QCOMPARE(shell->webAddresses, std::vector<std::string>(2, server->address() + "/"));

            server->answer("21300");
            QTest::keyClick(form.get(), Qt::Key_F6);
            QTRY_COMPARE(dialogs.count(ScriptedDialogs::Kind::Dialog), size_t{1});
            test::triggerAction(form.get(), "SoegEfterOpdateringer");
            QTRY_COMPARE(dialogs.count(ScriptedDialogs::Kind::Dialog), size_t{2});
            QCOMPARE(server->requests() % 2, 0);
            QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Dialog),
                     std::vector<std::string>(2, lines.at(2)));

            test::triggerAction(form.get(), "EksporterListe");
            QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::SaveFile),
                     std::vector<std::string>{lines.at(25)});
            QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Error), size_t{0});
        }
    }

    void exportWritesTheRowsShownInTheirOrder() {
        start(dialogs);
        QTest::keyClicks(box(), "o");
        QCOMPARE(rows(), QStringList({"Acme Editor", "Gator eWallet", "Zip Tool"}));
        const std::string folder = exportFolder();
        dialogs.saveAnswers = {"C:\\lists\\three.txt", "C:\\lists\\none.txt",
                               "C:\\no such folder\\x.txt"};
        test::triggerAction(form.get(), "EksporterListe");
        QCOMPARE(readWhole(folder + "/three.txt"),
                 std::string("Acme Editor\r\nGator eWallet\r\nZip Tool\r\n"));

        box()->clear();
        QTest::keyClicks(box(), "nothing like it");
        QCOMPARE(rows(), QStringList());
        test::triggerAction(form.get(), "EksporterListe");
        QVERIFY(std::filesystem::exists(folder + "/none.txt"));
        QCOMPARE(std::filesystem::file_size(folder + "/none.txt"), std::uintmax_t{0});

        test::triggerAction(form.get(), "EksporterListe");
        const auto errors = dialogs.texts(ScriptedDialogs::Kind::Error);
        QCOMPARE(errors.size(), size_t{1});
        QVERIFY2(errors[0].find("C:\\no such folder\\x.txt") != std::string::npos,
                 errors[0].c_str());
    }

    // The real save dialog: the extension is added before it looks for an
    // existing file, and declining to replace it writes nothing.
    void exportOverAnExistingFileAsksFirst() {
#ifdef _WIN32
        QSKIP("the save dialog is Windows' own there, which this test cannot fill in");
#endif
        app::QtDialogs qtDialogs;
        start(qtDialogs);
        const std::string folder = exportFolder();
        std::ofstream(folder + "/list.txt", std::ios::binary) << "old\r\n";

        for (const bool replace : {false, true}) {
            QString asked;
            whenModal<QFileDialog>([&](QFileDialog* dialog) {
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(name);
                name->setText(QString::fromStdString(folder + "/list"));
                whenModal<QMessageBox>([&](QMessageBox* question) {
                    asked = question->text();
                    question->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
                });
                static_cast<QDialog*>(dialog)->accept();
                if (dialog->isVisible())
                    dialog->reject();
            });
            test::triggerAction(form.get(), "EksporterListe");
            QTRY_VERIFY(!QApplication::activeModalWidget());
            QVERIFY2(asked.contains(QStringLiteral("list.txt")), qPrintable(asked));
            QCOMPARE(readWhole(folder + "/list.txt"),
                     replace ? std::string("Acme Editor\r\nBargain Finder\r\nGator eWallet\r\n"
                                           "Zip Tool\r\n")
                             : std::string("old\r\n"));
        }
        QVERIFY(!std::filesystem::exists(folder + "/list"));
    }

    void theWindowTakesInputAndShowsThatTheCheckRunsMeanwhile() {
        start(dialogs);
        form->ChangeLang("Danish");
        server->answer("21301");
        server->hold();
        dialogs.buttonAnswers = {platform::kButtonNo};
        test::triggerAction(form.get(), "SoegEfterOpdateringer");
        QTRY_COMPARE(server->requests(), 1);
        // The command has returned; the window says that a check runs.
        const QString running = QString::fromStdString(messages().get(Msg::msgCheckingForUpdates));
        QVERIFY(running != QString::fromStdString(addedLineEnglish(Msg::msgCheckingForUpdates)));
        QCOMPARE(form->statusBar()->currentMessage(), running);
        QVERIFY(form->testAttribute(Qt::WA_SetCursor));
        QCOMPARE(form->cursor().shape(), Qt::BusyCursor);

        QTest::keyClicks(box(), "zip");
        QCOMPARE(rows(), QStringList({"Zip Tool"}));
        QTest::keyClick(form.get(), Qt::Key_F6);  // a second check does not start
        QTest::qWait(50);
        server->release();
        QTRY_COMPARE(dialogs.calls.size(), size_t{1});
        QCOMPARE(server->requests(), 1);
        QCOMPARE(dialogs.calls[0].dialogKind, platform::DialogKind::Confirmation);
        QVERIFY(shell->webAddresses.empty());
        QCOMPARE(form->statusBar()->currentMessage(), QString());
        QCOMPARE(form->cursor().shape(), Qt::ArrowCursor);
    }

    // F6, then the About window while the answer is awaited: the answer is
    // shown when it comes, above the About window, not once it has closed.
    void theAnswerShowsAboveTheWindowOpenWhenItComes() {
        app::QtDialogs qtDialogs;
        start(qtDialogs);
        server->answer("21300");
        server->hold();
        test::triggerAction(form.get(), "SoegEfterOpdateringer");
        QTRY_COMPARE(server->requests(), 1);

        QWidget* shownOver = nullptr;
        QString shownText;
        bool aboutOpenWhenShown = false;
        QPointer<QDialog> about;
        whenModal<QDialog>([&](QDialog* opened) {
            about = opened;
            // Should the answer never come while it is open, it is closed.
            QTimer::singleShot(20000, opened, [opened] { opened->reject(); });
            whenModal<QMessageBox>([&](QMessageBox* box) {
                shownOver = box->parentWidget();
                shownText = box->text();
                aboutOpenWhenShown = about && about->isVisible();
                box->button(QMessageBox::Ok)->click();
                if (about)
                    about->reject();
            });
            server->release();
        });
        test::triggerAction(form.get(), "Om");
        QVERIFY(about);
        QCOMPARE(about->objectName(), QStringLiteral("OmForm"));
        QVERIFY(aboutOpenWhenShown);
        QCOMPARE(shownOver, static_cast<QWidget*>(about.data()));
        QCOMPARE(shownText, QString::fromStdString(messages().get(Msg::msgNoUpdate)));
    }

    // Qt's own texts (the message boxes' buttons, the save and font dialogs)
    // follow the language chosen from the Language menu.
    void qtsOwnTextsFollowTheLanguage() {
#ifdef _WIN32
        QSKIP("the save and font dialogs are Windows' own there, without Qt's labels to read");
#endif
        app::QtDialogs qtDialogs;
        start(qtDialogs);
        // A newer version: the Yes/No question.
        server->answer("21301");
        struct Seen {
            QString yes, fileName, fontLabel;
        };
        auto look = [&](Seen& seen) {
            whenModal<QMessageBox>([&](QMessageBox* box) {
                seen.yes = box->button(QMessageBox::Yes)->text();
                box->button(QMessageBox::No)->click();
            });
            test::triggerAction(form.get(), "SoegEfterOpdateringer");
            QTRY_VERIFY(!seen.yes.isEmpty());
            whenModal<QFileDialog>([&](QFileDialog* dialog) {
                if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("fileNameLabel")))
                    seen.fileName = label->text();
                dialog->reject();
            });
            test::triggerAction(form.get(), "EksporterListe");
            whenModal<QFontDialog>([&](QFontDialog* dialog) {
                QStringList labels;
                for (auto* label : dialog->findChildren<QLabel*>())
                    labels << label->text();
                labels.sort();
                seen.fontLabel = labels.join(u'|');
                dialog->reject();
            });
            test::triggerAction(form.get(), "Font");
        };
        test::triggerAction(form.get(), "langMenuEnglish");
        Seen english;
        look(english);
        QCOMPARE(english.yes, QStringLiteral("&Yes"));
        QVERIFY(!english.fileName.isEmpty() && !english.fontLabel.isEmpty());

        const QStringList folders = app::qtTranslationFolders();
        if (std::none_of(folders.begin(), folders.end(), [](const QString& folder) {
                return QFileInfo::exists(folder + QStringLiteral("/qtbase_da.qm"));
            }))
            QSKIP("Qt's Danish translation is not installed (qt6-translations-l10n)");
        test::triggerAction(form.get(), "langMenuDanish");
        Seen danish;
        look(danish);
        QVERIFY2(danish.yes != english.yes, qPrintable(danish.yes));
        QVERIFY2(danish.fileName != english.fileName, qPrintable(danish.fileName));
        QVERIFY2(danish.fontLabel != english.fontLabel, qPrintable(danish.fontLabel));

        // And back: English again, Qt's own.
        test::triggerAction(form.get(), "langMenuEnglish");
        Seen again;
        look(again);
        QCOMPARE(again.yes, english.yes);
        QCOMPARE(again.fileName, english.fileName);
        QCOMPARE(again.fontLabel, english.fontLabel);
    }

    // No browser on this desktop: the desktop's own shell cannot open the help
    // page or the web site, and the user is told where they are.
    void withoutABrowserHelpAndTheWebSiteSayWhereTheyAre() {
#ifdef _WIN32
        QSKIP("a desktop without a browser is a POSIX desktop's; Windows opens through "
              "ShellExecuteW, which Wine always answers");
#endif
        platform::setDefaultShell(std::make_shared<services::DesktopShell>());
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(fx->tmp.str() + "/no programs"));
        for (const char* name :
             {"BROWSER", "DEFAULT_BROWSER", "DESKTOP_SESSION", "XDG_CURRENT_DESKTOP",
              "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"})
            qunsetenv(name);
        start(dialogs);
        form->ChangeLang("Danish");
        QTest::keyClick(form.get(), Qt::Key_F1);
        QTest::mouseClick(form->findChild<QToolButton*>("btnHelp"), Qt::LeftButton);
        QTest::keyClick(form.get(), Qt::Key_F8);
        server->answer("21301");
        dialogs.buttonAnswers = {platform::kButtonYes};
        test::triggerAction(form.get(), "SoegEfterOpdateringer");
        QTRY_COMPARE(dialogs.calls.size(), size_t{5});
        qputenv("PATH", path);

        const std::string page = fx->programHost + "/Uninstaller.html";
        const std::string help = formatMessage(Msg::fmtHelpNotOpened, {page});
        const std::string site = formatMessage(Msg::fmtWebsiteNotOpened, {server->address() + "/"});
        QVERIFY(help !=
                formatMessage(std::string(addedLineEnglish(Msg::fmtHelpNotOpened)), {page}));
        const std::vector<std::string> expected{help, help, site,
                                                messages().get(Msg::msgUpdateAvailable), site};
        QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Dialog), expected);
    }

    // The placeholder server of a build that names none: the update check and
    // the web site say so, and ask the network nothing.
    void aBuildWithoutAServerSaysSo() {
        qputenv("VORNAK_UPDATE_SERVER", "www.vornak-software.example");
        start(dialogs);
        form->ChangeLang("Danish");
        QTest::keyClick(form.get(), Qt::Key_F6);
        QTest::keyClick(form.get(), Qt::Key_F8);
        QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Dialog),
                 (std::vector<std::string>{messages().get(Msg::msgNoUpdateServer),
                                           messages().get(Msg::msgNoWebsite)}));
        QVERIFY(messages().get(Msg::msgNoUpdateServer) != addedLineEnglish(Msg::msgNoUpdateServer));
        QCOMPARE(server->requests(), 0);
        QVERIFY(shell->webAddresses.empty());
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Error), size_t{0});
    }
};

VORNAK_QTEST_MAIN(MainWindowServicesTest)
#include "MainWindowServicesTest.moc"
