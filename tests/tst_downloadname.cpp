// The names proposed for downloads, and the part file that keeps a half
// written download away from its final name.
#include "downloadfile.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <sys/stat.h>

namespace {

// What the engine shows for raw 8-bit bytes in a header: one character each.
QString asEngineShowsBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

QByteArray gbk(const char *hex)
{
    return QByteArray::fromHex(hex);
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestDownloadName : public QObject
{
    Q_OBJECT

private slots:
    void proposedName_data();
    void proposedName();
    void finishNeverReplacesUnasked_data();
    void finishNeverReplacesUnasked();
    void reserveRefusesWithAReason();
    void linksAndOtherFilesAreTaken_data();
    void linksAndOtherFilesAreTaken();
    void discardLeavesNothing();
};

void TestDownloadName::proposedName_data()
{
    QTest::addColumn<QString>("engineName");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("expected");

    const QString page = QStringLiteral("http://www.example.com/modules/article/txtarticle.php?id=14055");
    // 书名.txt and 丂亐第1章 斗破苍穹.txt in GBK; the second has bytes 0x80-0x9F
    // and ASCII trail bytes ('@').
    QTest::newRow("GBK bytes read one per character") << asEngineShowsBytes(gbk("cae9c3fb2e747874")) << page << "书名.txt";
    QTest::newRow("GBK with C1 and ASCII trail bytes")
        << asEngineShowsBytes(gbk("81408180b5da31d5c220b6b7c6c6b2d4f1b72e747874"))
        << page << "丂亐第1章 斗破苍穹.txt";
    QTest::newRow("UTF-8 bytes read one per character") << asEngineShowsBytes("\xe4\xb9\xa6\xe5\x90\x8d.txt") << page << "书名.txt";
    QTest::newRow("GBK with a digit between characters") << asEngineShowsBytes(gbk("b5da31d5c22e747874")) << page << "第1章.txt";
    QTest::newRow("a Latin-1 name that is no GBK stays") << QStringLiteral("café.txt") << page << "café.txt";
    // Names the engine decoded right (RFC 5987 UTF-8) whose letters all fit in
    // Latin-1: one or two accents between plain letters are no GBK pairs.
    QTest::newRow("an accent between letters stays") << QStringLiteral("Müller.txt") << page << "Müller.txt";
    QTest::newRow("an accent before a space stays") << QStringLiteral("São Paulo.txt") << page << "São Paulo.txt";
    QTest::newRow("two accents between letters stay") << QStringLiteral("informação.txt") << page << "informação.txt";
    QTest::newRow("an accent at the start stays") << QStringLiteral("Überblick.txt") << page << "Überblick.txt";
    QTest::newRow("decoded by the engine stays") << QStringLiteral("斗破苍穹.txt") << page << "斗破苍穹.txt";
    QTest::newRow("GBK left percent-encoded") << QStringLiteral("%CA%E9%C3%FB.txt") << page << "书名.txt";
    QTest::newRow("a percent sign of its own stays") << QStringLiteral("100%25.txt") << page << "100%25.txt";
    QTest::newRow("folders dropped") << QStringLiteral("../../.bashrc") << page << "bashrc";
    QTest::newRow("Windows folders dropped") << QStringLiteral("..\\a\\b.txt") << page << "b.txt";
    QTest::newRow("not hidden") << QStringLiteral(".hidden") << page << "hidden";
    QTest::newRow("characters cards refuse") << QStringLiteral("第1章:开始?\"<>|*.txt") << page << "第1章_开始______.txt";
    QTest::newRow("control characters") << QStringLiteral("a\tb\x7f.txt") << page << "a_b_.txt";
    QTest::newRow("trailing dots and spaces") << QStringLiteral("书名.txt. . ") << page << "书名.txt";
    QTest::newRow("no name: the address's last part") << QString() << "http://x.test/down/%E4%B9%A6%E5%90%8D.txt" << "书名.txt";
    QTest::newRow("no name: a GBK address") << QString() << "http://x.test/down/%CA%E9%C3%FB.txt" << "书名.txt";
    QTest::newRow("the engine's UTF-8 reading of a GBK address")
        << QStringLiteral("\uFFFD\uFFFD\uFFFD\uFFFD.txt") << "http://x.test/down/%CA%E9%C3%FB.txt" << "书名.txt";
    QTest::newRow("no name at all") << QString() << "http://x.test/" << "下载";
    // "小说" in GBK is D0 A1 CB B5, which is valid UTF-8 too ("С˵"): two-byte
    // sequences only, so GBK; UTF-8 has Chinese in three bytes.
    QTest::newRow("GBK that is valid UTF-8") << asEngineShowsBytes(gbk("d0a1cbb52e747874")) << page << "小说.txt";
    QTest::newRow("GBK that is valid UTF-8, percent-encoded") << QStringLiteral("%D0%A1%CB%B5.txt") << page << "小说.txt";
    QTest::newRow("GBK that is valid UTF-8, in the address") << QString() << "http://x.test/down/%D0%A1%CB%B5.txt" << "小说.txt";
    QTest::newRow("UTF-8 bytes of a Latin name") << asEngineShowsBytes("M\xc3\xbcller.txt") << page << "Müller.txt";
    // What reorders or hides characters would show another name than the
    // file has: "小说\u202Etxt.sh" shows as "小说hs.txt".
    QTest::newRow("right-to-left override") << QStringLiteral("小说\u202Etxt.sh") << page << "小说txt.sh";
    QTest::newRow("embeddings and isolates")
        << QStringLiteral("\u202Aa\u202Bb\u202Cc\u202Dd\u2066e\u2067f\u2068g\u2069.txt") << page << "abcdefg.txt";
    QTest::newRow("zero-width characters") << QStringLiteral("\uFEFF书\u200B名\u200C\u200D\u200E\u200F\u2060.txt") << page << "书名.txt";
    QTest::newRow("only invisible characters") << QStringLiteral("\u200B\u202E") << page << "txtarticle.php";
    QTest::newRow("a language tag") << QStringLiteral("a") + QString::fromUcs4(U"\U000E0001") + QStringLiteral(".txt") << page << "a.txt";
    // Device names that Windows refuses as file names, whatever follows.
    QTest::newRow("CON") << QStringLiteral("CON") << page << "CON_";
    QTest::newRow("nul.txt") << QStringLiteral("nul.txt") << page << "nul_.txt";
    QTest::newRow("Aux.tar.gz") << QStringLiteral("Aux.tar.gz") << page << "Aux_.tar.gz";
    QTest::newRow("com1.txt") << QStringLiteral("com1.txt") << page << "com1_.txt";
    QTest::newRow("LPT9") << QStringLiteral("LPT9") << page << "LPT9_";
    QTest::newRow("prn before a space") << QStringLiteral("prn .txt") << page << "prn_ .txt";
    QTest::newRow("CONSOLE is no device") << QStringLiteral("CONSOLE.txt") << page << "CONSOLE.txt";
    QTest::newRow("COM10 is no device") << QStringLiteral("COM10.txt") << page << "COM10.txt";
    QTest::newRow("a device name in front of a long name")
        << QStringLiteral("con.") + QString(300, QLatin1Char('x')) << page << QStringLiteral("con_.") + QString(250, QLatin1Char('x'));
    QTest::newRow("cut before a space")
        << QString(254, QLatin1Char('a')) + QStringLiteral(" bbbbbbbbbbbbbbbbbbbb") << page << QString(254, QLatin1Char('a'));
    QTest::newRow("a device name in the address") << QString() << "http://x.test/down/con.txt" << "con_.txt";
    QTest::newRow("only dots") << QStringLiteral("..") << "http://x.test/" << "下载";

    // 100 characters of three bytes each: cut to 255 bytes with the extension kept.
    const QString longStem = QString(100, QChar(0x4e66));
    QTest::newRow("longer than a file system holds")
        << longStem + QStringLiteral(".txt") << page << QString(83, QChar(0x4e66)) + QStringLiteral(".txt");
    // A character outside the BMP is not cut in two.
    QString astral;
    for (int i = 0; i < 70; ++i)
        astral += QString::fromUcs4(U"\U00020000");
    QTest::newRow("no surrogate cut in two") << astral + QStringLiteral(".txt") << page << astral.left(2 * 62) + QStringLiteral(".txt");
}

void TestDownloadName::proposedName()
{
    QFETCH(QString, engineName);
    QFETCH(QString, url);
    QFETCH(QString, expected);
    const QString name = DownloadFile::ProposedName(engineName, QUrl(url));
    QCOMPARE(name, expected);
    QVERIFY(name.toUtf8().size() <= 255);
}

void TestDownloadName::finishNeverReplacesUnasked_data()
{
    QTest::addColumn<QStringList>("existing"); // files there before the download ends
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("savedAs");

    QTest::newRow("free name") << QStringList() << false << "书名.txt";
    QTest::newRow("taken meanwhile: the next free name") << QStringList{"书名.txt"} << false << "书名 (1).txt";
    QTest::newRow("taken twice") << QStringList{"书名.txt", "书名 (1).txt"} << false << "书名 (2).txt";
    QTest::newRow("replace agreed") << QStringList{"书名.txt"} << true << "书名.txt";
}

void TestDownloadName::finishNeverReplacesUnasked()
{
    QFETCH(QStringList, existing);
    QFETCH(bool, replace);
    QFETCH(QString, savedAs);
    QTemporaryDir dir;
    const QString finalPath = dir.filePath(QStringLiteral("书名.txt"));
    for (const QString &name : existing)
        QVERIFY(writeFile(dir.filePath(name), "old " + name.toUtf8()));

    const DownloadFile::TResult part = DownloadFile::Reserve(finalPath);
    QVERIFY2(part.ok(), qPrintable(part.error));
    QCOMPARE(QFileInfo(part.path).absolutePath(), QFileInfo(finalPath).absolutePath());
    QVERIFY(part.path != finalPath);
    QVERIFY(writeFile(part.path, "new"));

    const DownloadFile::TResult done = DownloadFile::Finish(part.path, finalPath, replace);
    QVERIFY2(done.ok(), qPrintable(done.error));
    QCOMPARE(QFileInfo(done.path).fileName(), savedAs);
    QCOMPARE(readFile(done.path), QByteArray("new"));
    // The part file was private; the book has what any new file gets.
    QFile fresh(dir.filePath(QStringLiteral("fresh")));
    QVERIFY(fresh.open(QIODevice::WriteOnly));
    QCOMPARE(QFileInfo(done.path).permissions(), fresh.permissions());
    fresh.remove();
    QVERIFY(!QFileInfo::exists(part.path));
    // Every file that was there and not agreed to be replaced is as it was.
    for (const QString &name : existing)
        if (name != savedAs)
            QCOMPARE(readFile(dir.filePath(name)), "old " + name.toUtf8());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), existing.size() + (existing.contains(savedAs) ? 0 : 1));
}

