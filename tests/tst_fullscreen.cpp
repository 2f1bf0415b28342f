// Full-screen reading, the window's keys as a reader presses them, the zoom
// dialog with the zoom it brings about, and the floating clock.
#include "forms.h"
#include "lektoharness.h"
#include "lektotimer.h"
#include "testhttpserver.h"
#include "wbzoom.h"

#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWebEngineCore/QWebEngineHistory>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>

namespace {

QByteArray longPage(const QByteArray &title)
{
    QByteArray body = "<title>" + title + "</title><input id=field><p id=first>起点</p>";
    for (int i = 0; i < 300; ++i)
        body += "<p>正文第" + QByteArray::number(i) + "段。</p>";
    return body;
}

// The longest run of the load bar's blue on a row of the image.
int blueRun(const QImage &image, int y)
{
    int best = 0, run = 0;
    for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        run = (c.blue() > 180 && c.red() < 100 && c.green() < 160) ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
}

// The width in pixels of the red run on the middle row of the box.
int redRun(const QImage &image, int y)
{
    int best = 0, run = 0;
    for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        run = (c.red() > 200 && c.green() < 60 && c.blue() < 60) ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
}

// Where a key the reader presses goes: the window's focus widget. (Which
// window is active is the window system's affair, and a new native window,
// made when the border changes, is activated a moment later.)
QWidget *keyTarget(QWidget *window)
{
    spin(100);
    return window->focusWidget();
}

} // namespace

class TestFullScreen : public QObject
{
    Q_OBJECT

    TestHttpServer FServer;
    // Owned by the main window, as in the program.
    TWBZoom *FZoom = nullptr;
    TLektoTimer *FClock = nullptr;

    // The other windows of the program, as the program makes them.
    void makeWindows(TFLekto &w)
    {
        FZoom = new TWBZoom(&w);
        FClock = new TLektoTimer(&w);
        FClock->SetHost(FZoom, [&w](int v) { w._ZoomProc(v); }, w.BtnFull);
        WBZoom = FZoom;
        LektoTimer = FClock;
    }
    void dropWindows()
    {
        WBZoom = nullptr;
        LektoTimer = nullptr;
        FZoom = nullptr;
        FClock = nullptr;
    }

private slots:
    void initTestCase()
    {
        FServer.route("/long.html", longPage("长章"));
        FServer.route("/other.html", longPage("另一章"));
        TestHttpServer::Response slow{200, "text/html; charset=utf-8", longPage("慢章"), {}, false};
        slow.trickleMs = 4000; // a distant site: the chapter arrives in a while
        FServer.route("/slow.html", slow);
        FServer.route("/box.html", "<title>box</title><body style='margin:0;background:#fff'>"
                                   "<div style='width:60px;height:60px;background:#f00'></div></body>");
    }
    void cleanup() { dropWindows(); }

    void enterAndLeaveKeepPageAndBounds_data();
    void enterAndLeaveKeepPageAndBounds();
    void windowKeysFromEveryFocus_data();
    void windowKeysFromEveryFocus();
    void otherKeysReachThePage();
    void browserKeys();
    void zoomIsWhatTheReaderSees_data();
    void zoomIsWhatTheReaderSees();
    void zoomDialog();
    void zoomBoxCloses_data();
    void zoomBoxCloses();
    void clock();
    void pageClearOfTheClock();
    void loadShownInFullScreen();
};

void TestFullScreen::enterAndLeaveKeepPageAndBounds_data()
{
    QTest::addColumn<bool>("maximized");
    QTest::addColumn<bool>("byButton"); // 全屏 clicked with the mouse, not F11 in the page
    QTest::newRow("from the maximized start") << true << false;
    QTest::newRow("from a window of its own size") << false << false;
    QTest::newRow("by the button, the toolbar's focus going") << false << true;
}

