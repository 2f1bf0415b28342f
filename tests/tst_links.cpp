// The custom links board on its real window: its layout, its lines and their
// saving, with the system's browser, the file dialog and the error report scripted.
#include "linksboard.h"

#include <QtGui/QClipboard>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>

class TestLinks : public QObject
{
    Q_OBJECT

private slots:
    void controlTree();
    void showingTogglesAndCentres();
    void firstStartWithoutFolder();
    void linesArePaddedAndKept_data();
    void linesArePaddedAndKept();
    void clickOpensOrEdits_data();
    void clickOpensOrEdits();
    void pasteAndSave_data();
    void pasteAndSave();
    void escapeKeepsTheUnsavedEdit_data();
    void escapeKeepsTheUnsavedEdit();
    void failedSavesKeepTheOldFile_data();
    void failedSavesKeepTheOldFile();
    void unreadableLinksFileIsNeverOverwritten();
};

void TestLinks::controlTree()
{
    Board b;
    TFLektoLinks &w = b.open();
    w.show();
    QCoreApplication::processEvents(); // the rows lay themselves out
    QCOMPARE(w.windowTitle(), QStringLiteral("自定义链接——右击图片可设置 新的图片和链接"));
    QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(w.size(), QSize(735, 521));
    QCOMPARE(w.font().pixelSize(), 11);

    // Bands from the top, in order and height.
    const QList<QPair<QFrame *, int>> bands = {{w.Panel40, 20}, {w.Panel1, 102}, {w.Panel21, 15}, {w.Panel31, 100},
                                               {w.Panel20, 15}, {w.Panel22, 100}, {w.Panel41, 15}, {w.Panel11, 100}};
    int top = bands.first().first->y();
    for (const auto &[band, height] : bands) {
        QCOMPARE(band->y(), top);
        QCOMPARE(band->height(), height);
        top += height;
    }
    QCOMPARE(w.Panel4->height(), 10);
    QCOMPARE(w.Panel4->geometry().bottom(), w.pBody->height() - 4);

    for (int i = 1; i <= 16; ++i) {
        TImage *t = b.tile(i);
        QCOMPARE(t->objectName(), QStringLiteral("Img%1").arg(i));
        QCOMPARE(t->Tag(), i - 1);
        QCOMPARE(t->size(), i <= 4 ? QSize(166, 98) : QSize(166, 96));
        QCOMPARE(t->parentWidget()->x(), 10 + 180 * ((i - 1) % 4));
        QCOMPARE(t->parentWidget()->width(), 170);
        QCOMPARE(t->pos(), QPoint(2, 2));
        QCOMPARE(t->cursor().shape(), Qt::PointingHandCursor);
        // Each name stands above its tile.
        const QList<QLabel *> labels = bands[2 * ((i - 1) / 4)].first->findChildren<QLabel *>();
        QCOMPARE(labels.at((i - 1) % 4)->text(), t->objectName());
        QCOMPARE(labels.at((i - 1) % 4)->geometry(), QRect(10 + 180 * ((i - 1) % 4), 0, 180, labels[0]->height()));
    }

    QVERIFY(!propertyOpen(w));
    QTest::mouseClick(b.tile(5), Qt::RightButton);
    QVERIFY(propertyOpen(w));
    QCoreApplication::processEvents();
    QCOMPARE(w.pProperty->height(), 30);
    QCOMPARE(w.pProperty->geometry().bottom() + 1, w.Panel4->y());
    QCOMPARE(w.p1->text(), QStringLiteral("Img5 网址>>"));
    const QList<QPair<QWidget *, int>> strip = {{w.Button2, 64}, {w.Button1, 75}, {w.p1, 80}, {w.Edit1, -1}, {w.BtnOk, 75}};
    for (int i = 0; i < strip.size(); ++i) {
        if (strip[i].second > 0)
            QCOMPARE(strip[i].first->width(), strip[i].second);
        if (i > 0)
            QCOMPARE(strip[i].first->x(), strip[i - 1].first->geometry().right() + 1);
    }
    QCOMPARE(w.BtnOk->geometry().right(), w.pProperty->width() - 3);
    QCOMPARE(w.Button2->text(), QStringLiteral("删除图片"));
    QCOMPARE(w.Button1->text(), QStringLiteral("设置图片...."));
    QCOMPARE(w.BtnOk->text(), QStringLiteral("保存"));
    QCOMPARE(w.PopupMenu2->actions(), QList<QAction *>{w.N2});
    QCOMPARE(w.N2->text(), QStringLiteral("粘贴并保存"));
}

