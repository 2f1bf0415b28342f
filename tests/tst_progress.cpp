#include "lektoharness.h"
#include "lektoprog.h"
#include "progressframe.h"
#include "testhttpserver.h"

#include <QtGui/QPainter>
#include <QtWidgets/QLabel>

#include <cmath>
#include <climits>

namespace {

enum class Tone { Transparent, Blue, Grey, Other };

Tone tone(QRgb p)
{
    if (qAlpha(p) == 0)
        return Tone::Transparent;
    const int r = qRed(p), g = qGreen(p), b = qBlue(p);
    if (b > r + 60 && b > g + 30)
        return Tone::Blue;
    if (std::abs(r - g) < 12 && std::abs(g - b) < 12 && r > 120)
        return Tone::Grey; // the light grey of the ring, not the dark rim or centre
    return Tone::Other;
}

// What the reader sees: the background picture with the frame on top, in device pixels.
QImage composite(const QImage &background, const QImage &frame)
{
    QImage out(background.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QImage bg = background, fg = frame;
    bg.setDevicePixelRatio(1);
    fg.setDevicePixelRatio(1);
    QPainter p(&out);
    p.drawImage(0, 0, bg);
    p.drawImage(0, 0, fg);
    return out;
}

// The ring's pixel at a clockwise angle from twelve o'clock, halfway across the ring.
QRgb ringPixel(const QImage &image, double degrees)
{
    const double r = image.width() / 2.0;
    const double a = qDegreesToRadians(degrees);
    const double d = r * 0.76;
    return image.pixel(int(r + d * std::sin(a)), int(r - d * std::cos(a)));
}

QImage pixmapImage(const QLabel *label)
{
    return label->pixmap().toImage();
}

} // namespace

class TestProgress : public QObject
{
    Q_OBJECT

private slots:
    void progressByShowsPercentage_data();
    void progressByShowsPercentage();
    void outOfRangeChangesNothing();
    void endPoints_data();
    void endPoints();
    void framesByPixels_data();
    void framesByPixels();
    void picturesForEveryRatio_data();
    void picturesForEveryRatio();
    void ringAtScreenRatio();
    void labelCentred();
    void followsARealLoad();
};

void TestProgress::progressByShowsPercentage_data()
{
    QTest::addColumn<int>("dMax");
    QTest::addColumn<int>("dProg");
    QTest::addColumn<int>("percent");
    QTest::newRow("a quarter") << 1000 << 250 << 25;
    QTest::newRow("a half") << 1000 << 500 << 50;
    QTest::newRow("both zero") << 0 << 0 << 100;
    QTest::newRow("both negative") << -1 << -1 << 100;
    QTest::newRow("negative progress") << 1000 << -1 << 0;
    QTest::newRow("zero maximum") << 0 << 10 << 0;
    QTest::newRow("12.5 to even") << 8 << 1 << 12;
    QTest::newRow("37.5 to even") << 8 << 3 << 38;
    QTest::newRow("62.5 to even") << 8 << 5 << 62;
    QTest::newRow("a third") << 3 << 1 << 33;
    QTest::newRow("just short of done") << 1000 << 999 << 100;
    // Reports beyond their maximum show as done instead of wrapping round
    // (300 % would otherwise show as 44 %).
    QTest::newRow("three times the maximum") << 100 << 300 << 100;
    QTest::newRow("beyond the maximum by one") << 100 << 101 << 100;
    QTest::newRow("the largest progress") << 1 << INT_MAX << 100;
    QTest::newRow("the largest maximum") << INT_MAX << INT_MAX / 2 << 50;
}

void TestProgress::progressByShowsPercentage()
{
    QFETCH(int, dMax);
    QFETCH(int, dProg);
    QFETCH(int, percent);
    QWidget owner;
    owner.resize(859, 50);
    TLektoProgImg ring(&owner);
    ring.Progress(percent == 0 ? 1 : 0); // something else first: the report must change it
    ring.ProgressBy(dMax, dProg);
    QCOMPARE(ring.Percent(), percent);
    QCOMPARE(ring.L->text(), QString::number(percent) + QLatin1Char('%'));
    QCOMPARE(pixmapImage(ring.Img), ProgressFrame(ring.Bmp, percent));
}

void TestProgress::outOfRangeChangesNothing()
{
    QWidget owner;
    owner.resize(200, 50);
    TLektoProgImg ring(&owner);
    QCOMPARE(ring.size(), QSize(50, 50)); // the smaller side of its owner
    QCOMPARE(ring.Percent(), 0);
    QCOMPARE(ring.L->text(), QStringLiteral("0%"));
    ring.Progress(37);
    const QImage shown = pixmapImage(ring.Img);
    for (int bad : {101, 150, 255, 256, 300, -1})
        ring.Progress(bad);
    QCOMPARE(ring.Percent(), 37);
    QCOMPARE(ring.L->text(), QStringLiteral("37%"));
    QCOMPARE(pixmapImage(ring.Img), shown);
}

void TestProgress::endPoints_data()
{
    QTest::addColumn<int>("per");
    QTest::addColumn<int>("side");
    QTest::addColumn<QPoint>("end");
    QTest::newRow("0") << 0 << 50 << QPoint(25, 0);
    QTest::newRow("25") << 25 << 50 << QPoint(50, 25);
    QTest::newRow("50") << 50 << 50 << QPoint(25, 50);
    QTest::newRow("75") << 75 << 50 << QPoint(0, 25);
    // 25 sin 43.2° = 17.11, 25 cos 43.2° = 18.22
    QTest::newRow("12") << 12 << 50 << QPoint(42, 7);
    // 25 sin 223.2° = -17.11, 25 cos 223.2° = -18.22
    QTest::newRow("62") << 62 << 50 << QPoint(8, 43);
    // 25 sin 3.6° = 1.57
    QTest::newRow("99") << 99 << 50 << QPoint(23, 0);
    QTest::newRow("12 on a dense screen") << 12 << 100 << QPoint(84, 14);
    QTest::newRow("50 on a dense screen") << 50 << 100 << QPoint(50, 100);
}

void TestProgress::endPoints()
{
    QFETCH(int, per);
    QFETCH(int, side);
    QFETCH(QPoint, end);
    QCOMPARE(ProgressEndPoint(per, side, side), end);
}

void TestProgress::framesByPixels_data()
{
    QTest::addColumn<int>("per");
    QTest::addColumn<qreal>("ratio");
    for (qreal ratio : {1.0, 2.0})
        for (int per : {0, 1, 12, 25, 37, 50, 62, 75, 88, 99, 100})
            QTest::addRow("%d%% at ratio %g", per, ratio) << per << ratio;
}

void TestProgress::framesByPixels()
{
    QFETCH(int, per);
    QFETCH(qreal, ratio);
    const QImage bg = LoadRingPicture(QStringLiteral("ProgBg"), ratio);
    const QImage fg = LoadRingPicture(QStringLiteral("ProgBg2"), ratio);
    QVERIFY(!bg.isNull() && !fg.isNull());
    const QImage frame = ProgressFrame(fg, per);
    QCOMPARE(frame.size(), fg.size());
    QCOMPARE(frame.devicePixelRatio(), ratio);
    const QImage seen = composite(bg, frame);

    // Blue from twelve o'clock clockwise to the percentage, grey after it; the
    // degree or two around the two edges are left alone.
    const double done = per * 3.6;
    for (double a = 0.5; a < 360; a += 1.0) {
        if (std::abs(a - done) < 2.5 || (per > 0 && per < 100 && (a < 2.5 || a > 357.5)))
            continue;
        const Tone expected = a < done ? Tone::Blue : Tone::Grey;
        if (tone(ringPixel(seen, a)) != expected)
            QFAIL(qPrintable(QStringLiteral("at %1°: %2").arg(a).arg(ringPixel(seen, a), 8, 16)));
    }
    int blue = 0, greyRing = 0;
    const double r = seen.width() / 2.0;
    for (int y = 0; y < seen.height(); ++y)
        for (int x = 0; x < seen.width(); ++x) {
            const double d = std::hypot(x + 0.5 - r, y + 0.5 - r) / r;
            const Tone t = tone(seen.pixel(x, y));
            blue += t == Tone::Blue;
            if (d < 0.66 || d > 0.86)
                continue; // the ring only: the disc's soft outer edge is light too
            greyRing += t == Tone::Grey;
        }
    if (per == 0)
        QCOMPARE(blue, 0);
    if (per == 100)
        QCOMPARE(greyRing, 0);
    const int last = seen.width() - 1;
    for (QPoint corner : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last)}) {
        QCOMPARE(qAlpha(seen.pixel(corner)), 0);
        QCOMPARE(qAlpha(frame.pixel(corner)), 0);
    }
}

