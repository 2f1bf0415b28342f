// What text in the address box opens: an address as it is, the one web
// address of a text shared from a chat or a forum, nothing for plain words.
#include "addresstext.h"

#include <QtTest/QtTest>

class TestAddressText : public QObject
{
    Q_OBJECT

private slots:
    void addressToOpen_data();
    void addressToOpen();
};

void TestAddressText::addressToOpen_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("opens"); // empty: nothing, the page saying it is no address

    // Addresses, as they are: the view reads them as before.
    QTest::newRow("an address") << "http://www.x.com/8.html" << "http://www.x.com/8.html";
    QTest::newRow("with blanks around") << "  http://www.x.com/8.html " << "  http://www.x.com/8.html ";
    QTest::newRow("a host without scheme") << "www.x.com/1.html" << "www.x.com/1.html";
    QTest::newRow("a host and port") << "127.0.0.1:8080/a.html" << "127.0.0.1:8080/a.html";
    QTest::newRow("localhost") << "localhost" << "localhost";
    QTest::newRow("a Chinese domain") << "中文.com/1.html" << "中文.com/1.html";
    QTest::newRow("a command") << "rc:GoStart" << "rc:GoStart";
    QTest::newRow("a command carrying an address") << "rc:Open_HTTP://Example.COM/Book/A.html" << "rc:Open_HTTP://Example.COM/Book/A.html";
    QTest::newRow("a file") << "/home/reader/书.html" << "/home/reader/书.html";
    QTest::newRow("a path with a blank") << "http://x.com/书/a b.html" << "http://x.com/书/a b.html";

    // Shared text holding one address.
    QTest::newRow("a chat's share") << "《剑出青云》第8章 http://m.x.com/book/8.html 快来看" << "http://m.x.com/book/8.html";
    QTest::newRow("https, no blanks around") << "《剑出青云》第8章https://m.x.com/8.html快来看" << "https://m.x.com/8.html";
    QTest::newRow("full-width brackets") << "剑出青云（http://x.com/8.html）" << "http://x.com/8.html";
    QTest::newRow("full-width colon and comma") << "地址：http://x.com/8.html，快来看" << "http://x.com/8.html";
    QTest::newRow("Chinese full stop") << "看这里 http://x.com/8.html。" << "http://x.com/8.html";
    QTest::newRow("Chinese quotes and ellipsis") << "“http://x.com/8.html”……" << "http://x.com/8.html";
    QTest::newRow("full-width blank") << "第8章\u3000http://x.com/8.html\u3000快来看" << "http://x.com/8.html";
    QTest::newRow("ASCII full stop") << "Read it at http://x.com/8.html." << "http://x.com/8.html";
    QTest::newRow("ASCII brackets") << "第8章 (http://x.com/8.html)" << "http://x.com/8.html";
    QTest::newRow("brackets of its own") << "看 http://x.com/wiki/A_(B) 吧" << "http://x.com/wiki/A_(B)";
    QTest::newRow("query and fragment") << "分享 http://x.com/r?id=8&from=wx#p2 快来" << "http://x.com/r?id=8&from=wx#p2";
    QTest::newRow("www without scheme") << "《剑出青云》 www.x.com/1.html 第8章" << "http://www.x.com/1.html";
    QTest::newRow("www after Chinese") << "在www.x.com/1.html看" << "http://www.x.com/1.html";
    QTest::newRow("the same address twice") << "http://x.com/8.html 第8章 http://x.com/8.html" << "http://x.com/8.html";
    QTest::newRow("percent-encoded") << "书 http://x.com/%E4%B9%A6/8.html 好看" << "http://x.com/%E4%B9%A6/8.html";

    // Nothing to open.
    QTest::newRow("two addresses") << "上一章 http://x.com/7.html 下一章 http://x.com/9.html" << "";
    QTest::newRow("an address and a www one") << "http://x.com/7.html 或 www.y.com/7.html" << "";
    QTest::newRow("plain words") << "剑出青云 第8章" << "";
    QTest::newRow("one Chinese word") << "剑出青云" << "";
    QTest::newRow("one word") << "hello" << "";
    QTest::newRow("blanks only") << "   " << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("a scheme alone") << "《剑出青云》 http:// 快来看" << "";
    QTest::newRow("no host with a dot") << "看 http://x/8.html" << "";
}

void TestAddressText::addressToOpen()
{
    QFETCH(QString, text);
    QFETCH(QString, opens);
    QCOMPARE(AddressText::AddressToOpen(text), opens);
}

QTEST_APPLESS_MAIN(TestAddressText)
#include "tst_addresstext.moc"
