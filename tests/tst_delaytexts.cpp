// SPDX-License-Identifier: MIT
// What happens to every kind of delay text a user could type, pressed with Start and with ">":
// the interval the delay timer gets, or the message the user sees while the dialog stays.
//
// The texts are written as typed in the C locale. Run in another locale (CTest runs them in
// de_DE.UTF-8 too), each '.' stands for that locale's decimal separator and each ',' for its
// group separator, and every outcome must be the same: the toolkit has set the C library's locale
// from the environment by then, as it does when the program starts.

#include "DelayTextCases.h"
#include "Harness.h"
#include "Widgets.h"

#include <QLineEdit>
#include <QLocale>

#include <clocale>

using namespace quill;
using namespace quill::test;

class TestDelayTexts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup()
    {
        flushDeletes();
        QCOMPARE(QApplication::topLevelWidgets().size(), 0);
    }
    void start_data();
    void start();
    void up_data();
    void up();
};

namespace {

// A row's text as typed in the locale the test runs in.
QString typed(const QString &text)
{
    const QLocale locale = QLocale::system();
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('.'))
            out += locale.decimalPoint();
        else if (c == QLatin1Char(','))
            out += locale.groupSeparator();
        else
            out += c;
    }
    return out;
}

QString typed(const std::string &text) { return typed(QString::fromStdString(text)); }

} // namespace

void TestDelayTexts::initTestCase()
{
    prepareTestApplication();
    // A locale the C library does not have leaves it in "C" while the toolkit still reads the
    // locale's name: the comma rows would then pass without testing anything.
    const QString point = QLocale::system().decimalPoint();
    QVERIFY2(QString::fromLocal8Bit(std::localeconv()->decimal_point) == point,
             qPrintable(QStringLiteral("the C library's locale (%1) does not use the decimal "
                                       "separator \"%2\" of %3: is the locale generated?")
                            .arg(QString::fromLocal8Bit(std::setlocale(LC_NUMERIC, nullptr)), point,
                                 QLocale::system().name())));
    qInfo("Delay texts typed in %s, decimal separator \"%s\"",
          qPrintable(QLocale::system().name()), qPrintable(point));
}

void TestDelayTexts::start_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("interval"); // Message when the user is told instead
    QTest::addColumn<QString>("error");

    for (const auto &row : delayStartCases())
        QTest::newRow(row.name) << typed(row.text) << row.interval << QString::fromLatin1(row.error);
}

void TestDelayTexts::start()
{
    QFETCH(QString, text);
    QFETCH(int, interval);
    QFETCH(QString, error);

    Program program;
    QVERIFY(program.start());
    auto *edit = program.control<QLineEdit>("Form2", "Text1");
    edit->setText(text);
    click(program.control("Form2", "Command1"));

    auto *timer = program.window("Form2")->findChild<TimerObject *>("Timer1");
    if (interval == Message) {
        QCOMPARE(program.errors.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(program.errors.front()), error);
        QCOMPARE(program.visible(), QStringList{"Form2"});
        QVERIFY(!timer->isEnabled());
        QCOMPARE(timer->interval(), 0);
        QCOMPARE(edit->text(), text);
        // ...and a usable delay afterwards still starts it.
        edit->setText("1");
        click(program.control("Form2", "Command1"));
        QCOMPARE(program.visible(), QStringList{});
        QCOMPARE(timer->interval(), 1001);
    } else {
        QVERIFY(program.errors.empty());
        QCOMPARE(program.visible(), QStringList{});
        QVERIFY(timer->isEnabled());
        QCOMPARE(timer->interval(), interval);
    }
    QVERIFY(!program.ended());
}

void TestDelayTexts::up_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("error");

    for (const auto &row : delayUpCases())
        QTest::newRow(row.name) << typed(row.text) << typed(row.after) << QString::fromLatin1(row.error);
}

void TestDelayTexts::up()
{
    QFETCH(QString, text);
    QFETCH(QString, after);
    QFETCH(QString, error);

    Program program;
    QVERIFY(program.start());
    auto *edit = program.control<QLineEdit>("Form2", "Text1");
    edit->setText(text);
    click(program.control("Form2", "Command3"));
    QCOMPARE(edit->text(), after);
    if (error.isEmpty())
        QVERIFY(program.errors.empty());
    else
        QCOMPARE(QString::fromStdString(program.errors.at(0)), error);
    QCOMPARE(program.visible(), QStringList{"Form2"});
    QVERIFY(!program.ended());
}

QTEST_MAIN(TestDelayTexts)
#include "tst_delaytexts.moc"
