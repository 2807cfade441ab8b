// SPDX-License-Identifier: MIT
// The reveal dialog and the timed screen: every road to the end of the program, and the pictures
// as they are drawn.

#include "Harness.h"
#include "QuestionMark.h"
#include "Widgets.h"
#include "frmAbout1.h"
#include "sysinfo/LinuxServices.h"
#include "sysinfo/SysInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTimer>

#include <QPushButton>

using namespace quill;
using namespace quill::test;

namespace {

// Runs a program along a road up to the reveal dialog.
void toReveal(Program &program, const QString &road)
{
    QVERIFY(program.start());
    if (road == "timer") {
        click(program.control("Form2", "Check2"));
        click(program.control("Form2", "Command1"));
        program.window("Form3")->findChild<TimerObject *>("Timer1")->fire();
    } else {
        if (road == "none")
            click(program.control("Form2", "Check1"));
        click(program.control("Form2", "Command1"));
        if (road == "delay")
            program.window("Form2")->findChild<TimerObject *>("Timer1")->fire();
        click(program.control("Form1", "Label1"));
    }
    QCOMPARE(program.visible(), QStringList{"frmAbout1"});
}

QList<QColor> coloursIn(const QImage &image, QRect area)
{
    QList<QColor> found;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (!found.contains(image.pixelColor(x, y)))
                found << image.pixelColor(x, y);
    return found;
}

} // namespace

class TestReveal : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareTestApplication(); }
    void cleanup();

    void endings_data();
    void endings();
    void timedScreenIgnoresInput_data();
    void timedScreenIgnoresInput();
    void timedScreenFiresOnce();
    void dialogLayout();
    void picture();
    void pictureGeometry_data();
    void pictureGeometry();
    void etchedRule();
    void windowIcons_data();
    void windowIcons();
    void systemInformationUnavailable();
};

void TestReveal::cleanup()
{
    flushDeletes();
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
}

void TestReveal::endings_data()
{
    QTest::addColumn<QString>("road");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QStringList>("unloads");

    const QStringList afterClick{"Unload frmAbout1"};
    // After the timed road the hidden startup window is still loaded: its Unload handler runs
    // first and shows the dialog that is already up, which loads nothing.
    const QStringList afterTimer{"Unload Form1", "Unload frmAbout1"};
    for (const char *ending : {"OK", "Enter", "Esc", "close"}) {
        QTest::addRow("delay, %s", ending) << "delay" << ending << afterClick;
        QTest::addRow("none, %s", ending) << "none" << ending << afterClick;
        QTest::addRow("timer, %s", ending) << "timer" << ending << afterTimer;
    }
    // Tab moves between OK and the picture, in the order of their tab indices; Enter still
    // presses OK, the default button, and Esc OK, the cancel button.
    QTest::newRow("none, Tab to the picture, Enter") << "none" << "Tab Enter" << afterClick;
    QTest::newRow("none, Tab to the picture, Esc") << "none" << "Tab Esc" << afterClick;
    QTest::newRow("timer, Tab there and back, Enter") << "timer" << "Tab Tab Enter" << afterTimer;
}

void TestReveal::endings()
{
    QFETCH(QString, road);
    QFETCH(QString, ending);
    QFETCH(QStringList, unloads);

    Program program;
    toReveal(program, road);
    QWidget *dialog = program.window("frmAbout1");
    QCOMPARE(dialog->focusWidget(), program.control("frmAbout1", "cmdOK"));

    program.trace.clear();
    QStringList keys = ending.split(' ');
    if (keys.size() > 1) {
        QApplication::setActiveWindow(dialog);
        QWidget *ok = program.control("frmAbout1", "cmdOK");
        QWidget *picture = program.control("frmAbout1", "Picture1");
        for (const QString &key : keys.mid(0, keys.size() - 1)) {
            QCOMPARE(key, QStringLiteral("Tab"));
            QWidget *from = dialog->focusWidget();
            QTest::keyClick(from, Qt::Key_Tab);
            QCOMPARE(dialog->focusWidget(), from == ok ? picture : ok);
            QVERIFY(program.trace.empty());
        }
        ending = keys.last();
    }
    if (ending == "OK")
        click(program.control("frmAbout1", "cmdOK"));
    else if (ending == "Enter")
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
    else if (ending == "Esc")
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Escape);
    else
        dialog->close();

    QStringList seen;
    for (const auto &e : program.trace)
        seen << QString::fromStdString(e);
    QCOMPARE(seen, unloads);
    QCOMPARE(program.loaded(), QStringList{});
    QCOMPARE(program.endCount, 1);
    QCOMPARE(program.endCode, 0);
    QVERIFY(program.errors.empty());
}

