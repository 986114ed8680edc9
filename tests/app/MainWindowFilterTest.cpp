// The list filters and the hidden-entry filter, driven through the main window:
// typing into FilterBox, the menu commands, the list and the status bar.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <filesystem>
#include <fstream>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "app/MainWindow.h"
#include "language/MessageCatalogue.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using namespace std::string_literals;
using vornak::app::TForm1;
using vornak::platform::RegRoot;
using vornak::test::ScriptedDialogs;

class MainWindowFilterTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::ProgramFixture> fx;
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;

    const QStringList kAll = {"Acme Editor", "Acme Viewer", "Bargain Finder", "Gator eWallet",
                              "Zip Tool"};

    void registerPrograms() {
        const std::string live = fx->addProgramFile("Program Files/Live/uninst.exe");
        const std::string gone = "\"C:\\Program Files\\Gone\\uninst.exe\"";
        fx->addRegistration(RegRoot::LocalMachine, "1", "Acme Editor", live);
        fx->addRegistration(RegRoot::LocalMachine, "2", "Acme Viewer", gone);
        fx->addRegistration(RegRoot::CurrentUser, "3", "Bargain Finder", live);
        fx->addRegistration(RegRoot::LocalMachine, "4", "Gator eWallet", gone);
        fx->addRegistration(RegRoot::CurrentUser, "5", "Zip Tool", live);
    }
    void start() {
        form = std::make_unique<TForm1>(dialogs);
        test::startUp(*form);
    }

    QStringList rows() {
        QStringList out;
        auto* model = form->findChild<QTableView*>("ListView1")->model();
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, 0).data().toString();
        return out;
    }
    QLineEdit* box() { return form->findChild<QLineEdit*>("FilterBox"); }
    QString status(int count) {
        return QString::fromStdString(
            formatMessage(fx->shippedLines("English").at(35), {int64_t{count}}));
    }
    void select(const QString& caption) {
        auto* list = form->findChild<QTableView*>("ListView1");
        const int row = rows().indexOf(caption);
        QVERIFY2(row >= 0, qPrintable(caption));
        list->selectRow(row);
    }
    bool checked(const char* name) { return form->findChild<QAction*>(name)->isChecked(); }

  private slots:
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        dialogs = ScriptedDialogs();
        messages().clear();
        registerPrograms();
    }
    void cleanup() {
        form.reset();
        fx.reset();
    }

    void pastedMarkerLeavesTheList() {
        start();
        QTest::keyClicks(box(), "acme");
        QCOMPARE(rows(), QStringList({"Acme Editor", "Acme Viewer"}));
        box()->selectAll();
        QApplication::clipboard()->setText(QStringLiteral("{!-DEAD-!}"));
        QTest::keyClick(box(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box()->text(), QStringLiteral("{!-DEAD-!}"));
        QCOMPARE(rows(), QStringList({"Acme Editor", "Acme Viewer"}));
        QCOMPARE(form->statusText(), status(2));
    }

    void typedMarkerFiltersOnTheWay() {
        start();
        QTest::keyClicks(box(), "{!-DEAD-!}");
        QCOMPARE(rows(), QStringList());
        QCOMPARE(form->statusText(), status(0));
        box()->clear();
        QCOMPARE(rows(), kAll);
        QTest::keyClicks(box(), "{!-dead-!}");
        QCOMPARE(rows(), QStringList());
    }

    void deadTwiceThenCrapware() {
        start();
        test::triggerAction(form.get(), "kundoedelinks");
        QCOMPARE(rows(), QStringList({"Acme Viewer", "Gator eWallet"}));
        QCOMPARE(box()->text(), QStringLiteral("{!-DEAD-!}"));
        QCOMPARE(form->statusText(), status(2));
        test::triggerAction(form.get(), "kundoedelinks");
        QCOMPARE(rows(), QStringList({"Acme Viewer", "Gator eWallet"}));
        test::triggerAction(form.get(), "kuncrap");
        QCOMPARE(rows(), QStringList({"Gator eWallet"}));
        QCOMPARE(box()->text(), QStringLiteral("{!-CRAP-!}"));
        QVERIFY(!checked("kundoedelinks"));
        QVERIFY(!checked("kuncrap"));
        QVERIFY(dialogs.calls.empty());
    }

    void deadAfterTextAndRydAfterwards() {
        start();
        QTest::keyClicks(box(), "acme");
        test::triggerAction(form.get(), "kundoedelinks");
        QCOMPARE(rows(), QStringList({"Acme Viewer"}));
        QTest::mouseClick(form->findChild<QPushButton*>("FilterRyd"), Qt::LeftButton);
        QCOMPARE(box()->text(), QString());
        QCOMPARE(rows(), kAll);
        QCOMPARE(form->statusText(), status(5));
    }

    void specialFilterOnAnEmptyListStopsSilently() {
        start();
        QTest::keyClicks(box(), "nothing like it");
        QCOMPARE(form->statusText(), status(0));
        test::triggerAction(form.get(), "kuncrap");
        QCOMPARE(box()->text(), QStringLiteral("{!-CRAP-!}"));
        QCOMPARE(rows(), QStringList());
        QVERIFY(dialogs.calls.empty());
    }

    void refreshKeepsTheBoxText() {
        start();
        QTest::keyClicks(box(), "zip");
        QCOMPARE(rows(), QStringList({"Zip Tool"}));
        test::triggerAction(form.get(), "OpdaterListen");
        QCOMPARE(rows(), kAll);
        QCOMPARE(box()->text(), QStringLiteral("zip"));
    }

    void hidingWithTheFilterOnAndOff() {
        start();
        QVERIFY(checked("VisIkkeSkjulte"));
        select("Zip Tool");
        test::triggerAction(form.get(), "Skjul");
        QCOMPARE(rows(), kAll.mid(0, 4));
        QCOMPARE(form->statusText(), status(4));

        test::triggerAction(form.get(), "VisIkkeSkjulte");  // off: everything again
        QVERIFY(!checked("VisIkkeSkjulte"));
        QCOMPARE(rows(), kAll);
        select("Acme Editor");
        test::triggerAction(form.get(), "Skjul");
        QCOMPARE(rows(), kAll);

        test::triggerAction(form.get(), "VisIkkeSkjulte");  // on: both hidden
        QVERIFY(checked("VisIkkeSkjulte"));
        QCOMPARE(rows(), QStringList({"Acme Viewer", "Bargain Finder", "Gator eWallet"}));
        QVERIFY(form->close());
        QCOMPARE(fx->tmp.read("drive c/Program Files/Vornak Uninstaller/hidden.dat"),
                 std::string("Zip Tool\r\nAcme Editor\r\n"));
        QCOMPARE(fx->settingFlag("hidehidden"), std::optional<uint32_t>(1));
    }

    void hidingNeedsASelectedRow() {
        start();
        form->findChild<QTableView*>("ListView1")->clearSelection();
        test::triggerAction(form.get(), "Skjul");
        QCOMPARE(rows(), kAll);
        QVERIFY(form->inventory().hiddenList().empty());
        QVERIFY(dialogs.calls.empty());
    }

    void hiddenFileReadAtStartUp() {
        // Mixed line ends, an empty line in the middle, a letter-case variant and
        // a NUL after which nothing counts.
        std::ofstream(fx->programHost + "/hidden.dat", std::ios::binary)
            << "Zip Tool\r\nacme editor\n\nGator eWallet\r\0Acme Viewer\r\n"s;
        start();
        QCOMPARE(rows(), QStringList({"Acme Editor", "Acme Viewer", "Bargain Finder"}));
        QCOMPARE(form->statusText(), status(3));
    }

    void hideHiddenZeroStartsWithTheFilterOff() {
        std::ofstream(fx->programHost + "/hidden.dat", std::ios::binary) << "Zip Tool\r\n";
        fx->setSettingFlag("hidehidden", 0);
        start();
        QVERIFY(!checked("VisIkkeSkjulte"));
        QCOMPARE(rows(), kAll);
        QVERIFY(form->close());
        QCOMPARE(fx->settingFlag("hidehidden"), std::optional<uint32_t>(0));
    }

    void statusFormatThatDoesNotFitRaisesNoErrors() {
        // An English file whose line 35 takes a text: reported once when it is
        // applied, and after that the status bar is simply empty.
        auto lines = fx->shippedLines("English");
        lines.at(35) = "%s programs listed";
        std::string file;
        for (const auto& line : lines)
            file += line + "\r\n";
        fx->writeLanguage("English", file);
        start();
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Error), size_t{0});
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), size_t{1});
        QTest::keyClicks(box(), "Acme");
        test::triggerAction(form.get(), "kundoedelinks");
        QCOMPARE(rows(), QStringList({"Acme Viewer"}));
        QCOMPARE(form->statusText(), QString());
        QCOMPARE(dialogs.calls.size(), size_t{1});
    }
};

VORNAK_QTEST_MAIN(MainWindowFilterTest)
#include "MainWindowFilterTest.moc"