void TestLinks::showingTogglesAndCentres()
{
    Board b;
    TFLektoLinks &w = b.open();
    QVERIFY(!w.isVisible());
    const QPoint centre = w.screen()->availableGeometry().center();
    for (int round = 0; round < 2; ++round) {
        w.ToShow();
        QVERIFY(w.isVisible());
        QVERIFY2((w.frameGeometry().center() - centre).manhattanLength() <= 2, qPrintable(QStringLiteral("%1,%2 %3x%4 in %5,%6").arg(w.x()).arg(w.y()).arg(w.width()).arg(w.height()).arg(centre.x()).arg(centre.y())));
        w.move(0, 0);
        w.ToShow();
        QVERIFY(!w.isVisible());
    }
    w.show(); // the main window's F4: a shown board stays shown
    w.show();
    QVERIFY(w.isVisible());
}

void TestLinks::firstStartWithoutFolder()
{
    Board b;
    TFLektoLinks &w = b.open();
    for (int i = 1; i <= 16; ++i) {
        QVERIFY(!b.tile(i)->HasPicture());
        QVERIFY(!b.hasPlaceholder(i));
    }
    QCOMPARE(w.Links.lines(), QStringList(16, QString()));

    b.saveAddress(5, QStringLiteral("https://www.example.com/书"));
    QVERIFY(!propertyOpen(w));
    QCOMPARE(b.errors, QStringList());
    QStringList expected(16, QString());
    expected[4] = QStringLiteral("https://www.example.com/书");
    const QByteArray written = fileBytes(b.inLinks("links.txt"));
    QCOMPARE(written.count("\r\n"), 16);
    QCOMPARE(TLinksFile::decode(written).lines(), expected);
    QVERIFY(written.contains("https://www.example.com/\xCA\xE9\r\n")); // the system's code page, GB18030
}

void TestLinks::linesArePaddedAndKept_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("written");
    QTest::newRow("two lines") << 2 << 16;
    QTest::newRow("twenty lines") << 20 << 20;
}

void TestLinks::linesArePaddedAndKept()
{
    QFETCH(int, lines);
    QFETCH(int, written);
    Board b;
    b.makeFolder();
    QVERIFY(writeBytes(b.inLinks("links.txt"), crlfLines(numbered(lines))));
    TFLektoLinks &w = b.open();
    QCOMPARE(w.Links.count(), written);
    QCOMPARE(w.Links.line(lines - 1), QStringLiteral("http://host/%1").arg(lines));
    b.saveAddress(2, QStringLiteral("http://new/"));
    QStringList expected = numbered(lines);
    expected[1] = QStringLiteral("http://new/");
    while (expected.size() < 16)
        expected << QString();
    QCOMPARE(fileBytes(b.inLinks("links.txt")), crlfLines(expected));
}

void TestLinks::clickOpensOrEdits_data()
{
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("opens");
    QTest::newRow("picture and address") << true << "https://www.example.org/" << true;
    QTest::newRow("picture, no address") << true << "" << false;
    // An address opens whether its picture has come yet or not.
    QTest::newRow("address, no picture") << false << "https://www.example.org/" << true;
    QTest::newRow("nothing yet") << false << "" << false;
}

void TestLinks::clickOpensOrEdits()
{
    QFETCH(bool, picture);
    QFETCH(QString, line);
    QFETCH(bool, opens);
    Board b;
    b.makeFolder();
    QVERIFY(writeBytes(b.inLinks("links.txt"), "\r\n\r\n" + line.toLatin1() + "\r\n"));
    if (picture)
        QVERIFY(writeBytes(b.inLinks("Img3.jpg"), jpeg(170, 100)));
    TFLektoLinks &w = b.open();
    w.ToShow();
    QTest::mouseClick(b.tile(3), Qt::LeftButton);
    QCOMPARE(b.opened, opens ? QStringList{line} : QStringList{});
    QCOMPARE(w.isVisible(), !opens);
    QCOMPARE(propertyOpen(w), !opens);
    QCOMPARE(w.CurrentTile, b.tile(3));
    if (!opens) {
        QCOMPARE(w.p1->text(), QStringLiteral("Img3 网址>>"));
        QCOMPARE(w.Edit1->text(), line);
    }
}

void TestLinks::pasteAndSave_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("saved");
    QTest::newRow("empty clipboard removes the address") << QString() << QString();
    QTest::newRow("copied address") << QStringLiteral("https://www.example.net/小说") << QStringLiteral("https://www.example.net/小说");
    // Two lines copied: the tiles after this one keep their own addresses.
    QTest::newRow("two lines") << QStringLiteral("http://a/\r\nhttp://b/") << QStringLiteral("http://a/  http://b/");
}