void TestReveal::timedScreenIgnoresInput_data()
{
    QTest::addColumn<QString>("input");
    QTest::newRow("click on the text") << "label";
    QTest::newRow("click on the background") << "background";
    QTest::newRow("keys") << "keys";
    QTest::newRow("close request") << "close";
}

void TestReveal::timedScreenIgnoresInput()
{
    QFETCH(QString, input);
    Program program;
    QVERIFY(program.start());
    click(program.control("Form2", "Check2"));
    click(program.control("Form2", "Command1"));
    QWidget *screen = program.window("Form3");
    QCOMPARE(program.visible(), QStringList{"Form3"});
    QCOMPARE(screen->geometry(), screen->screen()->geometry());
    auto *timer = screen->findChild<TimerObject *>("Timer1");
    QVERIFY(timer->isEnabled());
    QCOMPARE(timer->interval(), 60000);

    program.trace.clear();
    if (input == "label") {
        click(program.control("Form3", "Label1"));
    } else if (input == "background") {
        click(screen, QPoint(3, 3));
    } else if (input == "keys") {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space, Qt::Key_A, Qt::Key_F4})
            QTest::keyClick(screen, key);
        QTest::keyClick(screen, Qt::Key_F4, Qt::AltModifier);
    } else {
        screen->close();
    }
    QVERIFY(program.trace.empty());
    QCOMPARE(program.visible(), QStringList{"Form3"});
    QCOMPARE(program.loaded(), (QStringList{"Form1", "Form3"}));
    QVERIFY(timer->isEnabled());
    QVERIFY(!program.ended());

    // The minute still ends it.
    timer->fire();
    QCOMPARE(program.visible(), QStringList{"frmAbout1"});
    click(program.control("frmAbout1", "cmdOK"));
    QCOMPARE(program.endCode, 0);
}

void TestReveal::timedScreenFiresOnce()
{
    Program program;
    QVERIFY(program.start());
    click(program.control("Form2", "Check2"));
    click(program.control("Form2", "Command1"));
    QPointer<TimerObject> timer = program.window("Form3")->findChild<TimerObject *>("Timer1");
    program.trace.clear();
    timer->fire();
    // The reveal dialog comes before the screen goes, so there is never a moment with nothing
    // on screen but hidden windows.
    QCOMPARE(program.trace, (std::vector<std::string>{"Load frmAbout1", "Unload Form3"}));
    QCOMPARE(program.loaded(), (QStringList{"Form1", "frmAbout1"}));
    QCOMPARE(program.visible(), QStringList{"frmAbout1"});
    // The timer went with its window: it can never fire a second time.
    QVERIFY(!timer || !timer->isEnabled());
    flushDeletes();
    QVERIFY(!timer);
    click(program.control("frmAbout1", "cmdOK"));
    QCOMPARE(program.endCount, 1);
}

void TestReveal::dialogLayout()
{
    Program program;
    toReveal(program, "none");
    QWidget *dialog = program.window("frmAbout1");
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Quillendor"));
    // The client area at 2340, 1935 twips from the screen's corner, 5730 by 3555 twips in size.
    const QRect screen = dialog->screen()->geometry();
    QCOMPARE(dialog->geometry(), QRect(screen.topLeft() + QPoint(156, 129), QSize(382, 237)));
    auto *ok = program.control<QPushButton>("frmAbout1", "cmdOK");
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QCOMPARE(ok->geometry(), QRect(288, 208, 84, 23));
    auto *description = program.control<LabelWidget>("frmAbout1", "lblDescription");
    QCOMPARE(description->text(), QStringLiteral("You have been hit by a  prank. This has not done "
                                                 "any harm to your computer or your files."));
    click(ok);
}

