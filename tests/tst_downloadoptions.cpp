#include "downloadoptions.h"
#include "requestpolicy.h"

#include <QtTest/QtTest>

using O = TDownloadControlOption;
using RI = QWebEngineUrlRequestInfo;

Q_DECLARE_METATYPE(TDownloadOptions)

class TestDownloadOptions : public QObject
{
    Q_OBJECT

private slots:
    void flagValue_data()
    {
        QTest::addColumn<TDownloadOptions>("options");
        QTest::addColumn<qint64>("expected");
        const auto pure = configuredDownloadOptions();
        const TDownloadOptions media{O::DownloadImages, O::DownloadVideos, O::DownloadBGSounds};
        const TDownloadOptions active{O::DontExecuteScripts, O::DontExecuteJava, O::DontExecuteActiveX, O::DontDownloadActiveX};
        QTest::newRow("after construction") << defaultDownloadOptions() << qint64(0x70);
        QTest::newRow("main window configuration") << pure << qint64(0xD780);
        QTest::newRow("half-pure mode") << (pure + media - active) << qint64(0xD070);
        QTest::newRow("back to pure mode") << (pure + media - active - media + active) << qint64(0xD780);
        QTest::newRow("empty") << TDownloadOptions{} << qint64(0);
        QTest::newRow("work offline is the sign bit") << TDownloadOptions{O::WorkOffline} << qint64(INT32_MIN);
        QTest::newRow("offline members") << TDownloadOptions{O::ForceOfflineMode, O::DontPerformClientPull, O::DownloadInSilentMode}
                                         << qint64(0x70000000);
    }
    void flagValue()
    {
        QFETCH(TDownloadOptions, options);
        QFETCH(qint64, expected);
        QCOMPARE(qint64(options.flagValue()), expected);
    }

    void requestDecision_data()
    {
        QTest::addColumn<TDownloadOptions>("options");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("blocked");
        const auto pure = configuredDownloadOptions();
        const auto half = TDownloadOptions{O::DownloadImages, O::DownloadVideos, O::DownloadBGSounds, O::DontDownloadFrame,
                                           O::DownloadAndIgnoreCache, O::DontDownloadBehaviors};
        const auto all = defaultDownloadOptions();
        struct Row { const char *name; TDownloadOptions o; RI::ResourceType t; bool blocked; };
        const Row rows[] = {
            {"pure: page itself", pure, RI::ResourceTypeMainFrame, false},
            {"pure: style sheet", pure, RI::ResourceTypeStylesheet, false},
            {"pure: image", pure, RI::ResourceTypeImage, true},
            {"pure: favicon", pure, RI::ResourceTypeFavicon, true},
            {"pure: web font", pure, RI::ResourceTypeFontResource, true},
            {"pure: script", pure, RI::ResourceTypeScript, true},
            {"pure: worker", pure, RI::ResourceTypeWorker, true},
            {"pure: xhr", pure, RI::ResourceTypeXhr, true},
            {"pure: frame", pure, RI::ResourceTypeSubFrame, true},
            {"pure: media", pure, RI::ResourceTypeMedia, true},
            {"pure: plug-in object", pure, RI::ResourceTypeObject, true},
            {"pure: plug-in resource", pure, RI::ResourceTypePluginResource, true},
            {"pure: prefetch", pure, RI::ResourceTypePrefetch, true},
            {"half: image", half, RI::ResourceTypeImage, false},
            {"half: script", half, RI::ResourceTypeScript, false},
            {"half: media", half, RI::ResourceTypeMedia, false},
            {"half: plug-in object", half, RI::ResourceTypeObject, false},
            {"half: frame stays out", half, RI::ResourceTypeSubFrame, true},
            {"defaults: frame", all, RI::ResourceTypeSubFrame, false},
            {"videos without sounds: media", TDownloadOptions{O::DownloadVideos}, RI::ResourceTypeMedia, true},
            {"java alone stops plug-ins", TDownloadOptions{O::DownloadImages, O::DontExecuteJava}, RI::ResourceTypeObject, true},
        };
        for (const auto &r : rows)
            QTest::newRow(r.name) << r.o << int(r.t) << r.blocked;
    }
    void requestDecision()
    {
        QFETCH(TDownloadOptions, options);
        QFETCH(int, type);
        QFETCH(bool, blocked);
        QCOMPARE(decideRequest(options, RI::ResourceType(type)).block, blocked);
    }

    void ignoreCacheFollowsItsMember()
    {
        QVERIFY(decideRequest(configuredDownloadOptions(), RI::ResourceTypeMainFrame).bypassCache);
        QVERIFY(!decideRequest(defaultDownloadOptions(), RI::ResourceTypeMainFrame).bypassCache);
    }
};

QTEST_GUILESS_MAIN(TestDownloadOptions)
#include "tst_downloadoptions.moc"
