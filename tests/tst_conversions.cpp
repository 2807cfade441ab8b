// SPDX-License-Identifier: MIT
// Which texts the program takes for numbers, and how it rounds them.

#include "ConversionCases.h"
#include "Conversions.h"
#include "RuntimeError.h"
#include "TimerSchedule.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace quill;
using namespace quill::test;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(quill::ErrorCode)

namespace {

QString toQString(const std::string &text) { return QString::fromStdString(text); }
QString toQString(char32_t c) { return QString::fromUcs4(&c, 1); }

} // namespace

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
    void checkedArithmetic_data();
    void checkedArithmetic();
    void nextWait_data();
    void nextWait();
};

void TestConversions::textToDouble_accepted_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<double>("expected");

    for (const auto &row : textToDoubleAccepted())
        QTest::newRow(row.name) << toQString(row.text) << toQString(row.separator) << row.expected;
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

    for (const auto &row : textToDoubleRejected())
        QTest::newRow(row.name) << toQString(row.text) << toQString(row.separator) << row.error;
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

    for (const auto &row : textToIntegerCases())
        QTest::newRow(row.name) << toQString(row.text) << row.expected << row.error;
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

    for (const auto &row : doubleToLongCases())
        QTest::newRow(row.name) << row.value << qint64(row.expected) << row.overflow;
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

void TestConversions::checkedArithmetic_data()
{
    QTest::addColumn<char>("operation");
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("expected");
    QTest::addColumn<bool>("overflow");

    for (const auto &row : checkedArithmeticCases())
        QTest::newRow(row.name) << row.operation << row.a << row.b << row.expected << row.overflow;
}

void TestConversions::checkedArithmetic()
{
    QFETCH(char, operation);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(double, expected);
    QFETCH(bool, overflow);
    auto compute = [&] { return operation == '*' ? checkedMultiply(a, b) : checkedAdd(a, b); };
    if (overflow)
        QVERIFY_THROWS_EXCEPTION(RuntimeError, compute());
    else
        QCOMPARE(compute(), expected);
}

void TestConversions::nextWait_data()
{
    QTest::addColumn<qint64>("remainingNs");
    QTest::addColumn<qint64>("expectedMs");

    for (const auto &row : nextWaitCases())
        QTest::newRow(row.name) << qint64(row.remainingNs) << qint64(row.expectedMs);
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