void TestReveal::picture()
{
    Program program;
    toReveal(program, "none");
    QWidget *picture = program.control("frmAbout1", "Picture1");
    QCOMPARE(picture->geometry(), QRect(248, 24, 129, 121));
    const QImage image = picture->grab().toImage();
    const QColor face = program.window("frmAbout1")->palette().color(QPalette::Window);
    const QList<QColor> seen = coloursIn(image, image.rect());
    QVERIFY(seen.contains(QColor(0, 178, 255)));
    QVERIFY(seen.contains(QColor(0, 0, 0)));
    // Transparent around the ring: the box's own background shows in its corners.
    for (QPoint corner : {QPoint(1, 1), QPoint(image.width() - 2, 1), QPoint(1, image.height() - 2),
                          QPoint(image.width() - 2, image.height() - 2)})
        QCOMPARE(image.pixelColor(corner), face);
    // The middle of the drawing is the question mark's colour somewhere along its centre line.
    const QList<QColor> centreColumn = coloursIn(
        image, QRect(image.width() / 2 - 2, image.height() / 4, 5, image.height() / 2));
    QVERIFY(centreColumn.contains(QColor(0, 178, 255)));
    click(program.control("frmAbout1", "cmdOK"));
}

// The picture as the Win32 backend fills it, from the runtime's geometry: the same drawing as the
// SVG the Qt backend renders, path for path and pixel for pixel.
void TestReveal::pictureGeometry_data()
{
    QTest::addColumn<double>("scale");
    QTest::newRow("picture box at 96 DPI") << 121.0 / 924;
    QTest::newRow("picture box at 192 DPI") << 242.0 / 924;
    QTest::newRow("half size") << 0.5;
    QTest::newRow("full size") << 1.0;
}

