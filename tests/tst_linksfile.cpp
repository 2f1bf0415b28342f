// "links.txt" as files from other systems have it: marks, code pages, line ends.
#include "filefaults.h"
#include "lektoerror.h"
#include "linksfile.h"

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

Q_DECLARE_METATYPE(TLinksEncoding)

namespace {

// "D:\小说\起点.txt" as a Chinese Windows system writes it (GBK).
const QByteArray kGbkPath("D:\\\xD0\xA1\xCB\xB5\\\xC6\xF0\xB5\xE3.txt");
const QString kPath = QStringLiteral("D:\\小说\\起点.txt");

QByteArray utf16(const QString &text, bool littleEndian)
{
    QByteArray out;
    for (QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out += littleEndian ? QByteArray{&lo, 1} + QByteArray{&hi, 1} : QByteArray{&hi, 1} + QByteArray{&lo, 1};
    }
    return out;
}

} // namespace

class TestLinksFile : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void writesBackByteForByte_data();
    void writesBackByteForByte();
    void editedLinesKeepTheFileEncoding_data();
    void editedLinesKeepTheFileEncoding();
    void newFileIsGb18030WithoutMark();
    void halfACharacterAtTheEndStaysThere_data();
    void halfACharacterAtTheEndStaysThere();
    void lineEndsBecomeCrLf();
    void lineBreaksInsideALineCannotShiftTiles();
    void utf8StaysUtf8WithoutItsChinese_data();
    void utf8StaysUtf8WithoutItsChinese();
    void markAtTheStartOfTheFirstTileIsDropped_data();
    void markAtTheStartOfTheFirstTileIsDropped();
    void unreadableFileIsAnError();
};

void TestLinksFile::reads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<TLinksEncoding>("encoding");

    using E = TLinksEncoding;
    const QString zh = QStringLiteral("http://例子.中国/书");
    QTest::newRow("empty") << QByteArray() << QStringList{} << E::Ansi;
    QTest::newRow("crlf, ascii") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"} << E::Ansi;
    QTest::newRow("no final break") << QByteArray("a\r\nb") << QStringList{"a", "b"} << E::Ansi;
    QTest::newRow("mixed ends") << QByteArray("a\rb\nc\r\nd\n\re") << QStringList{"a", "b", "c", "d", "", "e"} << E::Ansi;
    QTest::newRow("empty lines") << QByteArray("\r\n\r\n\n") << QStringList{"", "", ""} << E::Ansi;
    QTest::newRow("gbk") << kGbkPath + "\r\nhttp://x/\r\n" << QStringList{kPath, "http://x/"} << E::Ansi;
    // GBK that happens to be valid UTF-8 ("小说" in GBK reads "Сʵ" as UTF-8).
    QTest::newRow("gbk, valid utf-8") << QByteArray("\xD0\xA1\xCB\xB5\r\n") << QStringList{QStringLiteral("小说")} << E::Ansi;
    QTest::newRow("gb18030 four-byte") << QByteArray("\x95\x32\x82\x36\r\n") << QStringList{QStringLiteral("𠀀")} << E::Ansi;
    QTest::newRow("utf-8 without mark") << zh.toUtf8() + "\r\n" << QStringList{zh} << E::Utf8;
    QTest::newRow("utf-8 mark") << "\xEF\xBB\xBF" + zh.toUtf8() + "\r\nb" << QStringList{zh, "b"} << E::Utf8Bom;
    QTest::newRow("utf-16 le") << "\xFF\xFE" + utf16(zh + "\r\n\nb\r", true) << QStringList{zh, "", "b"} << E::Utf16LE;
    QTest::newRow("utf-16 be") << "\xFE\xFF" + utf16(zh + "\rb", false) << QStringList{zh, "b"} << E::Utf16BE;
    // 0x0D00 and 0x0A00 are no line ends in UTF-16: only whole units count.
    QTest::newRow("utf-16 le, no false breaks") << "\xFF\xFE" + utf16(QStringLiteral("\u0D0A\u0A0D"), true)
                                                << QStringList{QStringLiteral("\u0D0A\u0A0D")} << E::Utf16LE;
    // Half a character at the end of a file cut short is no part of a line.
    QTest::newRow("utf-16 odd byte") << "\xFF\xFE" + utf16("a", true) + "x" << QStringList{"a"} << E::Utf16LE;
    QTest::newRow("utf-8 cut short") << QStringLiteral("起点\r\n").toUtf8() + "\xE8\xB5" << QStringList{QStringLiteral("起点")} << E::Utf8;
    QTest::newRow("not utf-8, not gb18030") << QByteArray("a\xFF\r\n") << QStringList{"a\uFFFD"} << E::Ansi;
    QTest::newRow("bom later is text") << QByteArray("a\r\n\xEF\xBB\xBFz") << QStringList{"a", QStringLiteral("\uFEFFz")} << E::Utf8;
}