void TestLinks::pasteAndSave()
{
    QFETCH(QString, clipboard);
    QFETCH(QString, saved);
    Board b;
    b.makeFolder();
    QVERIFY(writeBytes(b.inLinks("links.txt"), crlfLines(numbered(16))));
    TFLektoLinks &w = b.open();
    QTest::mouseClick(b.tile(2), Qt::RightButton);
    QCOMPARE(w.Edit1->text(), QStringLiteral("http://host/2"));
    if (clipboard.isEmpty())
        QGuiApplication::clipboard()->clear();
    else
        QGuiApplication::clipboard()->setText(clipboard);
    w.N2->trigger();
    QVERIFY(!propertyOpen(w));
    QCOMPARE(w.Links.line(1), saved);
    QCOMPARE(TLinksFile::load(b.inLinks("links.txt")).line(1), saved);
    QCOMPARE(TLinksFile::load(b.inLinks("links.txt")).line(2), QStringLiteral("http://host/3"));
}

void TestLinks::escapeKeepsTheUnsavedEdit_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Esc") << int(Qt::Key_Escape);
    QTest::newRow("F4") << int(Qt::Key_F4);
}

void TestLinks::escapeKeepsTheUnsavedEdit()
{
    QFETCH(int, key);
    Board b;
    TFLektoLinks &w = b.open();
    w.ToShow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::mouseClick(b.tile(7), Qt::RightButton);
    QCOMPARE(QApplication::focusWidget(), w.Edit1);
    QTest::keyClicks(w.Edit1, "http://unsaved/");
    QTest::keyClick(w.Edit1, Qt::Key(key));
    QVERIFY(!w.isVisible());
    QVERIFY(!QFileInfo::exists(b.linksDir()));
    QCOMPARE(w.Links.line(6), QString());

    w.ToShow();
    QVERIFY(propertyOpen(w));
    QCOMPARE(w.Edit1->text(), QStringLiteral("http://unsaved/"));
    QCOMPARE(w.CurrentTile, b.tile(7));
}

void TestLinks::failedSavesKeepTheOldFile_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("full disk") << "full disk";
    QTest::newRow("read-only folder") << "read-only folder";
}

void TestLinks::failedSavesKeepTheOldFile()
{
    QFETCH(QString, fault);
    Board b;
    b.makeFolder();
    QFile::setPermissions(b.dir.path(), QFileDevice::Permissions(0x7755)); // reachable by the ordinary user
    const QByteArray before = crlfLines(numbered(16));
    QVERIFY(writeBytes(b.inLinks("links.txt"), before));
    TFLektoLinks &w = b.open();
    const QString address = QStringLiteral("http://a-much-longer-address.example.com/") + QString(200, QLatin1Char('x'));
    {
        std::unique_ptr<FileSizeLimit> limit;
        std::unique_ptr<NoWriteAccess> readOnly;
        if (fault == QLatin1String("full disk"))
            limit = std::make_unique<FileSizeLimit>(before.size() + 20);
        else
            readOnly = std::make_unique<NoWriteAccess>(b.linksDir());
        b.saveAddress(4, address);
    }
    QCOMPARE(b.errors.size(), 1);
    QVERIFY2(b.errors[0].contains(b.inLinks("links.txt")), qPrintable(b.errors[0]));
    QCOMPARE(fileBytes(b.inLinks("links.txt")), before);
    QCOMPARE(QDir(b.linksDir()).entryList(QDir::Files), QStringList{"links.txt"}); // no temporary left behind
    QCOMPARE(w.Links.line(3), address); // the edit stays in memory

    b.saveAddress(5, QStringLiteral("http://five/")); // with room again, both go through
    const TLinksFile after = TLinksFile::load(b.inLinks("links.txt"));
    QCOMPARE(after.line(3), address);
    QCOMPARE(after.line(4), QStringLiteral("http://five/"));
}

void TestLinks::unreadableLinksFileIsNeverOverwritten()
{
    Board b;
    QVERIFY(QDir().mkpath(b.inLinks("links.txt"))); // a folder where the file should be
    TFLektoLinks &w = b.open();
    QCOMPARE(b.errors.size(), 1);
    QCOMPARE(w.Links.count(), 16);
    b.saveAddress(1, QStringLiteral("http://x/"));
    QCOMPARE(b.errors.size(), 2);
    QVERIFY(QFileInfo(b.inLinks("links.txt")).isDir());

    // A folder that cannot be made: a file stands where it should be.
    Board c;
    QVERIFY(writeBytes(c.linksDir(), "not a folder"));
    c.open();
    c.saveAddress(1, QStringLiteral("http://x/"));
    QCOMPARE(c.errors.size(), 1);
    QCOMPARE(fileBytes(c.linksDir()), QByteArray("not a folder"));
}

QTEST_MAIN(TestLinks)
#include "tst_links.moc"
