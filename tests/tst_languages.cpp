// SPDX-License-Identifier: MIT
// The program in the user's language: every text it shows comes through the catalog, every
// language's texts stay whole inside their controls at every scale and are drawn with real glyphs,
// and the language follows the user's settings however broken they, or the catalogs, are. (The
// windows mirrored in Arabic are read off the screen, on both builds: language_ar in e2e.) The catalogs are the build's own (locale/ beside the
// program), the pseudo-language's included.

#include "Catalog.h"
#include "CompiledCatalog.h"
#include "ErrorReport.h"
#include "Harness.h"
#include "Layout.h"
#include "Look.h"
#include "Startup.h"
#include "Widgets.h"
#include "frmAbout1.h"
#include "sysinfo/LinuxServices.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGlyphRun>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QTimer>

#include <cstring>
#include <cwchar>
#include <optional>

using namespace quill;
using namespace quill::test;

namespace {

const QString Catalogs = QStringLiteral(QUILLENDOR_LOCALE_DIR);
const char *const Windows[] = {"Form1", "Form2", "Form3", "frmAbout1"};
constexpr double Dpis[] = {96, 120, 144, 168, 192};

QStringList languages()
{
    return QString::fromLatin1(QUILLENDOR_LANGUAGES).split(u',', Qt::SkipEmptyParts);
}

// The catalogs as the user's settings and `folder` give them; the settings not named stay as the
// test runs (LC_ALL=C.UTF-8).
void speak(const char *language, const QString &folder = Catalogs)
{
    if (language)
        qputenv("LANGUAGE", language);
    else
        qunsetenv("LANGUAGE");
    startCatalogs(folder.toStdString());
}

std::optional<CompiledCatalog> catalogOf(const QString &language, const QString &folder = Catalogs)
{
    QFile file(folder + "/" + language + "/LC_MESSAGES/quillendor.mo");
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return CompiledCatalog::read(file.readAll().toStdString(), language.toStdString());
}

// Every text a window shows or tells a screen reader, its own and its controls'.
QStringList textsOf(QWidget *window)
{
    QStringList texts{window->windowTitle(), window->accessibleName(),
                      window->accessibleDescription()};
    for (QWidget *w : window->findChildren<QWidget *>()) {
        texts << w->accessibleName() << w->accessibleDescription();
        if (auto *label = qobject_cast<LabelWidget *>(w))
            texts << label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            texts << button->text();
        else if (auto *edit = qobject_cast<QLineEdit *>(w))
            texts << edit->text();
    }
    texts.removeAll(QString());
    return texts;
}

// What is left of a text once every part the pseudo-language brackets, and the names and signs
// that are never translated, are taken out: nothing with a letter in it, when the whole text came
// through the catalog.
QString notThroughTheCatalog(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("\\[[^\\]]*\\]")));
    for (const char *kept : {"Quillendor", "Brindlewick", "Form1", "Form3"})
        text.remove(QString::fromLatin1(kept));
    return text.contains(QRegularExpression(QStringLiteral("\\p{L}"))) ? text : QString();
}

// A compiled catalog as msgfmt writes one: the texts sorted, the header first.
QByteArray moFile(std::vector<std::pair<std::string, std::string>> texts,
                  const std::string &charset = "UTF-8")
{
    texts.emplace_back("", "Content-Type: text/plain; charset=" + charset + "\n");
    std::sort(texts.begin(), texts.end());
    const auto n = static_cast<quint32>(texts.size());
    QByteArray tables, strings;
    quint32 at = 28 + 16 * n;
    QByteArray originals, translations;
    auto entry = [&at, &strings](QByteArray &table, const std::string &s) {
        const quint32 words[] = {static_cast<quint32>(s.size()), at};
        table.append(reinterpret_cast<const char *>(words), sizeof words);
        strings.append(s.data(), static_cast<qsizetype>(s.size())).append('\0');
        at += static_cast<quint32>(s.size()) + 1;
    };
    for (const auto &[english, translation] : texts)
        entry(originals, english);
    for (const auto &[english, translation] : texts)
        entry(translations, translation);
    const quint32 header[] = {0x950412de, 0, n, 28, 28 + 8 * n, 0, 28 + 16 * n};
    return QByteArray(reinterpret_cast<const char *>(header), sizeof header) + originals
           + translations + strings;
}

