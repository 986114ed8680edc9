// The small pieces under the windows: the command dispatch, the settings'
// number rule, texts crossing into Qt, the save dialog's filter.
#include <stdexcept>

#include "QtTestMain.h"
#include "app/FontCharset.h"
#include "app/QtDialogs.h"
#include "app/QtText.h"
#include "registry/CommandDispatch.h"
#include "support/ScriptedDialogs.h"

using namespace vornak;
using vornak::test::ScriptedDialogs;

class AppHelpersTest : public QObject {
    Q_OBJECT

private slots:
    void dispatchSwallowsSilentAbortAndReportsErrors() {
        ScriptedDialogs dialogs;
        int ran = 0;
        QVERIFY(runCommand(dialogs, [&] { ++ran; }));
        QVERIFY(!runCommand(dialogs, [&] {
            ++ran;
            throw SilentAbort();
        }));
        QVERIFY(dialogs.calls.empty());
        QVERIFY(!runCommand(dialogs, [] { throw std::runtime_error("Cannot create file C:\\x"); }));
        QCOMPARE(dialogs.texts(ScriptedDialogs::Kind::Error),
                 std::vector<std::string>{"Cannot create file C:\\x"});
        QCOMPARE(ran, 2);
    }

    void wholeNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "564" << true << 564;
        QTest::newRow("negative") << "-8" << true << -8;
        QTest::newRow("plus") << "+3" << true << 3;
        QTest::newRow("leading blanks") << "  12" << true << 12;
        QTest::newRow("trailing blank") << "12 " << false << 0;
        QTest::newRow("word") << "wide" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("min") << "-2147483648" << true << INT_MIN;
        QTest::newRow("too big") << "2147483648" << false << 0;
        QTest::newRow("far too big") << "99999999999999999999999" << false << 0;
        QTest::newRow("fraction") << "1.5" << false << 0;
    }
    void wholeNumbers() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        const auto parsed = app::parseWholeNumber(text.toStdString());
        QCOMPARE(parsed.has_value(), valid);
        if (valid) QCOMPARE(*parsed, value);
    }

    void lineBreaksAndAccessKeys() {
        QCOMPARE(app::toDisplayText("A\n\rB"), QStringLiteral("A\nB"));
        QCOMPARE(app::toDisplayText("A\r\nB\rC\n\nD"), QStringLiteral("A\nB\nC\n\nD"));
        QCOMPARE(app::toDisplayText("Hjælp"), QStringLiteral("Hjælp"));
        QCOMPARE(app::labelText("S&let && mere&"), QStringLiteral("Slet & mere"));
    }

    void saveDialogFilter() {
        QCOMPARE(app::qtFileFilter("Text Filer (*.txt)|*.txt|Alle Filer (*.*)|*.*"),
                 QStringLiteral("Text Filer (*.txt);;Alle Filer (*.*)"));
        QCOMPARE(app::qtFileFilter("Text|*.txt;*.log|Odd"), QStringLiteral("Text (*.txt *.log)"));
        QCOMPARE(app::qtFileFilter(""), QString());
    }
};

VORNAK_QTEST_MAIN(AppHelpersTest)
#include "AppHelpersTest.moc"
