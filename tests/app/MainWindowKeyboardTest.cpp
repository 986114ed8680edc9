// The main window from the keyboard alone: typed keys reach the filter box at
// start, Tab runs filter box, list, Clear, button bar, and a list reached by
// Tab has a row for Enter, Del and F2 to act on.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "language/MessageCatalogue.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::app::TForm1;
using vornak::platform::RegRoot;
using Kind = vornak::test::ScriptedDialogs::Kind;

class MainWindowKeyboardTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ProgramFixture> fx;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;

    // Keys as the keyboard sends them: to the window, which hands them on. Under
    // Wine the activation can reach the window a moment after it was reported;
    // keys typed in between would reach no window.
    void ensureActive() {
        if (form->isActiveWindow())
            return;
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    void type(const char* text) {
        for (const char* c = text; *c; ++c) {
            ensureActive();
            QTest::keyClick(form->windowHandle(), *c);
        }
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        ensureActive();
        QTest::keyClick(form->windowHandle(), k, mods);
    }
    QString focused() {
        QWidget* w = QApplication::focusWidget();
        return w ? w->objectName() : QString();
    }
    QStringList rows() {
        QStringList out;
        auto* model = form->findChild<QTableView*>("ListView1")->model();
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, 0).data().toString();
        return out;
    }

  private slots:
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        dialogs = test::ScriptedDialogs();
        messages().clear();
        fx->addRegistration(RegRoot::LocalMachine, "A", "Acme Tool", "msiexec /x{a}");
        fx->addRegistration(RegRoot::LocalMachine, "B", "Bolt Player", "msiexec /x{b}");
        fx->addRegistration(RegRoot::CurrentUser, "C", "Crane Tool", "msiexec.exe /x{c}");
        form = std::make_unique<TForm1>(dialogs);
        app::createProgramWindows(*form);
        test::startUp(*form);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    void cleanup() {
        form.reset();
        fx.reset();
    }

    void typingAtStartFiltersAndTabFollowsTheWindow() {
        QCOMPARE(focused(), QStringLiteral("FilterBox"));
        type("tool");
        QCOMPARE(form->findChild<QLineEdit*>("FilterBox")->text(), QStringLiteral("tool"));
        QCOMPARE(rows(), QStringList({"Acme Tool", "Crane Tool"}));
        const QStringList forward{"ListView1", "FilterRyd",  "btnUninstall",
                                  "btnDelete", "btnAnalyze", "btnHelp"};
        for (const QString& next : forward) {
            key(Qt::Key_Tab);
            QCOMPARE(focused(), next);
        }
        for (int i = forward.size() - 2; i >= 0; --i) {
            key(Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(focused(), forward[i]);
        }
    }

    // Filter, Tab, then the list's keys act on the row that Tab selected.
    void tabIntoTheListSelectsARowForItsKeys() {
        type("crane");
        key(Qt::Key_Tab);
        QCOMPARE(form->selectedRow(), 0);
        dialogs.yesNoAnswers = {false};
        key(Qt::Key_Delete);
        QCOMPARE(dialogs.count(Kind::YesNo), size_t{1});
        key(Qt::Key_F2);  // hides it
        QCOMPARE(rows(), QStringList());

        // Back to the box; a filter that leaves one row, Tab, Enter: it runs.
        key(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(focused(), QStringLiteral("FilterBox"));
        key(Qt::Key_A, Qt::ControlModifier);
        type("bolt");
        key(Qt::Key_Tab);
        QCOMPARE(form->selectedRow(), 0);
        const QString before = form->findChild<QLabel*>("lblInfoBody")->text();
        key(Qt::Key_Return);
        QTRY_VERIFY(form->findChild<QLabel*>("lblInfoBody")->text() != before);
    }

    void enterWithoutAnyRowDoesNothing() {
        type("nothing like it");
        key(Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("ListView1"));
        QCOMPARE(form->selectedRow(), -1);
        const QString before = form->findChild<QLabel*>("lblInfoBody")->text();
        for (Qt::Key k : {Qt::Key_Return, Qt::Key_Delete, Qt::Key_F2})
            key(k);
        key(Qt::Key_I, Qt::ControlModifier);
        QTest::qWait(100);
        QCOMPARE(form->findChild<QLabel*>("lblInfoBody")->text(), before);
        QVERIFY(dialogs.calls.empty());
        QVERIFY(!QApplication::activeModalWidget());
    }
};

VORNAK_QTEST_MAIN(MainWindowKeyboardTest)
#include "MainWindowKeyboardTest.moc"