QByteArray builtCatalog(const char *language)
{
    QFile file(Catalogs + "/" + language + "/LC_MESSAGES/quillendor.mo");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The answer of the next message box, and its text.
void answerNextMessage(QString &shown)
{
    QTimer::singleShot(0, [&shown] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
}

} // namespace

class TestLanguages : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void everyTextThroughTheCatalog();
    void textsFitEveryScale_data();
    void textsFitEveryScale();
    void everyCharacterDrawn_data();
    void everyCharacterDrawn();
    void languageChosen_data();
    void languageChosen();
    void helpFitsATerminal_data();
    void helpFitsATerminal();
};

void TestLanguages::initTestCase()
{
    QVERIFY2(QFileInfo(Catalogs + "/qps/LC_MESSAGES/quillendor.mo").isFile(),
             "the build's catalogs are missing");
    prepareTestApplication();
}

void TestLanguages::cleanup()
{
    for (const char *name : {"LC_MESSAGES", "LANG"})
        qunsetenv(name);
    qputenv("LC_ALL", "C.UTF-8");
    speak(nullptr);
    QApplication::setLayoutDirection(Qt::LeftToRight);
    flushDeletes();
}

// In the pseudo-language every text is bracketed: one that is not did not come through the
// catalog. Every window on every road, the messages, and what a screen reader is told.
void TestLanguages::everyTextThroughTheCatalog()
{
    speak("qps");
    QStringList texts;
    {
        Program program;
        QVERIFY(program.start());
        texts << textsOf(program.window("Form2"));
        // A delay it cannot use: the error report's message box, as the user sees it.
        setErrorPresenter({});
        program.control<QLineEdit>("Form2", "Text1")->setText("abc");
        QString message;
        answerNextMessage(message);
        click(program.control("Form2", "Command1"));
        QVERIFY(!message.isEmpty());
        texts << message;
        program.control<QLineEdit>("Form2", "Text1")->setText("1");
        click(program.control("Form2", "Command1"));
        program.window("Form2")->findChild<TimerObject *>("Timer1")->fire();
        settle();
        texts << textsOf(program.window("Form1"));
        click(program.control("Form1", "Label1"));
        settle();
        texts << textsOf(program.window("frmAbout1"));
        bool toolInstalled = false;
        for (const std::string &tool : sysinfo::LinuxServices::defaultTools())
            toolInstalled = toolInstalled || QFileInfo(QString::fromStdString(tool)).isExecutable();
        if (!toolInstalled) {
            QString unavailable;
            answerNextMessage(unavailable);
            dynamic_cast<forms::frmAbout1 &>(program.registry.window("frmAbout1")).StartSysInfo();
            texts << unavailable;
        }
        click(program.control("frmAbout1", "cmdOK"));
    }
    {
        Program program;
        QVERIFY(program.start());
        click(program.control("Form2", "Check2"));
        click(program.control("Form2", "Command1"));
        settle();
        texts << textsOf(program.window("Form3"));
        program.window("Form3")->findChild<TimerObject *>("Timer1")->fire();
        settle();
        click(program.control("frmAbout1", "cmdOK"));
    }
    QStringList untranslated;
    for (const QString &text : texts)
        if (const QString left = notThroughTheCatalog(text); !left.isEmpty())
            untranslated << text;
    QVERIFY2(untranslated.isEmpty(), qPrintable("not through the catalog: " + untranslated.join(" | ")));
    QVERIFY(texts.size() > 30);
}