void TestDownloadName::reserveRefusesWithAReason()
{
    QTemporaryDir dir;
    const DownloadFile::TResult missing = DownloadFile::Reserve(dir.filePath(QStringLiteral("没有/书名.txt")));
    QVERIFY(!missing.ok());
    QVERIFY2(missing.error.contains(QStringLiteral("不存在")), qPrintable(missing.error));

    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("书名.txt")));
    const DownloadFile::TResult folder = DownloadFile::Reserve(dir.filePath(QStringLiteral("书名.txt")));
    QVERIFY(!folder.ok());
    QVERIFY2(folder.error.contains(QStringLiteral("文件夹")), qPrintable(folder.error));

    // A finished download whose name became a folder meanwhile is kept, and
    // the error says where.
    const DownloadFile::TResult part = DownloadFile::Reserve(dir.filePath(QStringLiteral("别名.txt")));
    QVERIFY(part.ok());
    QVERIFY(writeFile(part.path, "whole book"));
    for (bool replace : {false, true}) {
        const DownloadFile::TResult done = DownloadFile::Finish(part.path, dir.filePath(QStringLiteral("书名.txt")), replace);
        QVERIFY(!done.ok());
        QVERIFY2(done.error.contains(QDir::toNativeSeparators(part.path)), qPrintable(done.error));
        QCOMPARE(readFile(part.path), QByteArray("whole book"));
    }
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("书名.txt"))).isDir());
}

