// What full-screen reading puts over the page: the zoom dialog with the
// zoom it brings about, the floating clock, and the load bar.
#include "fullscreenfixture.h"
#include "lektoharness.h"

#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>

using namespace FullScreenFixture;

namespace {

// The longest run of pixels of a colour on a row of the image.
template<typename Colour>
int longestRun(const QImage &image, int y, Colour is)
{
    int best = 0, run = 0;
    for (int x = 0; x < image.width(); ++x) {
        run = is(image.pixelColor(x, y)) ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
}

// The load bar's blue.
bool barBlue(const QColor &c)
{
    return c.blue() > 180 && c.red() < 100 && c.green() < 160;
}

// The box's red.
bool boxRed(const QColor &c)
{
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

} // namespace

class TestFullScreenAids : public FullScreenTestBase
{
    Q_OBJECT

private slots:
    void initTestCase() { routePages(); }
    void cleanup() { dropWindows(); }

    void zoomIsWhatTheReaderSees_data();
    void zoomIsWhatTheReaderSees();
    void zoomDialog();
    void zoomBoxCloses_data();
    void zoomBoxCloses();
    void clock();
    void pageClearOfTheClock();
    void loadShownInFullScreen();
};

void TestFullScreenAids::zoomIsWhatTheReaderSees_data()
{
    QTest::addColumn<int>("percent");
    for (int p : {10, 80, 150, 500, 1000})
        QTest::newRow(qPrintable(QString::number(p))) << p;
}

// A box 60 CSS pixels wide, as grabbed from the view, before and after a
// page of another host (127.0.0.1 and localhost are two hosts to the engine).
void TestFullScreenAids::zoomIsWhatTheReaderSees()
{
    QFETCH(int, percent);
    LektoHarness h;
    TFLekto &w = h.open();
    makeWindows(w);
    w.resize(1000, 800);
    QVERIFY(h.type(FServer.url("/box.html")));
    w.BtnZoom->click();
    FZoom->SpinEdit1->ShowValue(percent);
    FZoom->BtnOkClick();
    QCOMPARE(w.FZoom, percent);
    const int expected = 60 * percent / 100;
    auto measured = [&] {
        spin(300);
        const QImage shot = w.WB1->grab().toImage();
        return longestRun(shot, std::min(shot.height() - 1, std::max(1, expected / 2)), boxRed);
    };
    QVERIFY2(waitUntil([&] { return qAbs(measured() - expected) <= 2; }, 5000), qPrintable(QString::number(measured())));
    QString other = FServer.url("/box.html");
    other.replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
    QVERIFY(h.type(other));
    QVERIFY2(waitUntil([&] { return qAbs(measured() - expected) <= 2; }, 5000), qPrintable(QString::number(measured())));
    w.BtnStart->click(); // our own pages too
    QVERIFY(h.waitComplete(h.completions + 1));
    QCOMPARE(w.WB1->ZoomPercent(), percent);
}

void TestFullScreenAids::zoomDialog()
{
    LektoHarness h;
    TFLekto &w = h.open();
    makeWindows(w);
    QCOMPARE(IsOldIE(), false);
    // From the toolbar: straight below the button, left edges aligned.
    w.BtnZoomClick();
    QVERIFY(FZoom->isVisible());
    QCOMPARE(FZoom->size(), QSize(295, 65));
    QCOMPARE(FZoom->pos(), w.BtnZoom->mapToGlobal(QPoint(0, w.BtnZoom->height())));

    struct Typed { const char *text; int applied; };
    const Typed table[] = {{"5000", 1000}, {"3", 10}, {"", 10}, {"250", 250}, {"-7", 10},
                           // read whole: too large is the largest, a decimal is rounded
                           {"99999999999", 1000}, {"-99999999999", 10}, {"150.5", 151}, {"150.4", 150}};
    for (const Typed &t : table) {
        w.BtnZoomClick();
        FZoom->SpinEdit1->setFocus();
        FZoom->SpinEdit1->selectAll();
        QTest::keyClick(FZoom->SpinEdit1, Qt::Key_Delete);
        QTest::keyClicks(FZoom->SpinEdit1, QString::fromLatin1(t.text));
        QTest::keyClick(FZoom->SpinEdit1, Qt::Key_Return); // Enter confirms
        QCOMPARE(w.FZoom, t.applied);
        QVERIFY(!FZoom->isVisible());
        QCOMPARE(FZoom->SpinEdit1->value(), t.applied); // kept for the next showing
    }
    FZoom->SpinEdit1->setFocus();
    QTest::keyClicks(FZoom->SpinEdit1, QStringLiteral("x"));
    QVERIFY(!FZoom->SpinEdit1->text().contains(QLatin1Char('x')));

    w.BtnZoomClick();
    FZoom->BtnDClick(FZoom->Button3);
    QCOMPARE(w.FZoom, 200);
    QCOMPARE(w.WB1->Zoom(), 1);
    w.BtnZoomClick();
    FZoom->SpinEdit1->ShowValue(700);
    FZoom->Button2Click(); // 取消
    QCOMPARE(w.FZoom, 200);

    // From the clock at the top right: below its button, right edges aligned.
    FClock->ShowAt();
    spin(100);
    FClock->BtnZoomClick();
    const QPoint corner = FClock->BtnZoom->mapToGlobal(QPoint(0, 0));
    QCOMPARE(FZoom->geometry().top(), corner.y() + FClock->BtnZoom->height());
    QCOMPARE(FZoom->geometry().right(), corner.x() + FClock->BtnZoom->width() - 1);
    FZoom->BtnDClick(FZoom->Button6);
    QCOMPARE(w.FZoom, 80);
}

void TestFullScreenAids::zoomBoxCloses_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Esc in the number box") << "Esc" << true;
    QTest::newRow("Esc on a preset") << "Esc on a preset" << true;
    QTest::newRow("Esc in the page, in full-screen reading") << "Esc in full screen" << true;
    QTest::newRow("a click on the page") << "page" << true;
    QTest::newRow("a click in the address box") << "address box" << true;
    QTest::newRow("back with Alt+Left") << "back" << true;
    QTest::newRow("the page going elsewhere") << "page navigates" << true;
    QTest::newRow("a click in the box") << "inside" << false;
    QTest::newRow("缩放 again") << "zoom again" << false;
}

// The zoom box goes as 取消 sends it: the zoom, the box's number and the
// page stay as they were. A click in it, or on its own 缩放, keeps it.
void TestFullScreenAids::zoomBoxCloses()
{
    QFETCH(QString, how);
    QFETCH(bool, closes);
    LektoHarness h;
    TFLekto &w = h.open();
    makeWindows(w);
    QVERIFY(h.type(FServer.url("/long.html")));
    QVERIFY(h.type(FServer.url("/other.html")));
    QTest::mouseClick(w.BtnZoom, Qt::LeftButton);
    QVERIFY(FZoom->isVisible());
    const QPoint place = FZoom->pos();
    FZoom->SpinEdit1->setFocus();
    FZoom->SpinEdit1->selectAll();
    QTest::keyClicks(FZoom->SpinEdit1, QStringLiteral("300"));
    const int before = h.completions;
    if (how == "Esc") {
        QTest::keyClick(FZoom->SpinEdit1, Qt::Key_Escape);
    } else if (how == "Esc on a preset") {
        FZoom->Button4->setFocus();
        QTest::keyClick(FZoom->Button4, Qt::Key_Escape);
    } else if (how == "Esc in full screen") {
        // Opened from the clock; the keyboard stayed with the page.
        QTest::keyClick(w.WB1->focusProxy(), Qt::Key_F11);
        spin(300);
        QVERIFY(w.IsFullScreen());
        QTest::mouseClick(FClock->BtnZoom, Qt::LeftButton);
        QVERIFY(FZoom->isVisible());
        w.activateWindow();
        w.WB1->SetFocus();
        QTest::keyClick(keyTarget(&w), Qt::Key_Escape);
        QVERIFY(w.IsFullScreen()); // this Esc was the box's
    } else if (how == "page") {
        QTest::mouseClick(w.WB1->focusProxy(), Qt::LeftButton, {}, QPoint(300, 300));
    } else if (how == "address box") {
        QTest::mouseClick(w.EdUrl, Qt::LeftButton, {}, QPoint(20, 5));
    } else if (how == "back") {
        QTest::keyClick(w.WB1->focusProxy(), Qt::Key_Left, Qt::AltModifier);
        QVERIFY(h.waitComplete(before + 1));
        QCOMPARE(w.windowTitle(), QStringLiteral("长章"));
    } else if (how == "page navigates") {
        h.js("location.href='/long.html'");
        QVERIFY(h.waitComplete(before + 1));
    } else if (how == "inside") {
        QTest::mouseClick(FZoom->SpinEdit1, Qt::LeftButton);
        QTest::mouseClick(FZoom->pTitleCaption, Qt::LeftButton);
    } else if (how == "zoom again") {
        QTest::mouseClick(w.BtnZoom, Qt::LeftButton);
    }
    spin(200);
    QCOMPARE(FZoom->isVisible(), !closes);
    QCOMPARE(w.FZoom, 100);
    QCOMPARE(w.WB1->ZoomPercent(), 100);
    if (!closes) {
        QCOMPARE(FZoom->pos(), place);
        QTest::keyClick(FZoom->SpinEdit1, Qt::Key_Return); // what was typed is still there
        QCOMPARE(w.FZoom, 300);
    }
    QVERIFY(h.errors.isEmpty());
}

void TestFullScreenAids::clock()
{
    LektoHarness h;
    TFLekto &w = h.open();
    makeWindows(w);
    QCOMPARE(FClock->size(), QSize(201, 30));
    QCOMPARE(FClock->windowOpacity(), 150.0 / 255.0);
    QVERIFY(FClock->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!LongTimeFormatWithoutZone(QLocale(QLocale::Chinese, QLocale::China)).contains(QLatin1Char('t')));
    QVERIFY(!LongTimeFormatWithoutZone(QLocale(QLocale::English, QLocale::UnitedStates)).contains(QLatin1Char('t')));

    FClock->ShowAt();
    const QString first = FClock->Label1->text();
    QVERIFY(first != QStringLiteral("00:00:00"));
    QVERIFY(waitUntil([&] { return FClock->Label1->text() != first; }, 1500));

    // Dragged by its time, and only by a drag.
    const QPoint home = FClock->pos();
    QTest::mouseMove(FClock->Label1, QPoint(20, 15));
    spin(50);
    QTest::mouseMove(FClock->Label1, QPoint(10, 10));
    spin(50);
    QCOMPARE(FClock->pos(), home);
    QTest::mousePress(FClock->Label1, Qt::LeftButton, {}, QPoint(20, 15));
    QMouseEvent move(QEvent::MouseMove, QPointF(20 - 300, 15 + 200), FClock->Label1->mapToGlobal(QPointF(20 - 300, 15 + 200)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(FClock->Label1, &move);
    QTest::mouseRelease(FClock->Label1, Qt::LeftButton, {}, QPoint(20 - 300, 15 + 200));
    QCOMPARE(FClock->pos(), home + QPoint(-300, 200));
    FClock->ShowAt(); // every showing puts it back
    QCOMPARE(FClock->pos(), home);

    // Its "Esc" leaves full-screen reading.
    w.BtnFullClick();
    spin(200);
    QVERIFY(w.IsFullScreen());
    FClock->Button2->click();
    spin(200);
    QVERIFY(!w.IsFullScreen());
    QVERIFY(!FClock->isVisible());
}

// After PgDn the page's top line is the reader's next: the clock at its
// place takes the top of the screen from the page instead of covering it.
// Dragged away, it floats over the page again and gives the room back.
void TestFullScreenAids::pageClearOfTheClock()
{
    LektoHarness h;
    TFLekto &w = h.open();
    makeWindows(w);
    QVERIFY(h.type(FServer.url("/long.html")));
    // A web page hides the strip of link pictures; the window lays itself
    // out again a moment later, and that is the windowed place to come back to.
    QVERIFY(waitUntil([&] { return !w.pads->isVisible(); }, 3000));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    spin(50);
    const QRect windowed = w.WB1->geometry();
    w.WB1->SetFocus();
    QTest::keyClick(keyTarget(&w), Qt::Key_F11);
    QVERIFY(waitUntil([&] { return w.IsFullScreen() && FClock->isVisible() && QRect(w.WB1->mapToGlobal(QPoint(0, 0)), w.WB1->size()).top()
                                        == QGuiApplication::primaryScreen()->geometry().top() + FClock->height(); }, 3000));
    QTest::keyClick(keyTarget(&w), Qt::Key_PageDown);
    QVERIFY(waitUntil([&] { return h.js("window.scrollY").toInt() > 100; }, 3000));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const auto page = [&] { return QRect(w.WB1->mapToGlobal(QPoint(0, 0)), w.WB1->size()); };
    QVERIFY2(!page().intersects(FClock->frameGeometry()), qPrintable(QStringLiteral("%1 %2").arg(page().top()).arg(page().height())));
    QCOMPARE(page().top(), screen.top() + FClock->height()); // no more than the clock's height given up
    QCOMPARE(page().bottom(), screen.bottom());
    QCOMPARE(page().width(), screen.width());
    QCOMPARE(keyTarget(&w), w.WB1->focusProxy());

    // Dragged down over the page by its time: the page has the whole screen.
    QTest::mousePress(FClock->Label1, Qt::LeftButton, {}, QPoint(20, 15));
    QMouseEvent move(QEvent::MouseMove, QPointF(20, 15 + 300), FClock->Label1->mapToGlobal(QPointF(20, 15 + 300)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(FClock->Label1, &move);
    QTest::mouseRelease(FClock->Label1, Qt::LeftButton, {}, QPoint(20, 15 + 300));
    QVERIFY(waitUntil([&] { return page() == screen; }, 3000));

    // Back at its place on the next full-screen reading, and out of the way.
    QWidget *escTo = keyTarget(&w);
    QTest::keyClick(escTo, Qt::Key_Escape);
    QVERIFY2(waitUntil([&] { return !w.IsFullScreen() && w.WB1->geometry() == windowed; }, 3000),
             qPrintable(QStringLiteral("full screen %1, page %2,%3 %4x%5 (windowed %6,%7 %8x%9), Esc went to %10")
                            .arg(w.IsFullScreen())
                            .arg(w.WB1->geometry().x()).arg(w.WB1->geometry().y())
                            .arg(w.WB1->geometry().width()).arg(w.WB1->geometry().height())
                            .arg(windowed.x()).arg(windowed.y()).arg(windowed.width()).arg(windowed.height())
                            .arg(escTo ? QString::fromLatin1(escTo->metaObject()->className()) : QStringLiteral("nothing"))));
    QTest::keyClick(keyTarget(&w), Qt::Key_F11);
    QVERIFY(waitUntil([&] { return page().top() == screen.top() + FClock->height(); }, 3000));
    QTest::keyClick(keyTarget(&w), Qt::Key_F11);
    QVERIFY(waitUntil([&] { return w.WB1->geometry() == windowed; }, 3000));
}

// A chapter slow to come shows a thin bar over the top of the page while it
// loads (the toolbar's ring is hidden in full-screen reading), gone once the
// chapter is there.
void TestFullScreenAids::loadShownInFullScreen()
{
    LektoHarness h;
    TFLekto &w = h.open();
    makeWindows(w);
    QVERIFY(h.type(FServer.url("/long.html")));
    w.WB1->SetFocus();
    QTest::keyClick(keyTarget(&w), Qt::Key_F11);
    spin(500);
    QVERIFY(w.IsFullScreen());
    const auto barOnTop = [&] {
        const QImage shot = w.Panel1->grab().toImage();
        return longestRun(shot, w.WB1->geometry().top() + 1, barBlue);
    };
    QCOMPARE(barOnTop(), 0);
    QGuiApplication::clipboard()->setText(FServer.url("/slow.html"));
    const int before = h.completions;
    QTest::keyClick(keyTarget(&w), Qt::Key_F1); // paste and open
    QVERIFY(waitUntil([&] { return barOnTop() >= w.WB1->width() / 50; }, 5000));
    QVERIFY(h.completions == before); // still loading
    QVERIFY(h.waitComplete(before + 1));
    QCOMPARE(w.windowTitle(), QStringLiteral("慢章"));
    QVERIFY(waitUntil([&] { return barOnTop() == 0; }, 3000));

    // Windowed, the toolbar's ring says it; no bar over the page.
    QTest::keyClick(keyTarget(&w), Qt::Key_Escape);
    spin(300);
    h.window->EdUrl->setText(FServer.url("/slow.html"));
    QTest::keyClick(w.EdUrl, Qt::Key_Return);
    spin(1500);
    QCOMPARE(barOnTop(), 0);
    QVERIFY(h.waitComplete(before + 2));
}

LEKTO_WEB_TEST_MAIN(TestFullScreenAids)
#include "tst_fullscreenaids.moc"