void TestLanguages::textsFitEveryScale_data()
{
    QTest::addColumn<QString>("language");
    // Labels of one line whose box is shorter than a line of the script's fallback font, at the
    // program's sizes: the letters fit across, the line does not fit down. Only these may make
    // the window's fonts smaller than English's.
    QTest::addColumn<QStringList>("tooShortForTheScript");
    const QStringList cjk{"Form2.Label3", "Form2.Label6", "frmAbout1.lblVersion"};
    for (const QString &language : languages())
        QTest::newRow(qPrintable(language))
            << language
            << (QStringList{"ja", "ko", "zh_CN", "zh_TW"}.contains(language) ? cjk : QStringList{});
}

// Every text of the language inside its control at the font scale English has at that DPI; where
// one is not, the test says by how much. The runtime's own scale for the language never goes
// below English's but for the named labels.
void TestLanguages::textsFitEveryScale()
{
    QFETCH(QString, language);
    QFETCH(QStringList, tooShortForTheScript);
    QStringList problems;
    for (const char *window : Windows) {
        speak(nullptr);
        Program english;
        const WindowDesc &englishDesc = english.registry.window(window).description();
        speak(language.toLatin1());
        Program translated;
        const WindowDesc &d = translated.registry.window(window).description();
        for (const double dpi : Dpis) {
            const double scale = fontScale(englishDesc, dpi, backend());
            bool named = false;
            for (const ControlDesc &c : d.controls) {
                const std::optional<PixelSize> over = overflow(c, scale, dpi, backend());
                if (!over)
                    continue;
                const QString name = QString::fromLatin1(window) + "." + toQString(c.name);
                if (tooShortForTheScript.contains(name) && over->width == 0) {
                    named = true;
                    continue;
                }
                problems << QStringLiteral("%1 at %2 dpi: \"%3\" %4 px too wide, %5 px too high")
                                .arg(name)
                                .arg(dpi)
                                .arg(toQString(c.caption))
                                .arg(over->width)
                                .arg(over->height);
            }
            const double own = fontScale(d, dpi, backend());
            if (own < scale && !named)
                problems << QStringLiteral("%1 at %2 dpi: fonts at %3 of their size, English's at %4")
                                .arg(window)
                                .arg(dpi)
                                .arg(own)
                                .arg(scale);
        }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(language + ": " + problems.join("; ")));
}

void TestLanguages::everyCharacterDrawn_data()
{
    QTest::addColumn<QString>("language");
    for (const QString &language : languages())
        QTest::newRow(qPrintable(language)) << language;
}

// Every character of every text, in its control's font, has a glyph in the font Qt draws it with,
// the fallback fonts of other scripts included: glyph 0 is the font's box for a missing one.
void TestLanguages::everyCharacterDrawn()
{
    QFETCH(QString, language);
    speak(language.toLatin1());
    Program program;
    QStringList missing;
    int drawn = 0;
    for (const char *window : Windows) {
        for (const ControlDesc &c : program.registry.window(window).description().controls) {
            if (!showsCaption(c) || c.caption.empty())
                continue;
            QTextLayout layout(toQString(c.caption), toFont(c.font.value_or(DefaultFont)));
            layout.beginLayout();
            while (layout.createLine().isValid()) {
            }
            layout.endLayout();
            for (const QGlyphRun &run : layout.glyphRuns()) {
                drawn += static_cast<int>(run.glyphIndexes().size());
                if (run.glyphIndexes().contains(0))
                    missing << QStringLiteral("%1.%2 in %3").arg(window, toQString(c.name),
                                                                 run.rawFont().familyName());
            }
        }
    }
    QVERIFY2(missing.isEmpty(), qPrintable("glyphs missing: " + missing.join(", ")));
    QVERIFY(drawn > 100);
}