void TestLinksFile::reads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QFETCH(TLinksEncoding, encoding);
    const TLinksFile f = TLinksFile::decode(bytes);
    QCOMPARE(f.lines(), lines);
    QCOMPARE(f.encoding(), encoding);
}

void TestLinksFile::writesBackByteForByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray twenty;
    for (int i = 1; i <= 20; ++i)
        twenty += "http://host/" + QByteArray::number(i) + "\r\n";
    QTest::newRow("twenty lines") << twenty;
    QTest::newRow("gbk") << kGbkPath + "\r\n\r\nhttp://x/\r\n";
    QTest::newRow("utf-8 without mark") << QStringLiteral("起点\r\n").toUtf8();
    QTest::newRow("utf-8 mark") << "\xEF\xBB\xBF" + QStringLiteral("起点\r\n").toUtf8();
    QTest::newRow("utf-16 le") << "\xFF\xFE" + utf16(kPath + "\r\n\r\n", true);
    QTest::newRow("utf-16 be") << "\xFE\xFF" + utf16(kPath + "\r\n", false);
    // Bytes no encoding can show come back as they were.
    QTest::newRow("damaged gbk") << QByteArray("\xC6\r\n\x80\xFF\r\n");
    QTest::newRow("utf-16 lone surrogate") << "\xFF\xFE" + utf16(QString(QChar(0xD800)) + "\r\n", true);
}

void TestLinksFile::writesBackByteForByte()
{
    QFETCH(QByteArray, bytes);
    TLinksFile f = TLinksFile::decode(bytes);
    QCOMPARE(f.encode(), bytes);
    f.padTo(16); // as the board does
    QVERIFY(f.encode().startsWith(bytes));
}

void TestLinksFile::editedLinesKeepTheFileEncoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("mark");
    QTest::newRow("gbk") << kGbkPath + "\r\n\x80\r\n" << QByteArray();
    QTest::newRow("utf-8 without mark") << QStringLiteral("起点\r\n").toUtf8() << QByteArray();
    QTest::newRow("utf-8 mark") << QByteArray("\xEF\xBB\xBF" "a\r\n") << QByteArray("\xEF\xBB\xBF");
    QTest::newRow("utf-16 le") << "\xFF\xFE" + utf16("a\r\n", true) << QByteArray("\xFF\xFE");
    QTest::newRow("utf-16 be") << "\xFE\xFF" + utf16("a\r\n", false) << QByteArray("\xFE\xFF");
}

void TestLinksFile::editedLinesKeepTheFileEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, mark);
    const TLinksFile read = TLinksFile::decode(bytes);
    TLinksFile edited = read;
    edited.padTo(16);
    const QString address = QStringLiteral("http://例子.中国/书/𠀀");
    edited.setLine(4, address);
    const QByteArray written = edited.encode();
    QVERIFY(written.startsWith(mark));
    QVERIFY(written.startsWith(bytes)); // untouched lines keep their bytes
    const TLinksFile again = TLinksFile::decode(written);
    QCOMPARE(again.encoding(), read.encoding());
    QCOMPARE(again.count(), 16);
    QCOMPARE(again.line(4), address);
    QCOMPARE(again.line(0), read.line(0));
}

