// A book's contents page told from its chapters, on the saved real pages and
// a small book: looking at it leaves the book at the chapter reached.
#include "chaptersite.h"

using namespace ChapterSite;

class TestContentsPage : public ChapterSiteTest
{
    Q_OBJECT

private slots:
    void initTestCase() { serveSites(); }

    void contentsPagesAreTold_data();
    void contentsPagesAreTold();
    void contentsPageKeepsTheChapterReached_data();
    void contentsPageKeepsTheChapterReached();
};

void TestContentsPage::contentsPagesAreTold_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("chaptersContents"); // what the book's chapters name as contents
    QTest::addColumn<bool>("contents");
    for (const Chapter &c : kChapters) {
        const QByteArray file(c.file);
        if (*c.next || *c.previous) {
            QTest::newRow(c.file) << c.address << "" << false;
        } else if (file.contains("wenku8-3500")) {
            // Eleven chapters in a page of their own: told by the chapters.
            QTest::newRow(c.file) << c.address << "" << false;
            QTest::newRow(file + " named as contents") << c.address << c.address << true;
        } else if (file.contains("wenku8-2379") || file.contains("novelbin")) {
            // Pages about the book, whose chapters the site's scripts list
            // or another page does.
            QTest::newRow(c.file) << c.address << "" << false;
        } else {
            QTest::newRow(c.file) << c.address << "" << true;
        }
    }
}

// The saved real pages as the window sees them when they complete: the
// sites' contents pages are told from their chapters.
void TestContentsPage::contentsPagesAreTold()
{
    QFETCH(QString, address);
    QFETCH(QString, chaptersContents);
    QFETCH(bool, contents);
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(address));
    const THtmlDocument2 *doc = w.WB1->Doc2();
    QVERIFY(doc);
    QCOMPARE(doc->chapter.page, QUrl(address).adjusted(QUrl::RemoveFragment));
    QCOMPARE(ChapterLinks::IsContentsPage(doc->chapter, QUrl(chaptersContents)), contents);
}

void TestContentsPage::contentsPageKeepsTheChapterReached_data()
{
    QTest::addColumn<QString>("chapter");
    QTest::addColumn<QString>("contents");
    QTest::addColumn<QString>("link");     // in the contents, to the chapter read next
    QTest::addColumn<QString>("nextPage"); // its page name
    QTest::newRow("biquge: the book's folder") << kChapters[0].address << "http://www.biquge.com.tw/17_17275/"
                                               << "/17_17275/7633259.html" << "7633259.html";
    QTest::newRow("999wx: a list of the book's pages") << kChapters[1].address
                                                        << "http://www.999wx.com/book/fenghuo/Default.shtml"
                                                        << "10227277.shtml" << "10227277.shtml";
    QTest::newRow("a few chapters, named by theirs") << "http://book.example.com/b3/13.html"
                                                     << "http://book.example.com/b3/index.html" << "14.html" << "14.html";
}

// A book found from its contents is recorded there; once a chapter is
// reached, opening the contents again keeps the book at that chapter, and
// a chapter opened from it takes the place.
void TestContentsPage::contentsPageKeepsTheChapterReached()
{
    QFETCH(QString, chapter);
    QFETCH(QString, contents);
    QFETCH(QString, link);
    QFETCH(QString, nextPage);
    LektoHarness h;
    TFLekto &w = h.open();
    w.FChapterPrefetch = false;
    auto entry = [&] {
        const auto &list = w.FLektoHis->Bookmarks();
        return list.empty() ? QStringList{} : QStringList{fieldText(list[0]->PageName), fieldText(list[0]->Title)};
    };
    const QString contentsPage = QUrl(contents).fileName();

    QVERIFY(h.type(contents));
    const QString contentsTitle = w.windowTitle();
    QCOMPARE(entry(), (QStringList{contentsPage, contentsTitle}));

    QVERIFY(h.type(chapter));
    const QString chapterTitle = w.windowTitle();
    QCOMPARE(entry(), (QStringList{QUrl(chapter).fileName(), chapterTitle}));
    w.Timer1Timer(); // saved: opening the contents arms no save

    QVERIFY(h.type(contents));
    QCOMPARE(w.windowTitle(), contentsTitle);
    QCOMPARE(entry(), (QStringList{QUrl(chapter).fileName(), chapterTitle}));
    QCOMPARE(w.FLektoHis->Count(), 1);
    QCOMPARE(w.Timer1Tag, 0);

    QVERIFY(h.mouseClickLink(link));
    QCOMPARE(entry(), (QStringList{nextPage, w.windowTitle()}));
    QCOMPARE(w.FLektoHis->Count(), 1);
    QVERIFY(h.errors.isEmpty());
}

LEKTO_WEB_TEST_MAIN(TestContentsPage)
#include "tst_contentspage.moc"
