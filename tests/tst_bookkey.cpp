// Which book a page belongs to: the address split that keys the history's
// entries, and the entries it gives for books that share a folder or a script.
#include "historyfiles.h"
#include "lektohistory.h"
#include "textcodec.h"

#include <QtCore/QTemporaryDir>
#include <QtCore/QtEndian>
#include <QtTest/QtTest>

namespace {

// A history file of one entry as the program wrote it before: a bookmark,
// or a fattening entry.
QByteArray historyOf(const QByteArray &book, const QByteArray &page, const QByteArray &title, bool fattened)
{
    QByteArray r(kHisRecordSize, '\0');
    for (const auto &[offset, text] : {std::pair{8, book}, {264, page}, {520, title}}) {
        r[offset] = char(text.size());
        r.replace(offset + 1, text.size(), text);
    }
    r[1032] = 1;
    QByteArray count(4, '\0');
    qToLittleEndian(qint32(1), count.data());
    return QByteArray("\1") + (fattened ? count : QByteArray()) + r;
}

} // namespace

class TestBookKey : public QObject
{
    Q_OBJECT

    QTemporaryDir FDir;
    QString path() const { return FDir.filePath(QStringLiteral("LektoBookmarks.lkt")); }

private slots:
    void init() { QFile::remove(path()); }