void TestDownloadName::linksAndOtherFilesAreTaken_data()
{
    QTest::addColumn<QString>("kind"); // what is at the download's name
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("savedAs");
    for (const char *kind : {"link to a file", "link to nowhere", "link to a folder", "fifo"}) {
        QTest::addRow("%s, not replaced", kind) << kind << false << "书名 (2).txt";
        QTest::addRow("%s, replaced", kind) << kind << true << "书名.txt";
    }
}

// A link at the name points anywhere, outside the chosen folder too: it is
// a name taken like any other, and the book is never written through it.
void TestDownloadName::linksAndOtherFilesAreTaken()
{
    QFETCH(QString, kind);
    QFETCH(bool, replace);
    QFETCH(QString, savedAs);
    QTemporaryDir dir, outside;
    QDir folder(dir.path());
    const QString finalPath = dir.filePath(QStringLiteral("书名.txt"));
    const QString victim = outside.filePath(QStringLiteral("victim.txt"));
    const QString nowhere = outside.filePath(QStringLiteral("nowhere.txt"));
    QVERIFY(writeFile(victim, "reader's own"));
    QVERIFY(folder.mkdir(QStringLiteral("sub")));
    const auto place = [&](const QString &path) {
        if (kind == "link to a file")
            return QFile::link(victim, path);
        if (kind == "link to nowhere")
            return QFile::link(nowhere, path);
        if (kind == "link to a folder")
            return QFile::link(dir.filePath(QStringLiteral("sub")), path);
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    };
    // The name and the first free one are taken, each by the same kind.
    QVERIFY(place(finalPath));
    QVERIFY(place(dir.filePath(QStringLiteral("书名 (1).txt"))));
    QVERIFY(DownloadFile::Exists(finalPath));
    QVERIFY(!DownloadFile::IsFolder(finalPath));
    QCOMPARE(QFileInfo(DownloadFile::FreeName(finalPath)).fileName(), QStringLiteral("书名 (2).txt"));

    const DownloadFile::TResult part = DownloadFile::Reserve(finalPath);
    QVERIFY2(part.ok(), qPrintable(part.error));
    QVERIFY(writeFile(part.path, "new"));
    const DownloadFile::TResult done = DownloadFile::Finish(part.path, finalPath, replace);
    QVERIFY2(done.ok(), qPrintable(done.error));
    QCOMPARE(QFileInfo(done.path).fileName(), savedAs);
    const QFileInfo saved(done.path);
    QVERIFY(saved.isFile() && !saved.isSymLink());
    QCOMPARE(readFile(done.path), QByteArray("new"));
    QCOMPARE(readFile(victim), QByteArray("reader's own"));
    QVERIFY(!QFileInfo::exists(nowhere));
    QCOMPARE(QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"victim.txt"});
    QVERIFY(QDir(dir.filePath(QStringLiteral("sub"))).isEmpty());
    if (!replace)
        QVERIFY(QFileInfo(finalPath).isSymLink() || !QFileInfo(finalPath).isFile());
}

void TestDownloadName::discardLeavesNothing()
{
    QTemporaryDir dir;
    const DownloadFile::TResult part = DownloadFile::Reserve(dir.filePath(QStringLiteral("书名.txt")));
    QVERIFY(part.ok());
    QVERIFY(writeFile(part.path + QStringLiteral(".download"), "half"));
    DownloadFile::Discard(part.path);
    QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
}

QTEST_GUILESS_MAIN(TestDownloadName)
#include "tst_downloadname.moc"