void TestFullScreen::enterAndLeaveKeepPageAndBounds()
{
    QFETCH(bool, maximized);
    QFETCH(bool, byButton);
    LektoHarness h;
    TFLekto &w = h.open();
    makeWindows(w);
    if (maximized)
        w.showMaximized();
    else
        w.setGeometry(100, 80, 700, 500);
    spin(300);
    const QRect before = w.geometry();
    QVERIFY(h.type(FServer.url("/long.html")));
    QVERIFY(h.type(FServer.url("/other.html")));
    h.js("window.scrollTo(0, 3000)");
    const int place = h.js("window.scrollY").toInt();
    QVERIFY(place > 1000);
    const int requests = FServer.requests().size();
    w.WB1->SetFocus();
    spin(100);

    if (byButton)
        QTest::mouseClick(w.BtnFull, Qt::LeftButton);
    else
        QTest::keyClick(keyTarget(&w), Qt::Key_F11);
    spin(500);
    QVERIFY(w.IsFullScreen());
    QCOMPARE(h.js("window.scrollY").toInt(), place);
    QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(w.geometry(), QGuiApplication::primaryScreen()->geometry());
    QVERIFY(!w.pads->isVisible() && !w.pNavigate->isVisible());
    QVERIFY(FClock->isVisible() && FClock->Timer1->isActive());
    QCOMPARE(FClock->geometry().topRight(), QGuiApplication::primaryScreen()->geometry().topRight());
    QCOMPARE(keyTarget(&w), w.WB1->focusProxy());

    QTest::keyClick(keyTarget(&w), Qt::Key_Escape);
    spin(500);
    QVERIFY(!w.IsFullScreen());
    QVERIFY(!(w.windowFlags() & Qt::FramelessWindowHint));
    QCOMPARE(w.geometry(), before);
    QCOMPARE(w.isMaximized(), maximized);
    QVERIFY(w.pNavigate->isVisible());
    QVERIFY(!w.pads->isVisible()); // leaving does not bring the strip back
    QVERIFY(!FClock->isVisible() && !FClock->Timer1->isActive());
    QCOMPARE(keyTarget(&w), w.WB1->focusProxy());

    // The same page, at the same place, with its history: nothing reloaded.
    QCOMPARE(FServer.requests().size(), requests);
    QCOMPARE(h.completions, 3);
    QCOMPARE(h.js("window.scrollY").toInt(), place);
    QVERIFY(w.WB1->page()->history()->canGoBack());
    QCOMPARE(w.windowTitle(), QStringLiteral("另一章"));
}

void TestFullScreen::windowKeysFromEveryFocus_data()
{
    QTest::addColumn<int>("focus"); // 0 the page, 1 the address box, 2 a toolbar button
    QTest::newRow("page") << 0;
    QTest::newRow("address box") << 1;
    QTest::newRow("button") << 2;
}

// F11, Esc, F1 and F4 reach the window whoever has the focus; Esc while
// windowed changes nothing and goes no further.
void TestFullScreen::windowKeysFromEveryFocus()
{
    QFETCH(int, focus);
    LektoHarness h;
    TFLekto &w = h.open();
    makeWindows(w);
    QVERIFY(h.type(FServer.url("/long.html")));
    auto focusOn = [&] {
        QWidget *target = focus == 0 ? static_cast<QWidget *>(w.WB1) : focus == 1 ? static_cast<QWidget *>(w.EdUrl) : w.BtnZoom;
        target->setFocus();
        return keyTarget(&w);
    };
    QWidget *target = focusOn();
    QVERIFY(target);
    if (focus == 0)
        QCOMPARE(target, w.WB1->focusProxy());

    const QString boxText = w.EdUrl->text();
    QTest::keyClick(target, Qt::Key_Escape); // windowed: nothing
    QVERIFY(!w.IsFullScreen());
    QCOMPARE(w.EdUrl->text(), boxText);

    QTest::keyClick(target, Qt::Key_F11);
    spin(300);
    QVERIFY(w.IsFullScreen());
    QTest::keyClick(keyTarget(&w), Qt::Key_F11);
    spin(300);
    QVERIFY(!w.IsFullScreen());

    // F1 pastes and opens, in full-screen reading too.
    QGuiApplication::clipboard()->setText(FServer.url("/other.html"));
    target = focusOn();
    QTest::keyClick(target, Qt::Key_F11);
    spin(300);
    const int before = h.completions;
    QTest::keyClick(keyTarget(&w), Qt::Key_F1);
    QVERIFY(h.waitComplete(before + 1));
    QCOMPARE(w.windowTitle(), QStringLiteral("另一章"));
    QTest::keyClick(keyTarget(&w), Qt::Key_Escape);
    spin(300);
    QVERIFY(!w.IsFullScreen());
}

