#include "dialogs.h"
#include "commandlink.h"
#include "datadir.h"
#include "lektoerror.h"

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

Q_DECLARE_METATYPE(TCommandKind)

class TestCommandLink : public QObject
{
    Q_OBJECT

private slots:
    // What the system's browser is given for an address as a reader wrote it.
    void externalUrl_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("opened");
        QTest::newRow("bare host") << "www.qidian.com" << "http://www.qidian.com";
        QTest::newRow("host and path") << "book.example.org/a/1.html" << "http://book.example.org/a/1.html";
        QTest::newRow("full address") << "https://www.example.com/x?y=1" << "https://www.example.com/x?y=1";
        QTest::newRow("local file") << "/home/u/a b.txt" << "file:///home/u/a%20b.txt";
    }
    void externalUrl()
    {
        QFETCH(QString, address);
        QFETCH(QString, opened);
        QCOMPARE(Dialogs::ExternalUrl(address).toString(QUrl::FullyEncoded), opened);
    }

    void parse_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<TCommandKind>("kind");
        QTest::addColumn<QString>("digits");
        using K = TCommandKind;
        QTest::newRow("web address") << "http://host/" << K::NotCommand << "";
        QTest::newRow("rc inside") << "http://rc:del0" << K::NotCommand << "";
        QTest::newRow("start upper") << "RC:GOSTART" << K::GoStart << "";
        QTest::newRow("start lower") << "rc:gostart" << K::GoStart << "";
        QTest::newRow("readme") << "rc:ReadMe" << K::ReadMe << "";
        QTest::newRow("clear") << "rc:ClearBm" << K::ClearBm << "";
        QTest::newRow("all unread") << "rc:xweiyue" << K::xWeiyue << "";
        QTest::newRow("all read") << "rc:xyiyue" << K::xYiyue << "";
        QTest::newRow("unread first") << "rc:weiyuetiqian" << K::Weiyuetiqian << "";
        QTest::newRow("Del0") << "rc:Del0" << K::Del << "0";
        QTest::newRow("del05") << "rc:del05" << K::Del << "05";
        QTest::newRow("L2Del0 is no del") << "rc:L2Del0" << K::L2Del << "0";
        QTest::newRow("yangfei") << "rc:yangfei3" << K::Yangfei << "3";
        QTest::newRow("jianzhu") << "rc:jianzhu1" << K::Jianzhu << "1";
        QTest::newRow("fjianzhu") << "rc:fjianzhu12" << K::FJianzhu << "12";
        QTest::newRow("yiyue") << "rc:yiyue0" << K::Yiyue << "0";
        QTest::newRow("fyiyue") << "rc:fyiyue12" << K::FYiyue << "12";
        QTest::newRow("shuqian") << "rc:shuqian12" << K::Shuqian << "12";
        QTest::newRow("rc alone") << "rc:" << K::Unknown << "";
        QTest::newRow("del without digits") << "rc:del" << K::Unknown << "";
        QTest::newRow("digits then letters") << "rc:del5x" << K::Unknown << "";
        QTest::newRow("fullwidth digits") << QStringLiteral("rc:del５") << K::Unknown << "";
        QTest::newRow("open alone") << "rc:open_" << K::Unknown << "";
        QTest::newRow("unknown") << "rc:format_c" << K::Unknown << "";
    }
    void parse()
    {
        QFETCH(QString, url);
        QFETCH(TCommandKind, kind);
        QFETCH(QString, digits);
        const TCommandLink link = ParseCommandLink(url);
        QCOMPARE(link.kind, kind);
        QCOMPARE(link.digits, digits);
    }

    void openKeepsTheAddressAsWritten()
    {
        const TCommandLink link = ParseCommandLink("RC:Open_HTTP://Example.COM/Book/A.html");
        QCOMPARE(link.kind, TCommandKind::Open);
        QCOMPARE(link.address, QStringLiteral("HTTP://Example.COM/Book/A.html"));
    }

    void positions_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("index"); // -1: the conversion fails
        QTest::newRow("zero") << "rc:del0" << 0;
        QTest::newRow("leading zero") << "rc:del05" << 5;
        QTest::newRow("largest") << "rc:del2147483647" << 2147483647;
        QTest::newRow("too large") << "rc:del2147483648" << -1;
        QTest::newRow("far too large") << "rc:del99999999999999999999" << -1;
    }
    void positions()
    {
        QFETCH(QString, url);
        QFETCH(int, index);
        const TCommandLink link = ParseCommandLink(url);
        if (index < 0)
            QVERIFY_THROWS_EXCEPTION(ELektoError, link.index());
        else
            QCOMPARE(link.index(), index);
    }

    void dataFolder()
    {
        QTemporaryDir program, user;
        QCOMPARE(ChooseDataDir(program.path(), user.filePath("Lekto")), program.path());
        const QString fallback = user.filePath("Lekto");
        QCOMPARE(ChooseDataDir(program.filePath("missing"), fallback), fallback);
        QVERIFY(QFileInfo(fallback).isDir());
        QCOMPARE(ChooseDataDir(QString(), fallback), fallback);
    }

    // An installed program's folder is shared and owned by the package
    // manager: never the data folder, even for a user who can write to it.
    void installedDataFolder()
    {
        QTemporaryDir prefix, user;
        const QString bin = prefix.filePath("bin");
        const QString marker = QDir(bin).filePath(InstalledMarker());
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(QFileInfo(marker).path()));
        QVERIFY(QFile(marker).open(QIODevice::WriteOnly));
        const QString fallback = user.filePath("Lekto");
        QCOMPARE(ChooseDataDir(bin, fallback), fallback);
    }
};

QTEST_GUILESS_MAIN(TestCommandLink)
#include "tst_commandlink.moc"
