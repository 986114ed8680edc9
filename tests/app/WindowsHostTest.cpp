// What only the Windows build shows through the main window: an uninstaller
// started with CreateProcessW (a real Windows program, our own tool, removing
// its own registration) and the list rebuilt when it ends; the design fonts
// that the system lacks.
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <filesystem>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "actions/UninstallRunner.h"
#include "app/FontSubstitutes.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "app/QtText.h"
#include "language/MessageCatalogue.h"
#include "platform/FileSystem.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::app::TForm1;
using vornak::platform::RegRoot;

class WindowsHostTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::ProgramFixture> fx;
    test::ScriptedDialogs dialogs;

    static QStringList rows(TForm1& form) {
        QStringList out;
        auto* model = form.findChild<QTableView*>("ListView1")->model();
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, 0).data().toString();
        return out;
    }

  private slots:
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        dialogs = test::ScriptedDialogs();
        messages().clear();
    }
    void cleanup() { fx.reset(); }

    void missingDesignFontsAreDrawnInASansFace() {
        app::addFontSubstitutes();
        for (const QString family : {QStringLiteral("Verdana"), QStringLiteral("Arial")}) {
            QFont font(family);
            font.setPixelSize(13);
            const QString shown = QFontInfo(font).family();
            QVERIFY2(shown == family || app::fontSubstitutes(family).contains(shown),
                     qPrintable(family + " is drawn in " + shown));
        }
    }

    void uninstallerStartedByCreateProcessRemovesItsRegistration() {
        // Drive C is the system's own here: CreateProcessW and the list's
        // check of the uninstaller must find the same file.
        platform::setDefaultFileSystem(
            platform::makeFileSystem({{'C', "C:\\"}}, fx->programHost, fx->userDataHost));
        const char* programs = std::getenv("VORNAK_PROGRAM_DIR");
        QVERIFY(programs);
        const auto uninstaller =
            std::filesystem::path(fx->tmp.str()) / "Self Remover" / "uninst.exe";
        std::filesystem::create_directories(uninstaller.parent_path());
        std::filesystem::copy_file(std::filesystem::path(programs) / "vornak.exe", uninstaller);
        const std::string path = std::filesystem::absolute(uninstaller).string();
        QVERIFY2(path.rfind("C:\\", 0) == 0, path.c_str());
        fx->addRegistration(RegRoot::CurrentUser, "Self", "Self Remover",
                            "\"" + path +
                                "\" reg delete "
                                "\"HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                                "Self\" /f");
        fx->addRegistration(RegRoot::LocalMachine, "Other", "Other Tool", "msiexec /x{o}");

        TForm1 form(dialogs);
        app::createProgramWindows(form);
        test::startUp(form);
        QCOMPARE(rows(form), QStringList({"Other Tool", "Self Remover"}));
        auto* list = form.findChild<QTableView*>("ListView1");
        list->selectRow(1);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        const auto finished =
            app::toDisplayText(actions::runStatusText(Msg::fmtUninstallFinished, "Self Remover"));
        QTRY_COMPARE_WITH_TIMEOUT(form.findChild<QLabel*>("lblInfoBody")->text(), finished, 30000);
        QTRY_COMPARE(rows(form), QStringList({"Other Tool"}));
        QVERIFY(dialogs.calls.empty());
    }
};

VORNAK_QTEST_MAIN(WindowsHostTest)
#include "WindowsHostTest.moc"
