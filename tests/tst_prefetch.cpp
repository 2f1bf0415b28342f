// The next chapter fetched ahead while the reader reads in pure mode: into
// the engine's cache, one ahead, only where it serves, without the reader's
// cookies.
#include "chaptersite.h"

using namespace ChapterSite;

class TestPrefetch : public ChapterSiteTest
{
    Q_OBJECT

private slots:
    void initTestCase() { serveSites(); }

    void nextChapterFetchedAhead();
    void prefetchOnlyWhereItServes();
    void prefetchCarriesNoCookies();
};

// Pure mode: the next chapter is fetched while the reader reads, and the
// turn shows it from the engine's cache without asking the site again.
void TestPrefetch::nextChapterFetchedAhead()
{
    LektoHarness h;
    TFLekto &w = h.open();
    const int from = FProxy.requests().size();
    QVERIFY(h.type("http://book.example.com/b1/1.html"));
    QVERIFY(waitUntil([&] { return !requestsFor("http://book.example.com/b1/2.html", from).isEmpty(); }, 5000));
    spin(300);
    const auto fetched = requestsFor("http://book.example.com/b1/2.html", from);
    QCOMPARE(fetched.size(), 1);
    QCOMPARE(fetched.first().headers.value("purpose"), QByteArray("prefetch"));
    QCOMPARE(fetched.first().headers.value("referer"), QByteArray("http://book.example.com/b1/1.html"));
    // Fetched, not shown: nothing completed, recorded or opened.
    QCOMPARE(h.completions, 2);
    QCOMPARE(h.bookTitles(), QStringList{"甲 第1章"});
    QCOMPARE(visibleWindows(), 1);
    QVERIFY(requestsFor("http://book.example.com/b1/3.html", from).isEmpty()); // one ahead, no more

    press(w, Qt::Key_Right);
    QVERIFY(h.waitComplete(3));
    QCOMPARE(w.windowTitle(), QStringLiteral("甲 第2章"));
    QCOMPARE(w.EdUrl->text(), QStringLiteral("http://book.example.com/b1/2.html"));
    QCOMPARE(h.bookTitles(), QStringList{"甲 第2章"});
    QCOMPARE(requestsFor("http://book.example.com/b1/2.html", from).size(), 1); // the copy served the turn
    QVERIFY(waitUntil([&] { return requestsFor("http://book.example.com/b1/3.html", from).size() == 1; }, 5000));
    QCOMPARE(w.WB1->PrefetchState().Target(), QUrl("http://book.example.com/b1/3.html"));

    // Another book stops it: the copy fetched for this one no longer stands
    // in for the page, which is asked for afresh.
    QVERIFY(h.type("http://book.example.com/b2/1.html"));
    QVERIFY(waitUntil([&] { return w.WB1->PrefetchState().Target() == QUrl("http://book.example.com/b2/2.html"); }, 5000));
    QVERIFY(h.type("http://www.example.com/"));
    QVERIFY(!w.WB1->PrefetchState().Active());
    QVERIFY(h.type("http://book.example.com/b1/3.html"));
    QCOMPARE(requestsFor("http://book.example.com/b1/3.html", from).size(), 2);
    QVERIFY(h.errors.isEmpty());
}

// Nothing is fetched for a link to another site, in half-pure mode, on a page
// without a next chapter, or with prefetching off.
void TestPrefetch::prefetchOnlyWhereItServes()
{
    LektoHarness h;
    TFLekto &w = h.open();
    const int from = FProxy.requests().size();
    QVERIFY(h.type("http://book.example.com/away.html"));
    QVERIFY(h.type(kChapters[6].address)); // an index
    spin(500);
    QVERIFY(!w.WB1->PrefetchState().Active());
    w.FChapterPrefetch = false;
    QVERIFY(h.type("http://book.example.com/b1/3.html"));
    w.FChapterPrefetch = true;
    w.pHalfClick();
    QVERIFY(h.waitComplete(h.completions + 1));
    spin(500);
    QVERIFY(!w.WB1->PrefetchState().Active());
    QStringList prefetches;
    for (const auto &r : FProxy.requests().mid(from))
        if (r.headers.value("purpose") == "prefetch" || r.target.startsWith("http://other.example.com"))
            prefetches << QString::fromLatin1(r.target);
    QVERIFY2(prefetches.isEmpty(), qPrintable(prefetches.join('\n')));
}

// The chapter fetched ahead goes without the reader's cookies, and stores
// none of its own: a site may charge a signed-in reader for a chapter opened.
// A copy fetched so does not stand in for the page the reader, who has
// cookies there, turns to: the turn asks the site as the reader.
void TestPrefetch::prefetchCarriesNoCookies()
{
    LektoHarness h;
    TFLekto &w = h.open();
    const int from = FProxy.requests().size();
    QVERIFY(h.type("http://cookie.example.com/c/1.html")); // signs the reader in
    QVERIFY(waitUntil([&] { return !requestsFor("http://cookie.example.com/c/2.html", from).isEmpty(); }, 5000));
    spin(300);
    const auto ahead = requestsFor("http://cookie.example.com/c/2.html", from);
    QCOMPARE(ahead.size(), 1);
    QCOMPARE(ahead.first().headers.value("purpose"), QByteArray("prefetch"));
    QVERIFY2(!ahead.first().headers.contains("cookie"), ahead.first().headers.value("cookie").constData());

    press(w, Qt::Key_Right);
    QVERIFY(h.waitComplete(3));
    QCOMPARE(w.windowTitle(), QStringLiteral("饼 第2章"));
    const auto turned = requestsFor("http://cookie.example.com/c/2.html", from);
    QCOMPARE(turned.size(), 2);
    QVERIFY(turned.last().headers.value("purpose").isEmpty());
    // The reader's own cookie, not the one the fetch ahead was answered with.
    QCOMPARE(turned.last().headers.value("cookie"), QByteArray("session=reader1"));
    QVERIFY(waitUntil([&] { return !requestsFor("http://cookie.example.com/c/3.html", from).isEmpty(); }, 5000));
    QVERIFY(!requestsFor("http://cookie.example.com/c/3.html", from).first().headers.contains("cookie"));
}

LEKTO_WEB_TEST_MAIN(TestPrefetch)
#include "tst_prefetch.moc"
