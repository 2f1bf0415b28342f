// Replays a fuzzer's seed corpus (and anything it found since) in every test
// run: the history file's, or the parser's LEKTO_FUZZ_ENTRY names.
#include "historyfuzz.h"
#include "parserfuzz.h"

#ifndef LEKTO_FUZZ_ENTRY
#define LEKTO_FUZZ_ENTRY FuzzHistoryFile
#endif

#include <QtCore/QDir>
#include <QtTest/QtTest>

class TestFuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void replay_data()
    {
        QTest::addColumn<QString>("file");
        const QDir corpus(QStringLiteral(LEKTO_CORPUS));
        const auto files = corpus.entryList(QDir::Files, QDir::Name);
        QVERIFY(!files.isEmpty());
        for (const auto &f : files)
            QTest::newRow(qPrintable(f)) << corpus.filePath(f);
    }
    void replay()
    {
        QFETCH(QString, file);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(LEKTO_FUZZ_ENTRY(reinterpret_cast<const std::uint8_t *>(bytes.constData()), size_t(bytes.size())), 0);
    }
};

QTEST_GUILESS_MAIN(TestFuzzReplay)
#include "tst_fuzzreplay.moc"
