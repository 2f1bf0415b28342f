// The pictures of the custom link tiles: loading them at start, setting and
// deleting them, and what failures leave behind.
#include "linksboard.h"

#include <QtWidgets/QPushButton>

class TestLinkPictures : public QObject
{
    Q_OBJECT

private slots:
    void picturesAtStart_data();
    void picturesAtStart();
    void settingAPictureCopiesItsBytes();
    void failedPictureChoicesLeaveTheOldPicture_data();
    void failedPictureChoicesLeaveTheOldPicture();
    void deletingAPicture();
};

void TestLinkPictures::picturesAtStart_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("decodes");
    const QByteArray good = jpeg(170, 100);
    QTest::newRow("tile-sized") << good << true;
    QTest::newRow("truncated") << good.left(good.size() / 3) << false;
    QTest::newRow("not a picture") << QByteArray("<html>not a picture</html>") << false;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("png under a .jpg name") << encodeImage(QImage(40, 40, QImage::Format_RGB32), "png") << true;
    // 12000 x 12000: decoded at the tile's size, not at its own.
    QImage huge(12000, 12000, QImage::Format_Grayscale8);
    huge.fill(Qt::gray);
    QTest::newRow("huge") << encodeImage(huge, "jpg", 30) << true;
}

void TestLinkPictures::picturesAtStart()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, decodes);
    Board b;
    b.makeFolder();
    QVERIFY(writeBytes(b.inLinks("links.txt"), crlfLines(numbered(16))));
    QVERIFY(writeBytes(b.inLinks("Img1.jpg"), jpeg(170, 100)));
    QVERIFY(writeBytes(b.inLinks("Img2.jpg"), bytes));
    QVERIFY(writeBytes(b.inLinks("Img16.jpg"), jpeg(170, 100)));
    TFLektoLinks &w = b.open();
    QCOMPARE(b.errors, QStringList());
    QCOMPARE(b.tile(2)->HasPicture(), decodes);
    if (decodes)
        QCOMPARE(b.tile(2)->Picture().size(), b.tile(2)->size());
    for (int i = 1; i <= 16; ++i) {
        QVERIFY(b.hasPlaceholder(i));
        QCOMPARE(b.tile(i)->HasPicture(), i == 1 || i == 16 || (i == 2 && decodes));
    }
    QCOMPARE(w.Links.line(15), QStringLiteral("http://host/16"));
    QCOMPARE(fileBytes(b.inLinks("Img2.jpg")), bytes); // nothing is rewritten at start
}

void TestLinkPictures::settingAPictureCopiesItsBytes()
{
    Board b; // no folder yet: the picture creates it
    TFLektoLinks &w = b.open();
    const QString chosen = b.dir.filePath(QStringLiteral("photo.jpg"));
    const QByteArray bytes = jpeg(640, 480, Qt::red);
    QVERIFY(writeBytes(chosen, bytes));
    QTest::mouseClick(b.tile(9), Qt::RightButton);
    w.Edit1->setText(QStringLiteral("typed, not saved"));
    b.fileAnswers << QString(); // cancelled
    w.Button1->click();
    QVERIFY(!b.tile(9)->HasPicture());
    b.fileAnswers << chosen;
    w.Button1->click();
    QVERIFY(b.tile(9)->HasPicture());
    QCOMPARE(b.tile(9)->Picture().size(), QSize(166, 96));
    QCOMPARE(fileBytes(b.inLinks("Img9.jpg")), bytes); // an exact copy, not a re-encoding
    QVERIFY(propertyOpen(w));
    QCOMPARE(w.Edit1->text(), QStringLiteral("typed, not saved"));
    QVERIFY(!QFileInfo::exists(b.inLinks("links.txt"))); // the link line is not touched
    QCOMPARE(b.errors, QStringList());
}

void TestLinkPictures::failedPictureChoicesLeaveTheOldPicture_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("not a picture") << "not a picture";
    QTest::newRow("missing file") << "missing file";
    QTest::newRow("full disk") << "full disk";
}

void TestLinkPictures::failedPictureChoicesLeaveTheOldPicture()
{
    QFETCH(QString, fault);
    Board b;
    b.makeFolder();
    const QByteArray old = jpeg(170, 100, Qt::blue);
    QVERIFY(writeBytes(b.inLinks("Img4.jpg"), old));
    TFLektoLinks &w = b.open();
    const QImage shown = b.tile(4)->Picture().toImage();
    const QString chosen = b.dir.filePath(QStringLiteral("chosen.jpg"));
    if (fault == QLatin1String("not a picture"))
        QVERIFY(writeBytes(chosen, "PK\3\4 a zip file"));
    else if (fault == QLatin1String("full disk"))
        QVERIFY(writeBytes(chosen, jpeg(1600, 1200, Qt::green)));
    QTest::mouseClick(b.tile(4), Qt::RightButton);
    b.fileAnswers << chosen;
    {
        FileSizeLimit limit(fault == QLatin1String("full disk") ? old.size() + 10 : RLIM_INFINITY);
        w.Button1->click();
    }
    QCOMPARE(b.errors, QStringList()); // failures here are silent
    QCOMPARE(fileBytes(b.inLinks("Img4.jpg")), old);
    QCOMPARE(QDir(b.linksDir()).entryList(QDir::Files), QStringList{"Img4.jpg"});
    if (fault == QLatin1String("full disk")) // the decoded picture shows though its file could not be written
        QVERIFY(b.tile(4)->Picture().toImage() != shown);
    else
        QCOMPARE(b.tile(4)->Picture().toImage(), shown);
}

void TestLinkPictures::deletingAPicture()
{
    Board b;
    b.makeFolder();
    QVERIFY(writeBytes(b.inLinks("Img6.jpg"), jpeg(170, 100)));
    QVERIFY(writeBytes(b.inLinks("links.txt"), crlfLines(numbered(16))));
    TFLektoLinks &w = b.open();
    QTest::mouseClick(b.tile(6), Qt::RightButton);
    w.Button2->click();
    QVERIFY(!b.tile(6)->HasPicture());
    QVERIFY(b.hasPlaceholder(6));
    QVERIFY(!QFileInfo::exists(b.inLinks("Img6.jpg")));
    QVERIFY(propertyOpen(w));
    w.Button2->click(); // the file is gone already: nothing to report
    QCOMPARE(b.errors, QStringList());
    QCOMPARE(TLinksFile::load(b.inLinks("links.txt")).line(5), QStringLiteral("http://host/6"));

    // Without its picture the tile still opens its address.
    w.ToShow();
    QTest::mouseClick(b.tile(6), Qt::LeftButton);
    QCOMPARE(b.opened, QStringList{QStringLiteral("http://host/6")});
    QVERIFY(!w.isVisible());
}

QTEST_MAIN(TestLinkPictures)
#include "tst_linkpictures.moc"