    void addressSplit_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("bookPath");
        QTest::addColumn<QString>("pageName");
        QTest::newRow("chapter") << "http://host/book/12/345.html" << "host/book/12" << "345.html";
        QTest::newRow("https") << "https://host/a/b.html" << "host/a" << "b.html";
        QTest::newRow("host and slash") << "http://host/" << "host" << "";
        QTest::newRow("bare host") << "http://host" << "" << "host";
        QTest::newRow("backslash") << "http://host\\a\\b.html" << "host\\a" << "b.html";
        QTest::newRow("slash in query") << "http://h/a/b.html?x=1/2" << "h/a/b.html?x=1" << "2";
        QTest::newRow("chinese path") << "http://书/第一卷/1.html" << "书/第一卷" << "1.html";
        // One script for every book of a site: the book is the script with
        // the parameter naming the book, the page the script with its query.
        QTest::newRow("book and chapter in the query") << "http://h/m/onebook.php?novelid=101&chapterid=4"
                                                       << "h/m/onebook.php?novelid=101" << "onebook.php?novelid=101&chapterid=4";
        QTest::newRow("chapter named first") << "http://h/book.php?cid=12&bid=7" << "h/book.php?bid=7" << "book.php?cid=12&bid=7";
        QTest::newRow("thread and page") << "https://h/read.php?tid=5&page=2" << "h/read.php?tid=5" << "read.php?tid=5&page=2";
        QTest::newRow("id alone") << "http://h/view.aspx?id=33" << "h/view.aspx?id=33" << "view.aspx?id=33";
        QTest::newRow("the table's order, not the query's") << "http://h/r.php?id=9&aid=3" << "h/r.php?aid=3" << "r.php?id=9&aid=3";
        QTest::newRow("names in any case") << "http://h/r.php?BookId=3&ChapterId=5" << "h/r.php?BookId=3" << "r.php?BookId=3&ChapterId=5";
        QTest::newRow("script without extension") << "http://h/read?bid=1&cid=2" << "h/read?bid=1" << "read?bid=1&cid=2";
        QTest::newRow("fragment") << "http://h/r.php?bid=1&cid=2#top" << "h/r.php?bid=1" << "r.php?bid=1&cid=2#top";
        QTest::newRow("slash in the query") << "http://h/a/r.php?bid=1&from=/x/y" << "h/a/r.php?bid=1" << "r.php?bid=1&from=/x/y";
        // No parameter of the table, or no script: the directory, as ever.
        QTest::newRow("no book parameter") << "http://h/a/search.php?q=x&page=2" << "h/a" << "search.php?q=x&page=2";
        QTest::newRow("chapter parameter only") << "http://h/a/read.php?cid=12" << "h/a" << "read.php?cid=12";
        QTest::newRow("book parameter without value") << "http://h/a/read.php?bid=&cid=1" << "h/a" << "read.php?bid=&cid=1";
        QTest::newRow("a name that only contains one") << "http://h/a/r.php?xbid=1" << "h/a" << "r.php?xbid=1";
        QTest::newRow("a page, not a script") << "http://h/book/12/345.html?id=7" << "h/book/12" << "345.html?id=7";
        QTest::newRow("a folder with a query") << "http://h/book/12/?bid=7" << "h/book/12" << "?bid=7";
        QTest::newRow("the host with a query") << "http://h?bid=7" << "" << "h?bid=7";
        QTest::newRow("a query in the fragment") << "http://h/a/r.php#x?bid=1" << "h/a" << "r.php#x?bid=1";
    }
    void addressSplit()
    {
        QFETCH(QString, url);
        QFETCH(QString, bookPath);
        QFETCH(QString, pageName);
        QByteArray b, p;
        TLektoHistory::SplitAddress(url, b, p);
        QCOMPARE(HistoryText::decode(b.constData(), int(b.size())), bookPath);
        QCOMPARE(HistoryText::decode(p.constData(), int(p.size())), pageName);
    }


    // Two books served by one script, read in turn: two entries, each at
    // its own chapter, and the listing's links open exactly those chapters.
    void booksOfOneScriptAreTwoEntries()
    {
        TLektoHistory h(path());
        h.AddHis("http://h/m/onebook.php?novelid=101&chapterid=4", "甲4");
        h.AddHis("http://h/m/onebook.php?novelid=202&chapterid=1", "乙1");
        h.AddHis("http://h/m/onebook.php?novelid=101&chapterid=5", "甲5");
        h.AddHis("http://h/m/onebook.php?chapterid=2&novelid=202", "乙2");
        h.AddHis("http://h/m/list.php?sort=new", "书库");
        QCOMPARE(titles(h.Bookmarks()), (QStringList{"书库", "乙2", "甲5"}));
        QCOMPARE(fieldText(h.Bookmarks()[1]->PageName), QStringLiteral("onebook.php?chapterid=2&novelid=202"));
        QCOMPARE(fieldText(h.Bookmarks()[2]->PageName), QStringLiteral("onebook.php?novelid=101&chapterid=5"));
        const QString listing = h.GetHisHtmCode();
        QVERIFY(listing.contains("<a href=\"http://h/m/onebook.php?chapterid=2&amp;novelid=202\"><font color=#800080>乙2<"));
        QVERIFY(listing.contains("<a href=\"http://h/m/onebook.php?novelid=101&amp;chapterid=5\"><font color=#800080>甲5<"));
        QVERIFY(listing.contains("<a href=\"http://h/m/list.php?sort=new\"><font color=#800080>书库<"));

        // Saved and read back, the books stay apart.
        h.SaveHis();
        TLektoHistory again(path());
        again.AddHis("http://h/m/onebook.php?novelid=101&chapterid=6", "甲6");
        QCOMPARE(titles(again.Bookmarks()), (QStringList{"甲6", "书库", "乙2"}));
    }

    // An entry made when the books of a script shared their directory goes
    // on with the book its last page is of; the other book gets its own.
    void entryOfTheSharedDirectoryGoesOnWithItsBook_data()
    {
        QTest::addColumn<bool>("fattened");
        QTest::newRow("bookmark") << false;
        QTest::newRow("fattening") << true;
    }
    void entryOfTheSharedDirectoryGoesOnWithItsBook()
    {
        QFETCH(bool, fattened);
        writeBytes(path(), historyOf("h/m", "onebook.php?novelid=101&chapterid=4", "old", fattened));
        TLektoHistory h(path());
        h.SetNoteInput([](const QString &) { return QStringLiteral("注"); });
        h.BmJianzhu(fattened, 0);
        h.AddHis("http://h/m/onebook.php?novelid=202&chapterid=1", "乙1");
        h.AddHis("http://h/m/onebook.php?novelid=101&chapterid=5", "甲5");
        QVERIFY(h.L2().empty());
        QCOMPARE(titles(h.Bookmarks()), (QStringList{"甲5", "乙1"}));
        QCOMPARE(fieldText(h.Bookmarks()[0]->BookPath), QStringLiteral("h/m/onebook.php?novelid=101"));
        QCOMPARE(fieldText(h.Bookmarks()[0]->Note), QStringLiteral("注"));
        // The directory itself is a book no more.
        h.AddHis("http://h/m/onebook.php?novelid=101&chapterid=6", "甲6");
        QCOMPARE(h.Count(), 2);
    }

    // A book's contents page does not take the place of the chapter reached;
    // it still makes the entry of a book read from it.
    void contentsPageKeepsTheChapterReached()
    {
        TLektoHistory h(path());
        QVERIFY(h.AddContentsHis("http://host/b/", "目录 乙"));
        QCOMPARE(fieldText(h.Bookmarks()[0]->PageName), QString());
        h.AddHis("http://host/a/13.html", "第13章");
        h.AddHis("http://host/b/1.html", "乙 第1章");
        h.ToBm2(0);
        h.AddHis("http://other/x/1.html", "别的书");
        h.BmYiyue(1);
        const QByteArray image(reinterpret_cast<const char *>(h.Bookmarks()[1].get()), kHisRecordSize);
        QVERIFY(!h.AddContentsHis("http://host/a/", "目录 甲"));
        QVERIFY(!h.AddContentsHis("http://host/b/index.html", "目录 乙"));
        QCOMPARE(titles(h.Bookmarks()), (QStringList{"别的书", "第13章"}));
        QCOMPARE(titles(h.L2()), QStringList{"乙 第1章"});
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(h.Bookmarks()[1].get()), kHisRecordSize), image);
        // The contents page again, when it is the page recorded.
        QVERIFY(h.AddContentsHis("http://host/c/", "目录 丙"));
        QVERIFY(h.AddContentsHis("http://host/c/", "目录 丙 新"));
        QCOMPARE(titles(h.Bookmarks()).first(), QStringLiteral("目录 丙 新"));
        QCOMPARE(h.Count(), 3);
        // A chapter opened from the contents takes the place as ever.
        h.AddHis("http://host/a/14.html", "第14章");
        QCOMPARE(titles(h.Bookmarks()).first(), QStringLiteral("第14章"));
        QVERIFY(!h.AddContentsHis("rc:GoStart", "Lekto"));
        QCOMPARE(h.Count(), 3);
    }
};

QTEST_GUILESS_MAIN(TestBookKey)
#include "tst_bookkey.moc"