void TestLinksFile::newFileIsGb18030WithoutMark()
{
    TLinksFile f;
    f.padTo(16);
    f.setLine(4, QStringLiteral("中文"));
    QCOMPARE(f.encode(), QByteArray("\r\n").repeated(4) + "\xD6\xD0\xCE\xC4\r\n" + QByteArray("\r\n").repeated(11));

    // A file of plain ASCII is what the system's code page wrote, too.
    TLinksFile ascii = TLinksFile::decode("http://a/\r\n");
    ascii.setLine(1, QStringLiteral("中文"));
    QCOMPARE(ascii.encode(), QByteArray("http://a/\r\n\xD6\xD0\xCE\xC4\r\n"));
}

void TestLinksFile::halfACharacterAtTheEndStaysThere_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<TLinksEncoding>("encoding");
    QTest::addColumn<bool>("byteForByte"); // the last line ends in a break: nothing to add
    using E = TLinksEncoding;
    const QString zh = QStringLiteral("http://例子.中国/书");
    QTest::newRow("utf-16 le, after a break") << "\xFF\xFE" + utf16(zh + "\r\n", true) + "x" << QByteArray("x") << E::Utf16LE << true;
    QTest::newRow("utf-16 le, in a line") << "\xFF\xFE" + utf16(zh + "\r\nb", true) + "x" << QByteArray("x") << E::Utf16LE << false;
    QTest::newRow("utf-16 be") << "\xFE\xFF" + utf16(zh + "\r\n", false) + "\x4E" << QByteArray("\x4E") << E::Utf16BE << true;
    QTest::newRow("utf-8, two of three bytes") << zh.toUtf8() + "\r\n\xE8\xB5" << QByteArray("\xE8\xB5") << E::Utf8 << true;
    QTest::newRow("utf-8, in a line") << zh.toUtf8() + "\r\nb\xF0\xA0\x80" << QByteArray("\xF0\xA0\x80") << E::Utf8 << false;
    QTest::newRow("utf-8 mark") << "\xEF\xBB\xBF" + zh.toUtf8() + "\r\n\xE4" << QByteArray("\xE4") << E::Utf8Bom << true;
}

// The next save of the board must neither shift the tiles after the cut
// (UTF-16) nor turn the file into another encoding (UTF-8 read as GB18030).
void TestLinksFile::halfACharacterAtTheEndStaysThere()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, tail);
    QFETCH(TLinksEncoding, encoding);
    QFETCH(bool, byteForByte);
    const TLinksFile read = TLinksFile::decode(bytes);
    QCOMPARE(read.encoding(), encoding);
    const QByteArray same = read.encode();
    QVERIFY(same.endsWith(tail));
    QCOMPARE(TLinksFile::decode(same).lines(), read.lines());
    if (byteForByte)
        QCOMPARE(same, bytes);

    TLinksFile edited = read;
    edited.padTo(16);
    const QString address = QStringLiteral("http://例子.中国/书/𠀀");
    edited.setLine(4, address);
    edited.setLine(15, QStringLiteral("http://last/"));
    const QByteArray written = edited.encode();
    QVERIFY(written.endsWith(tail));
    const TLinksFile again = TLinksFile::decode(written);
    QCOMPARE(again.encoding(), encoding);
    QCOMPARE(again.count(), 16);
    for (int i = 0; i < read.count(); ++i)
        QCOMPARE(again.line(i), read.line(i));
    QCOMPARE(again.line(4), address);
    QCOMPARE(again.line(15), QStringLiteral("http://last/"));
    QCOMPARE(again.encode(), written);
}