void TestProgress::picturesForEveryRatio_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<int>("side");
    QTest::newRow("1") << 1.0 << 50;
    QTest::newRow("1.25") << 1.25 << 63;
    QTest::newRow("1.5") << 1.5 << 75;
    QTest::newRow("2") << 2.0 << 100;
    QTest::newRow("3") << 3.0 << 150;
}

void TestProgress::picturesForEveryRatio()
{
    QFETCH(qreal, ratio);
    QFETCH(int, side);
    for (const QString &name : {QStringLiteral("ProgBg"), QStringLiteral("ProgBg2")}) {
        const QImage picture = LoadRingPicture(name, ratio);
        QCOMPARE(picture.size(), QSize(side, side));
        QCOMPARE(picture.devicePixelRatio(), ratio);
        QVERIFY(picture.hasAlphaChannel());
        QCOMPARE(qAlpha(picture.pixel(0, 0)), 0);          // white declared transparent
        QCOMPARE(qAlpha(picture.pixel(side / 2, side / 2)), 255);
    }
    QVERIFY(LoadRingPicture(QStringLiteral("NoSuchPicture"), ratio).isNull());
    QVERIFY(ProgressFrame(QImage(), 50).isNull());
}

// Run once as is and once under QT_SCALE_FACTOR=2: the ring has as many
// device pixels as the screen gives it.
void TestProgress::ringAtScreenRatio()
{
    QWidget owner;
    owner.resize(859, 50);
    TLektoProgImg ring(&owner);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    const qreal ratio = ring.devicePixelRatioF();
    QCOMPARE(ratio, qApp->devicePixelRatio());
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        QCOMPARE(ratio, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    ring.Progress(25);
    const int device = qRound(50 * ratio);
    for (const QLabel *image : {ring.ImgBg, ring.Img}) {
        QCOMPARE(image->pixmap().size(), QSize(device, device));
        QCOMPARE(image->pixmap().devicePixelRatio(), ratio);
    }
    QCOMPARE(ring.Bmp.size(), QSize(device, device));
    // The frame is cut at this many pixels, not scaled from a smaller one.
    QCOMPARE(pixmapImage(ring.Img), ProgressFrame(LoadRingPicture(QStringLiteral("ProgBg2"), ratio), 25));

    const QImage shot = ring.grab().toImage();
    QCOMPARE(shot.size(), QSize(device, device));
    QCOMPARE(tone(ringPixel(shot, 45)), Tone::Blue);
    QCOMPARE(tone(ringPixel(shot, 135)), Tone::Grey);
}

void TestProgress::labelCentred()
{
    QWidget owner;
    owner.resize(859, 50);
    TLektoProgImg ring(&owner);
    ring.Progress(100);
    QFont big = owner.font();
    big.setPixelSize(17); // the toolbar's font, changed after the ring was made
    owner.setFont(big);
    const int h = QFontMetrics(ring.L->font()).height() + 2;
    QCOMPARE(ring.L->geometry(), QRect(0, (50 - h) / 2, 50, h));
    QCOMPARE(ring.L->font(), owner.font());
    QCOMPARE(ring.L->palette().color(QPalette::WindowText), QColor(Qt::white));
    QVERIFY(ring.L->alignment() & Qt::AlignHCenter);
    QCOMPARE(ring.ImgBg->geometry(), ring.rect());
    QCOMPARE(ring.Img->geometry(), ring.rect());
}

void TestProgress::followsARealLoad()
{
    TestHttpServer server;
    QByteArray body = "<html><head><title>chapter</title></head><body>";
    for (int i = 0; i < 40; ++i)
        body += "<p>" + QByteArray(2000, 'x') + "</p><iframe src='/frame" + QByteArray::number(i) + ".html'></iframe>";
    body += "</body></html>";
    server.route("/chapter.html", body);
    for (int i = 0; i < 40; ++i)
        server.route("/frame" + QByteArray::number(i) + ".html", "<p>frame</p>");

    LektoHarness h;
    TFLekto &w = h.open();
    QCOMPARE(w.FProg->Percent(), 100); // the start page is complete
    QList<int> shown;
    auto report = w.WB1->OnProgressChange;
    w.WB1->OnProgressChange = [&](TBrowserView *v, int progress, int max) {
        report(v, progress, max);
        shown << w.FProg->Percent();
    };
    QVERIFY(h.type(server.url("/chapter.html")));
    waitUntil([&] { return !shown.isEmpty() && shown.last() == 100; }, 5000);
    QVERIFY2(!shown.isEmpty(), "no progress reported");
    QCOMPARE(shown.last(), 100);
    QCOMPARE(w.FProg->L->text(), QStringLiteral("100%"));
    QVERIFY2(std::any_of(shown.begin(), shown.end(), [](int p) { return p > 0 && p < 100; }),
             qPrintable(QStringLiteral("only %1").arg(QVariant::fromValue(shown).toStringList().join(' '))));
    QVERIFY(std::is_sorted(shown.begin(), shown.end()));
    qInfo() << "percentages shown:" << shown;
}

LEKTO_WEB_TEST_MAIN(TestProgress)
#include "tst_progress.moc"
