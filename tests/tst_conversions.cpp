// SPDX-License-Identifier: MIT
// Which texts the program takes for numbers, and how it rounds them.

#include "Conversions.h"
#include "RuntimeError.h"
#include "TimerSchedule.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace quill;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(quill::ErrorCode)

class TestConversions : public QObject {
    Q_OBJECT

private slots:
    void textToDouble_accepted_data();
    void textToDouble_accepted();
    void textToDouble_rejected_data();
    void textToDouble_rejected();
    void textToInteger_data();
    void textToInteger();
    void doubleToLong_data();
    void doubleToLong();
    void checkedArithmetic();
    void nextWait_data();
    void nextWait();
};

void TestConversions::textToDouble_accepted_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<double>("expected");

    QTest::newRow("whole") << "5" << "." << 5.0;
    QTest::newRow("fraction") << "2.5" << "." << 2.5;
    QTest::newRow("leading separator") << ".5" << "." << 0.5;
    QTest::newRow("trailing separator") << "5." << "." << 5.0;
    QTest::newRow("plus sign") << "+7" << "." << 7.0;
    QTest::newRow("minus sign") << "-0.25" << "." << -0.25;
    QTest::newRow("surrounding blanks") << "  12 \t" << "." << 12.0;
    QTest::newRow("exponent") << "1e3" << "." << 1000.0;
    QTest::newRow("capital exponent with sign") << "2.5E-1" << "." << 0.25;
    QTest::newRow("leading zeros") << "007" << "." << 7.0;
    QTest::newRow("comma locale") << "2,5" << "," << 2.5;
    QTest::newRow("non-ASCII separator") << "2\u066B5" << "\u066B" << 2.5;
    QTest::newRow("too small becomes zero") << "1e-400" << "." << 0.0;
    QTest::newRow("too small, positive exponent") << "0." + QString(400, QLatin1Char('0')) + "1e10"
                                                  << "." << 0.0;
    QTest::newRow("too small, exponent past 64 bits") << "-9e-99999999999999999999" << "." << 0.0;
    QTest::newRow("largest double") << "1,7976931348623157e308" << "," << 1.7976931348623157e308;
    QTest::newRow("many digits") << QString(300, QLatin1Char('0')) + "1" << "." << 1.0;
}

void TestConversions::textToDouble_accepted()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(double, expected);
    const double value = quill::textToDouble(text.toStdString(), separator.toUcs4().at(0));
    QCOMPARE(value, expected);
}

void TestConversions::textToDouble_rejected_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<quill::ErrorCode>("error");

    const auto mismatch = ErrorCode::TypeMismatch;
    QTest::newRow("empty") << "" << "." << mismatch;
    QTest::newRow("blanks only") << "   " << "." << mismatch;
    QTest::newRow("word") << "abc" << "." << mismatch;
    QTest::newRow("trailing word") << "5 seconds" << "." << mismatch;
    QTest::newRow("sign alone") << "-" << "." << mismatch;
    QTest::newRow("separator alone") << "." << "." << mismatch;
    QTest::newRow("two signs") << "+-5" << "." << mismatch;
    QTest::newRow("two separators") << "1.2.3" << "." << mismatch;
    QTest::newRow("inner blank") << "1 000" << "." << mismatch;
    QTest::newRow("thousands separator") << "1,000" << "." << mismatch;
    QTest::newRow("other locale's separator") << "2.5" << "," << mismatch;
    QTest::newRow("exponent without digits") << "1e" << "." << mismatch;
    QTest::newRow("exponent sign only") << "1e+" << "." << mismatch;
    QTest::newRow("hexadecimal") << "&h10" << "." << mismatch;
    QTest::newRow("C hexadecimal") << "0x10" << "." << mismatch;
    QTest::newRow("infinity word") << "inf" << "." << mismatch;
    QTest::newRow("not a number word") << "nan" << "." << mismatch;
    QTest::newRow("full-width digit") << "\uFF15" << "." << mismatch;
    QTest::newRow("no-break space") << "\u00A05" << "." << mismatch;
    QTest::newRow("embedded NUL") << QString::fromUtf8("5\0", 2) << "." << mismatch;
    QTest::newRow("too large") << "1e400" << "." << ErrorCode::Overflow;
    QTest::newRow("too large negative") << "-1e400" << "." << ErrorCode::Overflow;
    QTest::newRow("just past the largest") << "1,7976931348623159e308" << ","
                                           << ErrorCode::Overflow;
    QTest::newRow("too large, negative exponent") << "1" + QString(400, QLatin1Char('0')) + "e-10"
                                                  << "." << ErrorCode::Overflow;
    QTest::newRow("too large, exponent past 64 bits") << "1e99999999999999999999" << "."
                                                      << ErrorCode::Overflow;
}

void TestConversions::textToDouble_rejected()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(quill::ErrorCode, error);
    const QByteArray utf8 = text.toUtf8();
    try {
        quill::textToDouble(std::string_view(utf8.constData(), utf8.size()),
                            separator.toUcs4().at(0));
        QFAIL("the text was taken for a number");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.code(), error);
    }
}

