// The About window as the program creates it: its layout, its texts in both
// languages, and opening it from the Help menu.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "QtTestMain.h"
#include "WindowTestSupport.h"
#include "about/BnVertScrollText.h"
#include "about/OmForm.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::about::TAlign;
using vornak::about::TBnVertScrollText;

namespace {

QStringList scrollLines(const std::string& line42) {
    return QString::fromStdString(line42).split(QStringLiteral("\\n"));
}

}  // namespace

class AboutWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ProgramFixture> fx;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<app::TForm1> form;
    about::TOmForm* about = nullptr;

  private slots:
    void init() {
        fx = std::make_unique<test::ProgramFixture>();
        form = std::make_unique<app::TForm1>(dialogs);
        app::createProgramWindows(*form);
        test::startUp(*form);
        about = form->findChild<about::TOmForm*>("OmForm");
        QVERIFY(about);
    }
    void cleanup() {
        form.reset();
        fx.reset();
    }

    void layoutAndEnglishTexts() {
        QVERIFY(about->isWindow());
        QCOMPARE(about->size(), QSize(400, 328));
        QVERIFY(!(about->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(about->windowFlags() & Qt::WindowMinimizeButtonHint));
        const std::pair<const char*, QRect> controls[] = {
            {"Shape1", {0, 0, 400, 245}},  {"BnVertScrollText1", {1, 1, 398, 243}},
            {"Label1", {8, 248, 385, 16}}, {"Label2", {8, 264, 385, 16}},
            {"Label3", {7, 280, 385, 16}}, {"Button1", {4, 300, 393, 25}}};
        for (const auto& [name, geometry] : controls) {
            auto* control = about->findChild<QWidget*>(name);
            QVERIFY2(control, name);
            QCOMPARE(control->geometry(), geometry);
        }
        QCOMPARE(about->findChild<QLabel*>("Label1")->text(), QStringLiteral("Thanks To:"));
        QVERIFY(about->findChild<QLabel*>("Label1")->font().bold());
        QVERIFY(!about->findChild<QLabel*>("Label2")->text().isEmpty());
        QVERIFY(!about->findChild<QLabel*>("Label3")->text().isEmpty());

        auto* text = about->scrollText();
        QCOMPARE(text->font().pixelSize(), 9);
        QVERIFY(!text->parentFont());
        QCOMPARE(text->alignment(), TAlign::alCenter);
        QVERIFY(text->repeatScroll() && text->enabled() && text->stretch());
        QVERIFY(text->timerRunning());

        const auto english = fx->shippedLines("English");
        QCOMPARE(about->windowTitle(), QString::fromStdString(english.at(41)));
        QCOMPARE(text->lines(), scrollLines(english.at(42)));
        QCOMPARE(about->findChild<QPushButton*>("Button1")->text(),
                 QString::fromStdString(english.at(43)));
    }

    void languageChangeReplacesTheTextAndKeepsTheOffset() {
        auto* text = about->scrollText();
        text->setEnabled(false);  // no tick between the two looks
        const int offset = text->scrollOffset();
        form->ChangeLang("Danish");
        const auto danish = fx->shippedLines("Danish");
        QCOMPARE(text->lines(), scrollLines(danish.at(42)));
        QCOMPARE(text->textHeight(), text->lines().size() * text->lineHeight());
        QCOMPARE(text->scrollOffset(), offset);
        QCOMPARE(about->windowTitle(), QString::fromStdString(danish.at(41)));
    }

    void openedModallyFromTheMenuAndClosedByItsButton() {
        bool shown = false;
        QTimer::singleShot(0, form.get(), [&] {
            QWidget* modal = QApplication::activeModalWidget();
            QVERIFY(modal);
            QCOMPARE(modal->objectName(), QStringLiteral("OmForm"));
            // The text moves while the window is open.
            const int offset = about->scrollText()->scrollOffset();
            QTRY_VERIFY(about->scrollText()->scrollOffset() != offset);
            shown = true;
            QTest::mouseClick(modal->findChild<QPushButton*>("Button1"), Qt::LeftButton);
        });
        test::triggerAction(form.get(), "Om");
        QVERIFY(shown);
        QVERIFY(!about->isVisible());
        QVERIFY(!QApplication::activeModalWidget());
    }
};

VORNAK_QTEST_MAIN(AboutWindowTest)
#include "AboutWindowTest.moc"
