// Resuming a book as a reader does, on the real engine: the page has the
// keys once it has loaded however it was opened, the place inside a book's
// last page comes back (after a restart too), the window comes back as it
// was left, the zoom keys and the wheel zoom in the zoom box's steps and say
// so, the mode chosen shows, an address no browser took is handed over, and
// words that are no address can be searched.
#include "lektoharness.h"
#include "testhttpserver.h"
#include "forms.h"
#include "wbzoom.h"
#include "windowplacement.h"

#include <QtCore/QSettings>
#include <QtGui/QClipboard>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>

namespace {

QByteArray chapter(int n, int paragraphs = 30)
{
    QByteArray body = "<title>青云 第" + QByteArray::number(n) + "章</title><h1>第" + QByteArray::number(n) + "章</h1>";
    for (int i = 0; i < paragraphs; ++i)
        body += "<p>第" + QByteArray::number(i) + "段，少年拔剑而起，剑光如水。</p>";
    body += "<p><a href='" + QByteArray::number(n - 1) + ".html'>上一章</a> <a href='index.html'>目录</a> <a href='"
        + QByteArray::number(n + 1) + ".html'>下一章</a></p>";
    return body;
}

// A real key press where the keyboard is now, as the reader's.
void pressWhereTheKeysAre(Qt::Key key, Qt::KeyboardModifiers mods = {})
{
    spin(50);
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus);
    QTest::keyClick(focus, key, mods);
}

} // namespace

class TestResume : public QObject
{
    Q_OBJECT

    TestHttpServer FServer;

    QString at(int n) const { return FServer.url(QStringLiteral("/qy/%1.html").arg(n)); }

    // The share of its length the page shows at its top, as the page says.
    double shownRatio(LektoHarness &h)
    {
        return h.js(QStringLiteral("window.scrollY/document.documentElement.scrollHeight")).toDouble();
    }

private slots:
    void initTestCase()
    {
        for (int n = 1; n <= 5; ++n)
            FServer.route("/qy/" + QByteArray::number(n) + ".html", chapter(n));
        FServer.route("/long/1.html", chapter(1, 600));
    }

    void keysAtOnceHoweverOpened_data();
    void keysAtOnceHoweverOpened();
    void addressBoxChosenWhileLoadingKeepsTheKeys();
    void placeInTheChapterComesBack();
    void placementOnScreens_data();
    void placementOnScreens();
    void windowComesBackAsLeft();
    void zoomSteps_data();
    void zoomSteps();
    void zoomKeysAndWheel();
    void chosenModeShows();
    void addressNoBrowserTookIsHandedOver();
    void wordsCanBeSearched();
};

void TestResume::keysAtOnceHoweverOpened_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("a book's link on the start page") << "start page";
    QTest::newRow("粘贴打开") << "paste";
    QTest::newRow("F1") << "F1";
    QTest::newRow("the address box and Enter") << "typed";
}

// Whatever opened the page, → turns its chapter at once, without a click
// into the page first.
void TestResume::keysAtOnceHoweverOpened()
{
    QFETCH(QString, way);
    LektoHarness h;
    TFLekto &w = h.open();
    QApplication::setActiveWindow(&w);
    if (way == QLatin1String("start page")) {
        QVERIFY(h.type(at(2)));
        QVERIFY(h.type(FServer.url("/long/1.html")));
        w.BtnStart->click();
        QVERIFY(h.waitComplete(4));
        QVERIFY(h.mouseClickLink(at(2)));
    } else if (way == QLatin1String("typed")) {
        QTest::mouseClick(w.EdUrl, Qt::LeftButton);
        w.EdUrl->setText(at(2));
        const int before = h.completions;
        QTest::keyClick(w.EdUrl, Qt::Key_Return);
        QVERIFY(h.waitComplete(before + 1));
    } else {
        QGuiApplication::clipboard()->setText(at(2));
        const int before = h.completions;
        if (way == QLatin1String("paste"))
            QTest::mouseClick(w.BtnGo2, Qt::LeftButton);
        else
            pressWhereTheKeysAre(Qt::Key_F1);
        QVERIFY(h.waitComplete(before + 1));
    }
    QCOMPARE(w.windowTitle(), QStringLiteral("青云 第2章"));
    const int before = h.completions;
    pressWhereTheKeysAre(Qt::Key_Right);
    QVERIFY2(h.waitComplete(before + 1, 10000), qPrintable(QApplication::focusWidget()->metaObject()->className()));
    QCOMPARE(w.windowTitle(), QStringLiteral("青云 第3章"));
}

