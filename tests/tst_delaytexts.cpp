// SPDX-License-Identifier: MIT
// What happens to every kind of delay text a user could type, pressed with Start and with ">":
// the interval the delay timer gets, or the message the user sees while the dialog stays.
//
// The texts are written as typed in the C locale. Run in another locale (CTest runs them in
// de_DE.UTF-8 too), each '.' stands for that locale's decimal separator and each ',' for its
// group separator, and every outcome must be the same: the toolkit has set the C library's locale
// from the environment by then, as it does when the program starts.

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

constexpr int Message = -1;

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

void row(const char *name, const QString &text, int interval, const char *error = "")
{
    QTest::newRow(name) << typed(text) << interval << QString::fromLatin1(error);
}

void upRow(const char *name, const QString &text, const QString &after, const char *error = "")
{
    QTest::newRow(name) << typed(text) << typed(after) << QString::fromLatin1(error);
}

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

    // Empty and blank
    row("empty", "", Message, "Type mismatch");
    row("one space", " ", Message, "Type mismatch");
    row("tab", "\t", Message, "Type mismatch");
    row("spaces around", "   7   ", 7001);
    row("tab around", "\t7\t", 7001);
    row("no-break space", "\u00A07", Message, "Type mismatch");
    row("ideographic space", "7\u3000", Message, "Type mismatch");
    // Signs
    row("plus", "+7", 7001);
    row("minus zero", "-0", 1);
    row("minus", "-1", Message, "Invalid property value");
    row("two signs", "--1", Message, "Type mismatch");
    row("sign after", "7-", Message, "Type mismatch");
    row("minus sign character", "\u22127", Message, "Type mismatch");
    // Separators
    row("decimal point", "1.5", 1501);
    row("leading point", ".25", 251);
    row("trailing point", "3.", 3001);
    row("point alone", ".", Message, "Type mismatch");
    row("group separator", "1,5", Message, "Type mismatch");
    row("thousands", "1,000", Message, "Type mismatch");
    row("two points", "1.2.3", Message, "Type mismatch");
    row("space inside", "1 5", Message, "Type mismatch");
    // Exponents
    row("exponent", "5e0", 5001);
    row("capital exponent", "5E+0", 5001);
    row("negative exponent", "5000e-3", 5001);
    row("exponent alone", "e5", Message, "Type mismatch");
    row("dangling exponent", "5e", Message, "Type mismatch");
    row("fractional exponent", "5e0.5", Message, "Type mismatch");
    // Huge
    row("largest that works", "65.534", 65535);
    row("just past the top", "65.535", Message, "Invalid property value");
    row("rounds past the top", "65.5346", Message, "Invalid property value");
    row("66", "66", Message, "Invalid property value");
    row("a day", "86400", Message, "Invalid property value");
    row("past 32 bits", "2147484", Message, "Overflow");
    row("far past 32 bits", "3000000", Message, "Overflow");
    row("past a double when scaled", "1e306", Message, "Overflow");
    row("past a double", "1e309", Message, "Overflow");
    row("thousand nines", QString(1000, QLatin1Char('9')), Message, "Overflow");
    // Tiny
    row("a microsecond", "0.000001", 1);
    row("below a double", "1e-400", 1);
    row("long zero fraction", "0." + QString(5000, QLatin1Char('0')) + "1", 1);
    // Negative
    row("rounds to 1", "-0.0004", 1);
    row("rounds to 0 (upper)", "-0.0005", Message, "Invalid property value");
    row("rounds to 0 (lower)", "-0.0015", Message, "Invalid property value");
    row("rounds to 0", "-0.001", Message, "Invalid property value");
    row("rounds to -1", "-0.0016", Message, "Invalid property value");
    row("minus a half", "-0.5", Message, "Invalid property value");
    row("large negative", "-32768", Message, "Invalid property value");
    // Not numbers
    row("word", "five", Message, "Type mismatch");
    row("unit", "5s", Message, "Type mismatch");
    row("hexadecimal", "&H10", Message, "Type mismatch");
    row("infinity", "Infinity", Message, "Type mismatch");
    row("not a number", "NaN", Message, "Type mismatch");
    // Non-ASCII
    row("full-width digit", "\uFF15", Message, "Type mismatch");
    row("Arabic-Indic digit", "\u0665", Message, "Type mismatch");
    row("superscript", "5\u00B2", Message, "Type mismatch");
    row("emoji", "\U0001F600", Message, "Type mismatch");
    row("accented letter", "\u00E9", Message, "Type mismatch");
    // Very long
    row("long leading zeros", QString(4000, QLatin1Char('0')) + "5", 5001);
    row("long garbage", QString(10000, QLatin1Char('x')), Message, "Type mismatch");
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

    upRow("blank", " ", " ", "Type mismatch");
    upRow("fraction rounds down", "4.4", "9");
    upRow("fraction rounds up", "4.6", "10");
    upRow("rounds up to 3", "2.6", "8");
    upRow("tie to even", "4.5", "9");
    upRow("exponent", "1e1", "15");
    upRow("negative", "-7.5", "-3");
    upRow("tiny", "1e-300", "5");
    upRow("lowest", "-32768.4", "-32763");
    upRow("lowest tie stays in range", "-32768.5", "-32763");
    upRow("too low", "-32768.6", "-32768.6", "Overflow");
    upRow("huge", "1e20", "1e20", "Overflow");
    upRow("non-ASCII", "\uFF15", "\uFF15", "Type mismatch");
    upRow("group separator", "5,5", "5,5", "Type mismatch");
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