void TestLanguages::languageChosen_data()
{
    QTest::addColumn<QByteArrayList>("settings"); // NAME=VALUE; LC_ALL=C.UTF-8 unless named
    QTest::addColumn<QString>("catalogs");         // the build's, or one with a damaged catalog
    QTest::addColumn<QString>("expected");         // the language spoken; empty for English

    const QByteArrayList noAll{"LC_ALL="};
    QTest::newRow("LANGUAGE's first language with a catalog")
        << QByteArrayList{"LANGUAGE=tlh:sv:de"} << "built" << "sv";
    QTest::newRow("a region with a catalog of its own") << QByteArrayList{"LANGUAGE=pt_BR:de"}
                                                         << "built" << "pt_BR";
    QTest::newRow("a region without one: the language") << QByteArrayList{"LANGUAGE=de_AT.UTF-8"}
                                                         << "built" << "de";
    QTest::newRow("Chinese as written in Taiwan") << QByteArrayList{"LANGUAGE=zh_TW"} << "built"
                                                  << "zh_TW";
    QTest::newRow("the C locale is English whatever LANGUAGE says")
        << QByteArrayList{"LC_ALL=C", "LANGUAGE=de"} << "built" << "";
    QTest::newRow("POSIX too") << QByteArrayList{"LC_ALL=POSIX", "LANGUAGE=de"} << "built" << "";
    QTest::newRow("LC_ALL over LANG") << QByteArrayList{"LC_ALL=de_DE.UTF-8", "LANG=C.UTF-8"}
                                      << "built" << "de";
    QTest::newRow("LC_MESSAGES over LANG")
        << (noAll + QByteArrayList{"LC_MESSAGES=de_DE.UTF-8", "LANG=C.UTF-8"}) << "built" << "de";
    QTest::newRow("LANG alone") << (noAll + QByteArrayList{"LANG=de_DE.UTF-8"}) << "built" << "de";
    QTest::newRow("LANG empty") << (noAll + QByteArrayList{"LANG="}) << "built" << "";
    QTest::newRow("LANG absurd") << (noAll + QByteArrayList{"LANG=../../../etc/passwd"}) << "built"
                                 << "";
    QTest::newRow("LANG of no locale on this system")
        << (noAll + QByteArrayList{"LANG=xx_YY.ISO-8859-42@wrong", "LANGUAGE=de"}) << "built" << "";
    QTest::newRow("LANGUAGE of no language") << QByteArrayList{"LANGUAGE=xx:yy_ZZ:tlh"} << "built"
                                             << "";
    QTest::newRow("LANGUAGE naming folders") << QByteArrayList{"LANGUAGE=..:../../de:/tmp:.:sv"}
                                             << "built" << "sv";
    QTest::newRow("LANGUAGE of 10,000 colons and letters")
        << QByteArrayList{"LANGUAGE=" + QByteArray(5000, ':') + QByteArray(5000, 'x') + ":de"}
        << "built" << "de";
    QTest::newRow("a damaged catalog: the next language") << QByteArrayList{"LANGUAGE=de:sv"}
                                                          << "de damaged" << "sv";
    QTest::newRow("a catalog cut short") << QByteArrayList{"LANGUAGE=de"} << "de cut short" << "";
    QTest::newRow("a file that is no catalog") << QByteArrayList{"LANGUAGE=de"} << "de not a catalog"
                                               << "";
    QTest::newRow("another program's catalog") << QByteArrayList{"LANGUAGE=de"}
                                               << "de of another program" << "";
    QTest::newRow("a catalog in another character set") << QByteArrayList{"LANGUAGE=de:sv"}
                                                        << "de in Latin-1" << "sv";
    QTest::newRow("a translation whose placeholder is lost") << QByteArrayList{"LANGUAGE=de"}
                                                             << "de placeholder lost" << "de";
}