// The reader who goes to the address box while the page loads keeps it there.
void TestResume::addressBoxChosenWhileLoadingKeepsTheKeys()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QApplication::setActiveWindow(&w);
    QVERIFY(h.type(at(1)));
    FServer.delayAnswers(800);
    const int before = h.completions;
    w.WB1->Navigate(at(4));
    QVERIFY(waitUntil([&] { return w.windowTitle() == QStringLiteral("正在打开..."); }, 5000));
    QTest::mouseClick(w.EdUrl, Qt::LeftButton);
    QVERIFY(h.waitComplete(before + 1));
    FServer.delayAnswers(0);
    spin(100);
    QCOMPARE(QApplication::focusWidget(), w.EdUrl);
}

// Half way through a long chapter, to the start page and back: the chapter
// opens where it was left, after a restart too, and at the same share of a
// chapter that has grown meanwhile.
void TestResume::placeInTheChapterComesBack()
{
    const QString page = FServer.url("/long/1.html");
    LektoHarness h;
    {
        TFLekto &w = h.open();
        QVERIFY(h.type(page));
        h.js(QStringLiteral("window.scrollTo(0,document.documentElement.scrollHeight*0.5)"));
        QVERIFY(waitUntil([&] { return w.WB1->ScrollRatio() > 0.45; }, 5000));
        w.BtnStart->click();
        QVERIFY(h.waitComplete(3));
        QVERIFY(h.mouseClickLink(page));
        QVERIFY(waitUntil([&] { return qAbs(shownRatio(h) - 0.5) < 0.02; }, 5000));

        // Further on, then the program ends while the reader is there.
        h.js(QStringLiteral("window.scrollTo(0,document.documentElement.scrollHeight*0.7)"));
        QVERIFY(waitUntil([&] { return w.WB1->ScrollRatio() > 0.65; }, 5000));
        w.FormClose();
        h.window.reset();
    }
    QVERIFY(QFileInfo::exists(h.dir.filePath(QString::fromLatin1(TReadingPlaces::kFileName))));
    {
        TFLekto &w = h.open();
        QVERIFY(h.mouseClickLink(page));
        QCOMPARE(w.windowTitle(), QStringLiteral("青云 第1章"));
        QVERIFY2(waitUntil([&] { return qAbs(shownRatio(h) - 0.7) < 0.02; }, 5000), qPrintable(QString::number(shownRatio(h))));
        // The view learns of a scroll from the renderer a moment after the
        // page has made it; the place is taken from what the view knows.
        QVERIFY(waitUntil([&] { return w.WB1->ScrollRatio() > 0.65; }, 5000));

        // The chapter is twice as long now: the same share of it.
        FServer.route("/long/1.html", chapter(1, 1200));
        w.BtnStart->click();
        QVERIFY(h.waitComplete(3));
        QVERIFY(h.mouseClickLink(page));
        QVERIFY2(waitUntil([&] { return qAbs(shownRatio(h) - 0.7) < 0.02; }, 5000), qPrintable(QString::number(shownRatio(h))));
        // Opened otherwise, a page starts at its top as ever.
        QVERIFY(h.type(at(1)));
        QVERIFY(h.type(page));
        QCOMPARE(h.js(QStringLiteral("window.scrollY")).toInt(), 0);
        FServer.route("/long/1.html", chapter(1, 600));
    }
    QVERIFY(h.errors.isEmpty());
}

