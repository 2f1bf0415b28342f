// The promotional strip above the start page, on the real main window.
#include "filechoice.h"
#include "filefaults.h"
#include "forms.h"
#include "lektoharness.h"
#include "lektolinks.h"
#include "strip.h"
#include "testhttpserver.h"
#include "timage.h"

#include <QtGui/QEnterEvent>
#include <QtWidgets/QToolTip>

namespace {

// The main window with its board, wired as the program does.
struct StripHarness : LektoHarness {
    TFLektoLinks *board = nullptr;

    TFLekto &openWithBoard()
    {
        TFLekto &w = open();
        board = new TFLektoLinks(dir.filePath(QStringLiteral("CustomLinks")), w.picmore->Picture(),
                                 [&w](const QString &url) { w.IEOpen(url); }, &w);
        FLektoLinks = board;
        return w;
    }
    ~StripHarness() { FLektoLinks = nullptr; }

    QList<TImage *> pictures() const
    {
        return {window->picKfw, window->picamazon, window->pictaobao, window->picbaidu, window->picmore};
    }
};

void enter(QWidget *w)
{
    QEnterEvent e(QPointF(5, 5), w->mapTo(w->window(), QPointF(5, 5)), w->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(w, &e);
}

void leave(QWidget *w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

} // namespace

class TestStrip : public QObject
{
    Q_OBJECT

    TestHttpServer FServer;

private slots:
    void initTestCase() { FServer.route("/book/1.html", "<title>第1章</title><p>正文</p>"); }

    void layout();
    void clicksOpenTheirSites_data();
    void clicksOpenTheirSites();
    void rightClickHidesWithoutOpening_data();
    void rightClickHidesWithoutOpening();
    void hints();
    void tooltipOnlyBetweenThePictures();
    void visibilityFollowsTheStartPage();
    void boardFromTheStripAndTheStartButton();
};

void TestStrip::layout()
{
    StripHarness h;
    TFLekto &w = h.openWithBoard();
    QCOMPARE(w.pads->height(), 100);
    QVERIFY(w.pads->isVisible());
    const QList<TImage *> pictures = h.pictures();
    for (int i = 0; i < kStripPictureCount; ++i) {
        TImage *p = pictures[i];
        QCOMPARE(p->objectName(), QString::fromLatin1(kStripPictures[i].name));
        QCOMPARE(p->Tag(), kStripPictures[i].tag);
        QCOMPARE(p->geometry(), QRect(170 * i, 0, 170, 100));
        QCOMPARE(p->Picture().size(), QSize(170, 100));
        QCOMPARE(p->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(p->toolTip().isEmpty());
        QVERIFY(p->isVisible());
    }
    QCOMPARE(QList<int>({w.picKfw->Tag(), w.picamazon->Tag(), w.pictaobao->Tag(), w.picbaidu->Tag(), w.picmore->Tag()}),
             QList<int>({0, 1, 2, 4, 5}));
    // The board's empty tiles show the custom links picture.
    QDir().mkpath(h.dir.filePath("CustomLinks"));
    TFLektoLinks board(h.dir.filePath("CustomLinks"), w.picmore->Picture(), [](const QString &) {});
    QList<TImage *> layers = board.TileList[0]->parentWidget()->findChildren<TImage *>();
    QCOMPARE(layers.size(), 2);
    layers.removeOne(board.TileList[0]);
    QCOMPARE(layers[0]->Picture().toImage(), w.picmore->Picture().toImage());
}

void TestStrip::clicksOpenTheirSites_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < 4; ++i)
        QTest::newRow(kStripPictures[i].name) << i;
}

void TestStrip::clicksOpenTheirSites()
{
    QFETCH(int, index);
    StripHarness h;
    TFLekto &w = h.openWithBoard();
    const QString page = w.EdUrl->text();
    QTest::mouseClick(h.pictures()[index], Qt::LeftButton);
    const QString address = QString::fromLatin1(kStripPictures[index].address);
    QCOMPARE(h.opened, QStringList{address});
    // Plain home pages of the kind the hint names, with nothing to track the click.
    const QUrl url(address);
    QCOMPARE(url.scheme(), QStringLiteral("https"));
    QVERIFY(!url.hasQuery() && !url.hasFragment());
    // Outside the program: the view, the strip and the board stay as they were.
    spin(200);
    QCOMPARE(h.completions, 1);
    QCOMPARE(w.EdUrl->text(), page);
    QVERIFY(w.pads->isVisible());
    QVERIFY(!h.board->isVisible());
}

void TestStrip::rightClickHidesWithoutOpening_data()
{
    QTest::addColumn<int>("index"); // -1: the strip beside the pictures
    for (int i = 0; i < kStripPictureCount; ++i)
        QTest::newRow(kStripPictures[i].name) << i;
    QTest::newRow("strip") << -1;
}

void TestStrip::rightClickHidesWithoutOpening()
{
    QFETCH(int, index);
    StripHarness h;
    TFLekto &w = h.openWithBoard();
    const int webTop = w.WB1->geometry().top();
    if (index < 0) {
        QVERIFY(!w.pads->childAt(w.pads->width() - 4, 50)); // beside the pictures
        QTest::mouseClick(w.pads, Qt::LeftButton, {}, QPoint(w.pads->width() - 4, 50));
        QVERIFY(w.pads->isVisible());
        QTest::mouseClick(w.pads, Qt::RightButton, {}, QPoint(w.pads->width() - 4, 50));
    } else {
        QTest::mouseClick(h.pictures()[index], Qt::RightButton);
    }
    QVERIFY(!w.pads->isVisible());
    QCOMPARE(h.opened, QStringList());
    QVERIFY(!h.board->isVisible());
    // The view takes the strip's place.
    QVERIFY(waitUntil([&] { return w.WB1->geometry().top() == webTop - 100; }, 2000));
}

void TestStrip::hints()
{
    StripHarness h;
    TFLekto &w = h.openWithBoard();
    const QList<TImage *> pictures = h.pictures();
    for (int i = 0; i < kStripPictureCount; ++i) {
        w.pHint->SetCaption(QStringLiteral("正在打开 http://status.text/")); // the view's status text
        enter(pictures[i]);
        QCOMPARE(w.pHint->Caption(), QStringLiteral("[右击隐藏]  ") + QString::fromUtf8(kStripPictures[i].hint));
        leave(pictures[i]);
        QCOMPARE(w.pHint->Caption(), QString());
    }
    QCOMPARE(QString::fromUtf8(kStripPictures[3].hint), QStringLiteral("熊掌一下，你就知道。。"));
}

void TestStrip::tooltipOnlyBetweenThePictures()
{
    StripHarness h;
    TFLekto &w = h.openWithBoard();
    QCOMPARE(w.pads->toolTip(), QStringLiteral("右击可隐藏。"));
    auto help = [](QWidget *on, QPoint at) {
        QHelpEvent e(QEvent::ToolTip, at, on->mapToGlobal(at));
        QApplication::sendEvent(on, &e);
        return e.isAccepted();
    };
    // A picture takes the request and shows nothing; the strip's own space shows the tooltip.
    QVERIFY(help(w.picamazon, QPoint(20, 20)));
    QVERIFY(!QToolTip::isVisible());
    help(w.pads, QPoint(w.pads->width() - 4, 50));
    QCOMPARE(QToolTip::text(), QStringLiteral("右击可隐藏。"));
    QToolTip::hideText();
}

void TestStrip::visibilityFollowsTheStartPage()
{
    StripHarness h;
    TFLekto &w = h.openWithBoard();
    QVERIFY(h.type(FServer.url("/book/1.html")));
    QVERIFY(!w.pads->isVisible()); // a completed page hides it
    QTest::mouseClick(w.BtnStart, Qt::RightButton); // toggles the board only
    QVERIFY(!w.pads->isVisible());
    QVERIFY(h.board->isVisible());
    h.board->ToShow();
    w.BtnStart->click();
    QVERIFY(w.pads->isVisible());
    QVERIFY(h.waitComplete(3));
    QVERIFY(w.pads->isVisible()); // the start page leaves it shown
}

void TestStrip::boardFromTheStripAndTheStartButton()
{
    StripHarness h;
    TFLekto &w = h.openWithBoard();
    TFLektoLinks &board = *h.board;
    QTest::mouseClick(w.picmore, Qt::LeftButton);
    QVERIFY(board.isVisible());
    QTest::mouseClick(w.picmore, Qt::LeftButton); // open: the click closes it
    QVERIFY(!board.isVisible());
    QTest::mouseClick(w.BtnStart, Qt::RightButton);
    QVERIFY(board.isVisible());

    // A tile given a picture and an address opens the site through the main window.
    const QString picture = h.dir.filePath("tile.png");
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QVERIFY(image.save(picture));
    auto previous = FileChoice::openFile;
    FileChoice::openFile = [&](QWidget *, const QString &) { return picture; };
    QTest::mouseClick(board.TileList[0], Qt::RightButton);
    board.Button1->click();
    FileChoice::openFile = previous;
    board.Edit1->setText(QStringLiteral("https://www.example.com/"));
    QTest::keyClick(board.Edit1, Qt::Key_Return);
    QTest::mouseClick(board.TileList[0], Qt::LeftButton);
    QCOMPARE(h.opened, QStringList{"https://www.example.com/"});
    QVERIFY(!board.isVisible());
    QCOMPARE(fileBytes(h.dir.filePath("CustomLinks/Img1.jpg")), fileBytes(picture));
    QCOMPARE(h.errors, QStringList());
}

LEKTO_WEB_TEST_MAIN(TestStrip)
#include "tst_strip.moc"