// Typing in a page's field, Space and the arrows, Ctrl+C: all the page's.
void TestFullScreen::otherKeysReachThePage()
{
    LektoHarness h;
    TFLekto &w = h.open();
    makeWindows(w);
    QVERIFY(h.type(FServer.url("/long.html")));
    QVERIFY(h.mouseClick("#field", Qt::LeftButton, false));
    QWidget *page = w.WB1->focusProxy();
    spin(300);
    QTest::keyClicks(page, QStringLiteral("abc"));
    QTest::keyClick(page, Qt::Key_Backspace); // deletes, does not go back
    QVERIFY(waitUntil([&] { return h.js("document.getElementById('field').value").toString() == "ab"; }, 3000));
    QCOMPARE(w.windowTitle(), QStringLiteral("长章"));

    h.js("document.activeElement.blur()");
    QTest::keyClick(page, Qt::Key_Space);
    QVERIFY(waitUntil([&] { return h.js("window.scrollY").toInt() > 100; }, 3000));
    const int y = h.js("window.scrollY").toInt();
    QTest::keyClick(page, Qt::Key_Down);
    QVERIFY(waitUntil([&] { return h.js("window.scrollY").toInt() > y; }, 3000));

    h.js("(function(){var r=document.createRange();r.selectNodeContents(document.getElementById('first'));"
         "var s=getSelection();s.removeAllRanges();s.addRange(r);})()");
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(page, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(waitUntil([&] { return QGuiApplication::clipboard()->text() == QStringLiteral("起点"); }, 3000));
}

// The keys every browser has, from the page and from the address box.
void TestFullScreen::browserKeys()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/long.html")));
    QVERIFY(h.type(FServer.url("/other.html")));
    QWidget *page = w.WB1->focusProxy();
    w.WB1->SetFocus();
    spin(100);
    struct Press { QWidget *to; Qt::Key key; Qt::KeyboardModifiers mods; const char *title; };
    const Press presses[] = {
        {page, Qt::Key_Left, Qt::AltModifier, "长章"},
        {page, Qt::Key_Right, Qt::AltModifier, "另一章"},
        {page, Qt::Key_Backspace, Qt::NoModifier, "长章"},
        {w.EdUrl, Qt::Key_Right, Qt::AltModifier, "另一章"},
    };
    for (const Press &p : presses) {
        if (p.to == page)
            w.WB1->SetFocus();
        else
            p.to->setFocus();
        const int before = h.completions;
        QTest::keyClick(p.to, p.key, p.mods);
        QVERIFY2(h.waitComplete(before + 1), p.title);
        QCOMPARE(w.windowTitle(), QString::fromUtf8(p.title));
    }
    for (const auto &[key, mods] : {std::pair{Qt::Key_F5, Qt::KeyboardModifiers{}}, std::pair{Qt::Key_R, Qt::KeyboardModifiers{Qt::ControlModifier}}}) {
        const int requests = FServer.countRequests("/other.html");
        const int before = h.completions;
        QTest::keyClick(page, key, mods);
        QVERIFY(h.waitComplete(before + 1));
        QCOMPARE(FServer.countRequests("/other.html"), requests + 1);
    }
    for (const auto &[key, mods] : {std::pair{Qt::Key_L, Qt::KeyboardModifiers{Qt::ControlModifier}},
                                    std::pair{Qt::Key_F6, Qt::KeyboardModifiers{}},
                                    std::pair{Qt::Key_D, Qt::KeyboardModifiers{Qt::AltModifier}}}) {
        w.WB1->SetFocus();
        spin(50);
        QTest::keyClick(page, key, mods);
        QCOMPARE(w.focusWidget(), w.EdUrl);
        QCOMPARE(w.EdUrl->selectedText(), w.EdUrl->text());
    }
    // Backspace in the address box edits it.
    const QString text = w.EdUrl->text();
    w.EdUrl->end(false);
    QTest::keyClick(w.EdUrl, Qt::Key_Backspace);
    QCOMPARE(w.EdUrl->text(), text.left(text.size() - 1));
    // Enter presses a focused toolbar button.
    w.BtnStart->setFocus();
    const int before = h.completions;
    QTest::keyClick(w.BtnStart, Qt::Key_Return);
    QVERIFY(h.waitComplete(before + 1));
    QCOMPARE(w.windowTitle(), QStringLiteral("Lekto"));
}

void TestFullScreen::zoomIsWhatTheReaderSees_data()
{
    QTest::addColumn<int>("percent");
    for (int p : {10, 80, 150, 500, 1000})
        QTest::newRow(qPrintable(QString::number(p))) << p;
}

// A box 60 CSS pixels wide, as grabbed from the view, before and after a
// page of another host (127.0.0.1 and localhost are two hosts to the engine).
void TestFullScreen::zoomIsWhatTheReaderSees()
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
        return redRun(shot, std::min(shot.height() - 1, std::max(1, expected / 2)));
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

void TestFullScreen::zoomDialog()
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

void TestFullScreen::zoomBoxCloses_data()
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
void TestFullScreen::zoomBoxCloses()
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

void TestFullScreen::clock()
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
void TestFullScreen::pageClearOfTheClock()
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
void TestFullScreen::loadShownInFullScreen()
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
        return blueRun(shot, w.WB1->geometry().top() + 1);
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

LEKTO_WEB_TEST_MAIN(TestFullScreen)
#include "tst_fullscreen.moc"
