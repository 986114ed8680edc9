// The update check, help, web site and list export, driven through the main
// window: its menus, keys and buttons in both languages, the real save dialog,
// and a window that goes on taking input while the update answer is awaited.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "app/ApplicationInfo.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "app/QtDialogs.h"
#include "language/MessageCatalogue.h"
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
            test::triggerAction(form.get(), "SoegEfterOpdateringer");
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

    void theWindowTakesInputWhileTheAnswerIsAwaited() {
        start(dialogs);
        server->answer("21301");
        server->hold();
        QStringList shownMeanwhile;
        QTimer::singleShot(100, form.get(), [&] {
            QTest::keyClicks(box(), "zip");
            shownMeanwhile = rows();
            QTest::keyClick(form.get(), Qt::Key_F6);  // a second check does not start
            server->release();
        });
        dialogs.buttonAnswers = {platform::kButtonNo};
        test::triggerAction(form.get(), "SoegEfterOpdateringer");
        QCOMPARE(shownMeanwhile, QStringList({"Zip Tool"}));
        QCOMPARE(server->requests(), 1);
        QCOMPARE(dialogs.calls.size(), size_t{1});
        QCOMPARE(dialogs.calls[0].dialogKind, platform::DialogKind::Confirmation);
        QVERIFY(shell->webAddresses.empty());
    }
};

VORNAK_QTEST_MAIN(MainWindowServicesTest)
#include "MainWindowServicesTest.moc"