void TestLinksFile::lineEndsBecomeCrLf()
{
    TLinksFile f = TLinksFile::decode("a\nb\rc\r\n");
    QCOMPARE(f.encode(), QByteArray("a\r\nb\r\nc\r\n"));
}

void TestLinksFile::lineBreaksInsideALineCannotShiftTiles()
{
    TLinksFile f;
    f.padTo(16);
    f.setLine(0, QStringLiteral("http://a/\r\nhttp://b/\nc"));
    const TLinksFile again = TLinksFile::decode(f.encode());
    QCOMPARE(again.count(), 16);
    QCOMPARE(again.line(0), QStringLiteral("http://a/  http://b/ c"));
}

void TestLinksFile::utf8StaysUtf8WithoutItsChinese_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("tile");
    QTest::addColumn<TLinksEncoding>("encoding");
    using E = TLinksEncoding;
    const QByteArray utf8 = QStringLiteral("起点\r\nb\r\n").toUtf8();
    // "ӭ" is D3 AD in UTF-8, which GB18030 reads as "赢".
    QTest::newRow("two-byte letters left") << utf8 << QStringLiteral("@/ӭ Müller") << E::Utf8Bom;
    QTest::newRow("ascii left") << utf8 << QStringLiteral("http://a/") << E::Utf8Bom;
    QTest::newRow("cut short, two-byte letters left") << utf8 + "\xE8\xB5" << QStringLiteral("ӭ") << E::Utf8Bom;
    QTest::newRow("chinese left") << utf8 << QStringLiteral("小说") << E::Utf8;
    QTest::newRow("gbk stays without a mark") << kGbkPath + "\r\n" << QStringLiteral("http://a/") << E::Ansi;
}

// Once the last Chinese of a UTF-8 file without a mark is edited away, only
// a mark keeps it from being read as GB18030.
void TestLinksFile::utf8StaysUtf8WithoutItsChinese()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, tile);
    QFETCH(TLinksEncoding, encoding);
    TLinksFile edited = TLinksFile::decode(bytes);
    edited.setLine(0, tile);
    const TLinksFile again = TLinksFile::decode(edited.encode());
    QCOMPARE(again.encoding(), encoding);
    QCOMPARE(again.lines(), edited.lines());
}

void TestLinksFile::markAtTheStartOfTheFirstTileIsDropped_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("utf-8 without mark") << QByteArray("0\xEF\xBB\xBF\r\n");
    QTest::newRow("gbk") << QByteArray("http://a/\r\n");
    QTest::newRow("utf-16 le") << "\xFF\xFE" + utf16("a\r\n", true);
}

// Written first in a UTF-8 file without a mark, U+FEFF would become the
// file's mark: the file would change its encoding and the tile its text.
void TestLinksFile::markAtTheStartOfTheFirstTileIsDropped()
{
    QFETCH(QByteArray, bytes);
    const TLinksFile read = TLinksFile::decode(bytes);
    TLinksFile edited = read;
    edited.padTo(16);
    edited.setLine(0, QStringLiteral("\uFEFF\uFEFFhttp://a/\uFEFF"));
    edited.setLine(1, QStringLiteral("\uFEFFhttp://b/"));
    const TLinksFile again = TLinksFile::decode(edited.encode());
    QCOMPARE(again.encoding(), read.encoding());
    QCOMPARE(again.line(0), QStringLiteral("http://a/\uFEFF"));
    QCOMPARE(again.line(1), QStringLiteral("\uFEFFhttp://b/"));
}

void TestLinksFile::unreadableFileIsAnError()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("links.txt")); // a folder where the file should be
    QVERIFY_THROWS_EXCEPTION(ELektoError, TLinksFile::load(dir.filePath("links.txt")));
    QCOMPARE(TLinksFile::load(dir.filePath("missing.txt")).count(), 0);
}

QTEST_GUILESS_MAIN(TestLinksFile)
#include "tst_linksfile.moc"