void TestConversions::textToInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // or the error number when negative
    QTest::addColumn<int>("error");

    QTest::newRow("whole") << "57" << 57 << 0;
    QTest::newRow("tie down to even") << "2.5" << 2 << 0;
    QTest::newRow("tie up to even") << "3.5" << 4 << 0;
    QTest::newRow("negative tie") << "-2.5" << -2 << 0;
    QTest::newRow("below half") << "7.49" << 7 << 0;
    QTest::newRow("above half") << "7.51" << 8 << 0;
    QTest::newRow("lowest") << "-32768" << -32768 << 0;
    QTest::newRow("highest") << "32767" << 32767 << 0;
    QTest::newRow("rounds to highest") << "32767.4" << 32767 << 0;
    QTest::newRow("rounds past highest") << "32767.5" << 0 << int(ErrorCode::Overflow);
    QTest::newRow("past lowest") << "-32769" << 0 << int(ErrorCode::Overflow);
    QTest::newRow("huge") << "1e300" << 0 << int(ErrorCode::Overflow);
    QTest::newRow("not a number") << "five" << 0 << int(ErrorCode::TypeMismatch);
}

void TestConversions::textToInteger()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QFETCH(int, error);
    try {
        const int value = quill::textToInteger(text.toStdString());
        QCOMPARE(error, 0);
        QCOMPARE(value, expected);
    } catch (const RuntimeError &e) {
        QCOMPARE(e.number(), error);
    }
}

void TestConversions::doubleToLong_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("expected"); // -1 with overflow set
    QTest::addColumn<bool>("overflow");

    QTest::newRow("tie to even down") << 2500.5 << qint64(2500) << false;
    QTest::newRow("tie to even up") << 2501.5 << qint64(2502) << false;
    QTest::newRow("negative half to zero") << -0.5 << qint64(0) << false;
    QTest::newRow("minus one and a half") << -1.5 << qint64(-2) << false;
    QTest::newRow("largest") << 2147483647.0 << qint64(2147483647) << false;
    QTest::newRow("smallest") << -2147483648.0 << qint64(-2147483648LL) << false;
    QTest::newRow("past largest") << 2147483647.5 << qint64(-1) << true;
    QTest::newRow("past smallest") << -2147483649.0 << qint64(-1) << true;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << qint64(-1) << true;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << qint64(-1) << true;
}

void TestConversions::doubleToLong()
{
    QFETCH(double, value);
    QFETCH(qint64, expected);
    QFETCH(bool, overflow);
    try {
        const qint64 result = quill::doubleToLong(value);
        QVERIFY(!overflow);
        QCOMPARE(result, expected);
    } catch (const RuntimeError &e) {
        QVERIFY(overflow);
        QCOMPARE(e.code(), ErrorCode::Overflow);
    }
}

void TestConversions::checkedArithmetic()
{
    QCOMPARE(checkedAdd(checkedMultiply(2.5, 1000), 1), 2501.0);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, checkedMultiply(1e308, 1000));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, checkedAdd(std::numeric_limits<double>::max(), 1e300));
    QVERIFY_THROWS_EXCEPTION(RuntimeError,
                             checkedMultiply(std::numeric_limits<double>::infinity(), 0));
}

void TestConversions::nextWait_data()
{
    QTest::addColumn<qint64>("remainingNs");
    QTest::addColumn<qint64>("expectedMs");

    // Waits stop short of the deadline by 0.2% and a millisecond; the last two milliseconds or
    // less are slept on the spot (a wait of zero).
    QTest::newRow("five seconds") << qint64(5'000'000'000) << qint64(4989);
    QTest::newRow("a minute") << qint64(60'000'000'000) << qint64(59879);
    QTest::newRow("65.535 s") << qint64(65'535'000'000) << qint64(65402);
    QTest::newRow("left after first wait") << qint64(10'500'000) << qint64(9);
    QTest::newRow("just over the sleep") << qint64(2'500'000) << qint64(1);
    QTest::newRow("two ms") << qint64(2'000'000) << qint64(0);
    QTest::newRow("a few microseconds") << qint64(3'000) << qint64(0);
    QTest::newRow("due") << qint64(0) << qint64(0);
    QTest::newRow("overdue") << qint64(-4'000'000) << qint64(0);
}

void TestConversions::nextWait()
{
    QFETCH(qint64, remainingNs);
    QFETCH(qint64, expectedMs);
    const auto wait = quill::nextWait(std::chrono::nanoseconds(remainingNs));
    QCOMPARE(qint64(wait.count()), expectedMs);
    // A wait late by the kernel's 0.1% still ends before the deadline, with time left to sleep.
    if (wait.count() > 0)
        QVERIFY(std::chrono::nanoseconds(wait) * 1001 / 1000 < std::chrono::nanoseconds(remainingNs));
}

QTEST_APPLESS_MAIN(TestConversions)
#include "tst_conversions.moc"