void TestResume::placementOnScreens_data()
{
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QRect>("expected");
    // The primary first, then a screen to its right.
    QTest::newRow("as left, on the primary") << QRect(100, 80, 700, 500) << "A" << QRect(100, 80, 700, 500);
    QTest::newRow("as left, on the second screen") << QRect(2000, 100, 700, 500) << "B" << QRect(2000, 100, 700, 500);
    QTest::newRow("screen gone: centred on the primary") << QRect(5000, 100, 700, 500) << "C" << QRect(290, 170, 700, 500);
    QTest::newRow("larger than the screen: fitted") << QRect(0, 0, 3000, 2000) << "A" << QRect(0, 0, 1280, 840);
    QTest::newRow("a little off the edge: pulled in") << QRect(700, 400, 700, 500) << "A" << QRect(580, 340, 700, 500);
    QTest::newRow("mostly off the edge: centred") << QRect(1000, 600, 700, 500) << "A" << QRect(290, 170, 700, 500);
}

void TestResume::placementOnScreens()
{
    QFETCH(QRect, saved);
    QFETCH(QString, screen);
    QFETCH(QRect, expected);
    const QList<TScreenArea> screens{{QStringLiteral("A"), QRect(0, 0, 1280, 840)}, {QStringLiteral("B"), QRect(1280, 0, 1920, 1040)}};
    QCOMPARE(PlaceOnScreens(saved, screen, screens), expected);
}

// Sized by the reader, the window comes back so; full-screen reading is not
// kept, the window before it is.
void TestResume::windowComesBackAsLeft()
{
    LektoHarness h;
    {
        TFLekto &w = h.open(false);
        w.ShowWithSavedPlacement();
        QVERIFY(w.isMaximized()); // the first time
        w.showNormal();
        w.setGeometry(30, 40, 720, 480);
        QVERIFY(waitUntil([&] { return w.geometry() == QRect(30, 40, 720, 480); }, 3000));
        w.EnterFullScreen();
        w.FormClose();
        h.window.reset();
    }
    TFLekto &w = h.open(false);
    w.ShowWithSavedPlacement();
    QVERIFY(waitUntil([&] { return w.isVisible(); }, 3000));
    QVERIFY(!w.isMaximized());
    QVERIFY(!w.IsFullScreen());
    QCOMPARE(w.geometry(), QRect(30, 40, 720, 480));
}

void TestResume::zoomSteps_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("to");
    QTest::newRow("100 in") << 100 << 1 << 110;
    QTest::newRow("100 out") << 100 << -1 << 90;
    QTest::newRow("to a preset") << 125 << 1 << 150;
    QTest::newRow("between steps in") << 137 << 1 << 150;
    QTest::newRow("between steps out") << 137 << -1 << 125;
    QTest::newRow("top stays") << 1000 << 1 << 1000;
    QTest::newRow("bottom stays") << 10 << -1 << 10;
    QTest::newRow("below the range") << 3 << 1 << 25;
    QTest::newRow("above the range") << 5000 << -1 << 750;
}

void TestResume::zoomSteps()
{
    QFETCH(int, from);
    QFETCH(int, direction);
    QFETCH(int, to);
    QCOMPARE(ZoomStep(from, direction), to);
}