void TestReveal::pictureGeometry()
{
    QFETCH(double, scale);
    const picture::Drawing &drawing = picture::questionMark();
    QCOMPARE(drawing.width, 942.0);
    QCOMPARE(drawing.height, 924.0);
    QCOMPARE(drawing.fill, Colour(0x00FFB200));
    QCOMPARE(drawing.shapes.size(), std::size_t(3));

    // The ring and the hook are written into the SVG as paths (shadow first), the dot as a circle.
    QFile file(QStringLiteral(":/question.svg"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString svg = QString::fromUtf8(file.readAll());
    QStringList paths;
    for (const auto &match : QRegularExpression(QStringLiteral(" d=\"([^\"]*)\"")).globalMatch(svg))
        paths << match.captured(1);
    QCOMPARE(paths.size(), 4);
    QCOMPARE(QString::fromStdString(picture::svgPath(drawing.shapes[0])), paths[2]);
    QCOMPARE(QString::fromStdString(picture::svgPath(drawing.shapes[1])), paths[3]);
    const picture::Step &dotArc = drawing.shapes[2].steps[1];
    QVERIFY(svg.contains(QStringLiteral("<circle fill=\"#00B2FF\" cx=\"%1\" cy=\"%2\" r=\"%3\"/>")
                             .arg(dotArc.centre.x).arg(dotArc.centre.y).arg(dotArc.radius)));

    const QSize size(qRound(drawing.width * scale), qRound(drawing.height * scale));
    QImage rendered(size, QImage::Format_ARGB32_Premultiplied);
    rendered.fill(Qt::transparent);
    {
        QPainter painter(&rendered);
        QSvgRenderer(QStringLiteral(":/question.svg")).render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    QImage filled(size, QImage::Format_ARGB32_Premultiplied);
    filled.fill(Qt::transparent);
    {
        QPainter painter(&filled);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.scale(scale, scale);
        for (const bool shadow : {true, false}) {
            const Colour c = shadow ? drawing.shadow : drawing.fill;
            painter.setBrush(QColor(colours::red(c), colours::green(c), colours::blue(c)));
            const QPointF offset = shadow ? QPointF(drawing.shadowOffset.x, drawing.shadowOffset.y)
                                          : QPointF();
            for (const picture::Shape &shape : drawing.shapes) {
                QPainterPath path;
                path.setFillRule(shape.evenOdd ? Qt::OddEvenFill : Qt::WindingFill);
                for (const auto &polygon : picture::flatten(shape)) {
                    QPolygonF points;
                    for (const picture::Point &p : polygon)
                        points << QPointF(p.x, p.y) + offset;
                    path.addPolygon(points);
                    path.closeSubpath();
                }
                painter.drawPath(path);
            }
        }
    }
    // Pixels that differ by more than antialiasing explains: only a few along the edges (a
    // tenth missing from the end of every arc already makes fifteen times as many at full size).
    int differing = 0, painted = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const QColor a = rendered.pixelColor(x, y), b = filled.pixelColor(x, y);
            painted += a.alpha() > 0 ? 1 : 0;
            if (std::abs(a.red() - b.red()) > 96 || std::abs(a.green() - b.green()) > 96
                || std::abs(a.blue() - b.blue()) > 96 || std::abs(a.alpha() - b.alpha()) > 96)
                ++differing;
        }
    QVERIFY2(painted > size.width() * size.height() / 5, qPrintable(QString::number(painted)));
    QVERIFY2(differing <= painted / 250 + 100,
             qPrintable(QStringLiteral("%1 of %2 pixels differ").arg(differing).arg(painted)));
}

void TestReveal::etchedRule()
{
    Program program;
    toReveal(program, "none");
    const QImage image = program.window("frmAbout1")->grab().toImage();
    // Grey at 2445 twips (row 163), white at 2460 for two pixels (rows 164 and 165), from the
    // left edge of the rule to its right end.
    for (int x : {8, 100, 200, 370}) {
        QCOMPARE(image.pixelColor(x, 163), QColor(128, 128, 128));
        QCOMPARE(image.pixelColor(x, 164), QColor(255, 255, 255));
        QCOMPARE(image.pixelColor(x, 165), QColor(255, 255, 255));
        QVERIFY(image.pixelColor(x, 162) != QColor(128, 128, 128));
        QVERIFY(image.pixelColor(x, 166) != QColor(255, 255, 255));
    }
    QVERIFY(image.pixelColor(2, 163) != QColor(128, 128, 128));
    QVERIFY(image.pixelColor(380, 164) != QColor(255, 255, 255));
    click(program.control("frmAbout1", "cmdOK"));
}

void TestReveal::windowIcons_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("setup dialog") << "Form2";
    QTest::newRow("click-dismissed screen") << "Form1";
    QTest::newRow("reveal dialog") << "frmAbout1";
    QTest::newRow("program") << "";
}

void TestReveal::windowIcons()
{
    QFETCH(QString, window);
    Program program;
    if (window == "frmAbout1")
        toReveal(program, "none");
    else
        QVERIFY(program.start());
    const QIcon icon = window.isEmpty() ? QApplication::windowIcon()
                                        : program.window(window.toLatin1().constData())->windowIcon();
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
    const QImage image = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(32, 32));
    QList<QColor> opaque;
    int transparent = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 0)
                ++transparent;
            else if (!opaque.contains(c))
                opaque << c;
        }
    QVERIFY(transparent > 0);       // drawn on a transparent ground
    QVERIFY(opaque.size() <= 16);   // a 16-colour picture
    QVERIFY(opaque.contains(QColor(0, 128, 0)) || opaque.contains(QColor(0, 255, 0))); // land
    QVERIFY(opaque.contains(QColor(0, 0, 255)));                                          // sea
    click(program.control(window == "frmAbout1" ? "frmAbout1" : "Form2",
                          window == "frmAbout1" ? "cmdOK" : "Command2"));
    QCOMPARE(program.endCode, 0);
}

void TestReveal::systemInformationUnavailable()
{
    for (const std::string &tool : sysinfo::LinuxServices::defaultTools())
        if (QFileInfo(QString::fromStdString(tool)).isExecutable())
            QSKIP("a system-information tool is installed here; the launcher would start it");

    Program program;
    toReveal(program, "none");
    auto &dialog = dynamic_cast<forms::frmAbout1 &>(program.registry.window("frmAbout1"));

    std::string value = "left over";
    QVERIFY(!dialog.GetKeyValue(sysinfo::HKEY_LOCAL_MACHINE_ROOT, std::string(sysinfo::kPrimaryKey),
                                std::string(sysinfo::kPrimaryValue), value));
    QCOMPARE(value, std::string());

    // The message comes in the program's own modal box; answer it as a user would.
    QString shown;
    QTimer::singleShot(0, [&shown] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    dialog.StartSysInfo();
    QCOMPARE(shown, QStringLiteral("System Information Is Unavailable At This Time"));
    // Nothing else changed: the dialog is still up and the program still running.
    QCOMPARE(program.visible(), QStringList{"frmAbout1"});
    QVERIFY(!program.ended());
    click(program.control("frmAbout1", "cmdOK"));
}

QTEST_MAIN(TestReveal)
#include "tst_reveal.moc"
