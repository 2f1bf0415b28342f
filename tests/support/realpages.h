#pragma once

#include <QtCore/QList>
#include <QtCore/QString>

// The saved real pages, each served at an address on its own site, so that
// the resources they name on other hosts go through the test proxy as well.
struct RealPage {
    QString file;    // below the fixtures folder
    QString address; // where it is served
};

inline QList<RealPage> realPages()
{
    return {
        {"novel-zh/biquge-zhushen-index.html", "http://www.biquge.com.tw/14_14055/"},
        {"novel-zh/biquge-zhushen-ch4.html", "http://www.biquge.com.tw/14_14055/7633258.html"},
        {"novel-zh/999wx-fenghuo-ch22.html", "http://www.999wx.com/book/fenghuo/22.shtml"},
        {"novel-zh/biqukan-doupo-index.html", "http://www.biqukan.com/1_1094/"},
        {"novel-zh/wenku8-3500-catalog.html", "http://www.wenku8.net/novel/3/3500/index.htm"},
        {"novel-zh/zongheng-jianlai-ch14.html", "http://book.zongheng.com/chapter/672340/14.html"},
        {"novel-en/royalroad-chapter.html", "http://www.royalroad.com/fiction/1/chapter/14"},
        {"novel-en/hostednovel-chapter.html", "http://hostednovel.com/novel/sample/chapter-1"},
        {"novel-en/novelhall-index.html", "http://www.novelhall.com/novel-index/"},
        {"readability/cnn.html", "http://www.cnn.com/2016/05/story/index.html"},
        {"readability/breitbart.html", "http://www.breitbart.com/big-government/2016/story/"},
        {"popups/wpt-window-open-on-load.html", "http://web-platform.test/html/browsers/windows/open-on-load.html"},
        {"popups/wpt-target-blank-links.html", "http://web-platform.test/html/semantics/links/target-blank-links.html"},
        {"popups/wpt-named-target-link.html", "http://web-platform.test/html/browsers/windows/named-target.html"},
    };
}