// Ctrl+=, Ctrl++, Ctrl+-, Ctrl+0 and Ctrl with the wheel zoom the page; the
// zoom box shows what is in force, and the hint line says it.
void TestResume::zoomKeysAndWheel()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QApplication::setActiveWindow(&w);
    WBZoom = new TWBZoom(&w);
    QVERIFY(h.type(at(1)));
    pressWhereTheKeysAre(Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(w.FZoom, 110);
    QCOMPARE(WBZoom->SpinEdit1->value(), 110);
    QCOMPARE(w.pHint->Caption(), QStringLiteral("缩放：110%"));
    QVERIFY(qFuzzyCompare(w.WB1->zoomFactor(), 1.1));
    pressWhereTheKeysAre(Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(w.FZoom, 125);
    pressWhereTheKeysAre(Qt::Key_Minus, Qt::ControlModifier);
    pressWhereTheKeysAre(Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(w.FZoom, 100);
    pressWhereTheKeysAre(Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(w.pHint->Caption(), QStringLiteral("缩放：90%"));
    pressWhereTheKeysAre(Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(w.FZoom, 100);

    // The wheel: the engine's own zoom would leave the box behind.
    QWidget *page = w.WB1->focusProxy();
    const QPointF p(100, 100);
    QWheelEvent up(p, page->mapToGlobal(p), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(page, &up);
    QCOMPARE(w.FZoom, 110);
    QCOMPARE(WBZoom->SpinEdit1->value(), 110);
    spin(300);
    QVERIFY(qFuzzyCompare(w.WB1->zoomFactor(), 1.1));
    // A touchpad's small turns add up to a step.
    for (int i = 0; i < 3; ++i) {
        QWheelEvent small(p, page->mapToGlobal(p), QPoint(), QPoint(0, -40), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(page, &small);
    }
    QCOMPARE(w.FZoom, 100);
    // The hint goes back to saying nothing a moment later.
    QVERIFY(waitUntil([&] { return w.pHint->Caption().isEmpty(); }, 5000));
    delete WBZoom;
    WBZoom = nullptr;
}

// The mode on is told at a glance, and in words when it changes.
void TestResume::chosenModeShows()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(w.pFull->Checked());
    QVERIFY(!w.pHalf->Checked());
    QTest::mouseClick(w.pHalf, Qt::LeftButton);
    QVERIFY(h.waitComplete(2));
    QVERIFY(!w.IsPureMode());
    QVERIFY(w.pHalf->Checked());
    QVERIFY(!w.pFull->Checked());
    QCOMPARE(w.pHint->Caption(), QStringLiteral("已切换到半纯净模式"));
    // Drawn differently, not only a bevel apart.
    const QImage half = w.pHalf->grab().toImage();
    const QImage full = w.pFull->grab().toImage();
    QVERIFY(half.pixelColor(half.width() / 2, 3) != full.pixelColor(full.width() / 2, 3));
    QTest::mouseClick(w.pFull, Qt::LeftButton);
    QVERIFY(h.waitComplete(3));
    QVERIFY(w.pFull->Checked());
    QCOMPARE(w.pHint->Caption(), QStringLiteral("已切换到纯净模式"));
}

// With no browser of the system's, the reader is told, with the address,
// which is on the clipboard.
void TestResume::addressNoBrowserTookIsHandedOver()
{
    LektoHarness h;
    TFLekto &w = h.open();
    h.desktopOpens = false;
    QTest::mouseClick(w.BtnTieba, Qt::LeftButton);
    QCOMPARE(h.opened.size(), 1);
    QCOMPARE(w.pHint->Caption(), QStringLiteral("无法用系统浏览器打开，网址已复制：") + h.opened.constFirst());
    QCOMPARE(QGuiApplication::clipboard()->text(), h.opened.constFirst());
    h.desktopOpens = true;
}

// Words in the address box get the page saying they are no address, with a
// search of them through the strip's search.
void TestResume::wordsCanBeSearched()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(QStringLiteral("剑出青云 第八章")));
    QCOMPARE(w.windowTitle(), QStringLiteral("无法打开此网页"));
    const QString href = h.js(QStringLiteral("(function(){var a=document.querySelector('a');return a?a.href:'';})()")).toString();
    QCOMPARE(QUrl(href), QUrl(QStringLiteral("https://www.baidu.com/s?wd=%E5%89%91%E5%87%BA%E9%9D%92%E4%BA%91%20%E7%AC%AC%E5%85%AB%E7%AB%A0")));
    QVERIFY(h.js(QStringLiteral("document.body.innerText")).toString().contains(QStringLiteral("搜索“剑出青云 第八章”")));
}

LEKTO_WEB_TEST_MAIN(TestResume)
#include "tst_resume.moc"