void TestLanguages::languageChosen()
{
    QFETCH(QByteArrayList, settings);
    QFETCH(QString, catalogs);
    QFETCH(QString, expected);

    QString folder = Catalogs;
    QTemporaryDir made;
    if (catalogs != "built") {
        const QString language = catalogs.section(' ', 0, 0);
        const QString damage = catalogs.section(' ', 1);
        QByteArray bytes = builtCatalog(language.toLatin1());
        if (damage == "damaged") {
            // The table of English texts said to lie far past the end of the file.
            const quint32 far = 0x7ffffff0;
            std::memcpy(bytes.data() + 12, &far, 4);
        } else if (damage == "cut short") {
            bytes.truncate(bytes.size() * 2 / 3);
        } else if (damage == "not a catalog") {
            bytes = QByteArray("#!/bin/sh\necho hello\n").repeated(20);
        } else if (damage == "of another program") {
            bytes = moFile({{"Open", "\xc3\x96" "ffnen"}, {"Save", "Speichern"}});
        } else if (damage == "in Latin-1") {
            bytes = moFile({{"Cancel", "Abbrechen \xe9"}}, "ISO-8859-1");
        } else if (damage == "placeholder lost") {
            bytes = moFile({{"Cancel", "Abbrechen"}, {"Run-time error '%s':", "Laufzeitfehler"}});
        }
        folder = made.path();
        for (const char *other : {"sv", "de"}) {
            QVERIFY(QDir().mkpath(folder + "/" + other + "/LC_MESSAGES"));
            QFile file(folder + "/" + other + "/LC_MESSAGES/quillendor.mo");
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(other == language ? bytes : builtCatalog(other));
        }
    }
    qputenv("LC_ALL", "C.UTF-8");
    for (const QByteArray &setting : settings) {
        const QByteArray name = setting.left(setting.indexOf('='));
        const QByteArray value = setting.mid(setting.indexOf('=') + 1);
        if (name == "LC_ALL" && value.isEmpty())
            qunsetenv("LC_ALL");
        else
            qputenv(name, value);
    }
    startCatalogs(folder.toStdString());

    const std::string_view cancel = quill::tr("Cancel");
    if (expected.isEmpty()) {
        QCOMPARE(toQString(cancel), QStringLiteral("Cancel"));
    } else {
        const std::optional<CompiledCatalog> wanted = catalogOf(expected, folder);
        QVERIFY(wanted);
        const std::optional<std::string_view> translated = lookUp(wanted->language(), "Cancel");
        QVERIFY(translated && *translated != "Cancel");
        QCOMPARE(toQString(cancel), toQString(*translated));
    }
    // Whatever the catalog, the error report reads whole, its number in it; a translation that
    // lost the number gives way to the English text.
    const QString report =
        QString::fromStdString(reportText(RuntimeError(ErrorCode::TypeMismatch)));
    QVERIFY2(report.contains("'13'") && report.contains("\n\n") && !report.contains("%s"),
             qPrintable(report));
}

void TestLanguages::helpFitsATerminal_data() { everyCharacterDrawn_data(); }

// --help in every language on a terminal of 80 columns, as the C library counts them (two for
// the wide characters of East Asian scripts): no line of 80 or more, and no line that starts with
// a closing mark.
void TestLanguages::helpFitsATerminal()
{
    QFETCH(QString, language);
    speak(language.toLatin1());
    QStringList problems;
    for (const char32_t separator : {U'.', U',', U'\u066b'}) {
        const QString help = QString::fromStdString(helpText(commandLineStyle(), separator)
                                                    + versionText());
        QVERIFY(help.contains(QStringLiteral("--delay=SECONDS")));
        for (const QString &line : help.split(u'\n')) {
            int width = 0;
            for (const char32_t c : line.toUcs4())
                width += std::max(0, wcwidth(static_cast<wchar_t>(c)));
            const QString start = line.trimmed().left(1);
            if (width >= 80 || (!start.isEmpty() && QStringLiteral("、。，．）」』】").contains(start)))
                problems << QStringLiteral("%1 columns: %2").arg(width).arg(line);
        }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));
}

QTEST_MAIN(TestLanguages)
#include "tst_languages.moc"
