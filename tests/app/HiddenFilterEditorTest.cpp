// The hidden-filter editor, opened from the main window's menu as a user does.
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <functional>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "inventory/HiddenFilterEditor.h"
#include "language/MessageCatalogue.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::app::TForm1;
using vornak::platform::RegRoot;
using vornak::test::ScriptedDialogs;
using Lines = std::vector<std::string>;

namespace {

QStringList shownLines(QWidget* editor) {
    QStringList out;
    auto* box = editor->findChild<QListWidget*>("ListBox1");
    for (int i = 0; i < box->count(); ++i)
        out << box->item(i)->text();
    return out;
}

QStringList listRows(TForm1& form) {
    QStringList out;
    auto* model = form.findChild<QTableView*>("ListView1")->model();
    for (int r = 0; r < model->rowCount(); ++r)
        out << model->index(r, 0).data().toString();
    return out;
}

}  // namespace

class HiddenFilterEditorTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::ProgramFixture> fx;
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;

    // Opens the editor from the menu; `inside` runs while it is shown, then the
    // editor is closed by its close box.
    void withEditor(const std::function<void(QWidget*)>& inside) {
        bool ran = false;
        QTimer::singleShot(0, form.get(), [&] {
            QWidget* editor = QApplication::activeModalWidget();
            QVERIFY(editor);
            QCOMPARE(editor->objectName(), QStringLiteral("HiddenFilterEditor"));
            inside(editor);
            ran = true;
            editor->close();
        });
        test::triggerAction(form.get(), "RedigerSkjulFilter");
        QVERIFY(ran);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void clickDelete(QWidget* editor) {
        QTest::mouseClick(editor->findChild<QPushButton*>("SletValgte"), Qt::LeftButton);
    }

  private slots:
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        dialogs = ScriptedDialogs();
        messages().clear();
        const std::string live = fx->addProgramFile("Program Files/Live/uninst.exe");
        fx->addRegistration(RegRoot::LocalMachine, "1", "Acme Editor", live);
        fx->addRegistration(RegRoot::LocalMachine, "2", "Beta", live);
        fx->addRegistration(RegRoot::CurrentUser, "3", "Zip Tool", live);
        form = std::make_unique<TForm1>(dialogs);
        app::createProgramWindows(*form);
        test::startUp(*form);
    }
    void cleanup() {
        form.reset();
        fx.reset();
    }

    void windowAsDesigned() {
        auto* editor = form->findChild<QDialog*>("HiddenFilterEditor");
        QVERIFY(editor);
        QVERIFY(editor->isWindow());
        QCOMPARE(editor->size(), QSize(418, 259));
        QVERIFY(editor->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(editor->windowFlags() & Qt::WindowMaximizeButtonHint));
        auto* box = editor->findChild<QListWidget*>("ListBox1");
        QCOMPARE(box->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(box->height(), 259 - 30);
        auto* button = editor->findChild<QPushButton*>("SletValgte");
        QCOMPARE(button->size(), QSize(405, 24));
        // The language reaches the editor too.
        const auto english = fx->shippedLines("English");
        QCOMPARE(editor->windowTitle(), QString::fromStdString(english.at(33)));
        QCOMPARE(button->text(), QString::fromStdString(english.at(34)));
    }

    void openAndCloseWithoutChangeKeepsOrderAndDuplicates() {
        form->inventory().setHiddenList({"Zip Tool", "acme editor", "Zip Tool", "Acme Editor"});
        withEditor([&](QWidget* editor) {
            QCOMPARE(shownLines(editor), QStringList({"acme editor", "Zip Tool"}));
        });
        QCOMPARE(form->inventory().hiddenList(),
                 (Lines{"Zip Tool", "acme editor", "Zip Tool", "Acme Editor"}));
    }

    void deleteWithNothingSelectedSortsAndDeduplicates() {
        form->inventory().setHiddenList({"Zip Tool", "Beta", "Zip Tool"});
        withEditor([&](QWidget* editor) {
            clickDelete(editor);
            QCOMPARE(shownLines(editor), QStringList({"Beta", "Zip Tool"}));
        });
        QCOMPARE(form->inventory().hiddenList(), (Lines{"Beta", "Zip Tool"}));
        QVERIFY(dialogs.calls.empty());
    }

    void deletedEntryReappearsWhileTheFilterIsOn() {
        QVERIFY(form->findChild<QAction*>("VisIkkeSkjulte")->isChecked());
        form->findChild<QTableView*>("ListView1")->selectRow(2);  // Zip Tool
        test::triggerAction(form.get(), "Skjul");
        form->findChild<QTableView*>("ListView1")->selectRow(0);  // Acme Editor
        test::triggerAction(form.get(), "Skjul");
        QCOMPARE(listRows(*form), QStringList({"Beta"}));

        withEditor([&](QWidget* editor) {
            auto* box = editor->findChild<QListWidget*>("ListBox1");
            QCOMPARE(shownLines(editor), QStringList({"Acme Editor", "Zip Tool"}));
            box->setCurrentRow(1);
            clickDelete(editor);
            QCOMPARE(shownLines(editor), QStringList({"Acme Editor"}));
        });
        QCOMPARE(form->inventory().hiddenList(), (Lines{"Acme Editor"}));
        QCOMPARE(listRows(*form), QStringList({"Beta", "Zip Tool"}));
        QVERIFY(form->findChild<QAction*>("VisIkkeSkjulte")->isChecked());
        const auto english = fx->shippedLines("English");
        QTRY_COMPARE(form->statusText(),
                     QString::fromStdString(formatMessage(english.at(35), {2})));
    }

    void showingAgainKeepsTheDeletionsAndThePlace() {
        // Restoring from minimised shows the window again; only the opening loads.
        form->inventory().setHiddenList({"Acme Editor", "Beta"});
        withEditor([&](QWidget* editor) {
            editor->findChild<QListWidget*>("ListBox1")->setCurrentRow(0);
            clickDelete(editor);
            const QPoint place = editor->pos() + QPoint(7, 9);
            editor->move(place);
            QShowEvent again;
            QApplication::sendEvent(editor, &again);
            QCOMPARE(shownLines(editor), QStringList({"Beta"}));
            QCOMPARE(editor->pos(), place);
        });
        QCOMPARE(form->inventory().hiddenList(), (Lines{"Beta"}));
        // The next opening loads afresh.
        withEditor([&](QWidget* editor) { QCOMPARE(shownLines(editor), QStringList({"Beta"})); });
    }

    void deletingLeavesNothingSelected() {
        // A second press right after a deletion must not take the next line too.
        form->inventory().setHiddenList({"Acme Editor", "Beta", "Zip Tool"});
        withEditor([&](QWidget* editor) {
            auto* box = editor->findChild<QListWidget*>("ListBox1");
            box->setCurrentRow(0);
            clickDelete(editor);
            QVERIFY(box->selectedItems().isEmpty());
            clickDelete(editor);
            QCOMPARE(shownLines(editor), QStringList({"Beta", "Zip Tool"}));
        });
        QCOMPARE(form->inventory().hiddenList(), (Lines{"Beta", "Zip Tool"}));
    }

    void listFontFollowsTheMainList() {
        platform::FontChoice choice;
        choice.name = "DejaVu Serif";
        dialogs.fontAnswers.push_back(choice);
        test::triggerAction(form.get(), "Font");
        auto* box =
            form->findChild<QDialog*>("HiddenFilterEditor")->findChild<QListWidget*>("ListBox1");
        QCOMPARE(box->font().family(), QStringLiteral("DejaVu Serif"));
    }
};

VORNAK_QTEST_MAIN(HiddenFilterEditorTest)
#include "HiddenFilterEditorTest.moc"
