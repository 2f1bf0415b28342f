// The reading view on the real engine: the saved chapter pages at their own
// addresses, and small pages made for each case.
#include "chaptersite.h"

#include <QtCore/QJsonDocument>

using namespace ChapterSite;

class TestReadingView : public ChapterSiteTest
{
    Q_OBJECT

private slots:
    void initTestCase() { serveSites(); }
    void dump();
};

void TestReadingView::dump()
{
    LektoHarness h;
    TFLekto &w = h.open();
    w.resize(1280, 800);
    w.ToggleReadingView();
    for (const Chapter &c : kChapters) {
        QVERIFY(h.type(c.address));
        const QVariant v = h.js("(function(){var a=document.getElementById('lekto-reader');if(!a)return null;"
                                "var t=a.querySelector('h1');var ps=a.querySelectorAll('.lekto-text p');"
                                "var bar=[].map.call(a.querySelectorAll('.lekto-bottom a'),function(x){return x.textContent+'='+x.href;});"
                                "return [t?t.textContent:'',ps.length,ps.length?ps[0].textContent:'',ps.length?ps[1].textContent:'',ps.length?ps[ps.length-2].textContent:'',ps.length?ps[ps.length-1].textContent:'',bar,a.textContent.length];})()");
        qInfo().noquote() << c.file << w.windowTitle() << QJsonDocument::fromVariant(v).toJson(QJsonDocument::Compact);
    }
}

LEKTO_WEB_TEST_MAIN(TestReadingView)
#include "tst_readingview.moc"
