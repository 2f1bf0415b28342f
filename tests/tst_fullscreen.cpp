// Full-screen reading, and the window's keys as a reader presses them, in
// and out of full-screen reading.
#include "fullscreenfixture.h"
#include "lektoharness.h"

#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtWebEngineCore/QWebEngineHistory>
#include <QtWidgets/QLineEdit>

using namespace FullScreenFixture;

class TestFullScreen : public FullScreenTestBase
{
    Q_OBJECT

private slots:
    void initTestCase() { routePages(); }
    void cleanup() { dropWindows(); }

    void enterAndLeaveKeepPageAndBounds_data();
    void enterAndLeaveKeepPageAndBounds();
    void windowKeysFromEveryFocus_data();
    void windowKeysFromEveryFocus();
    void otherKeysReachThePage();
    void browserKeys();
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

LEKTO_WEB_TEST_MAIN(TestFullScreen)
#include "tst_fullscreen.moc"
