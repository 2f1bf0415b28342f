#include "lektoharness.h"
#include "pe32image.h"
#include "peimports.h"
#include "testhttpserver.h"
#include "webvoice.h"

#include <QtWebEngineCore/QWebEngineSettings>

#include <cstring>

#if defined(__unix__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

using namespace Pe32Image;

const Import kWaveOutWrite{"waveOutWrite"};
const QList<Import> kKernel{{"GetTickCount"}, {"Sleep"}, {"CreateFileW"}};
const QList<Import> kWinmm{{"waveOutOpen"}, {"waveOutWrite"}, {"waveOutReset"}};

// The bytes of an image, placed so that they end where an unreadable page
// begins: a read past the end stops the test there and then.
class GuardedImage
{
public:
    explicit GuardedImage(const QByteArray &bytes)
    {
#if defined(__unix__)
        const std::size_t page = std::size_t(::sysconf(_SC_PAGESIZE));
        const std::size_t body = (std::size_t(bytes.size()) + page - 1) / page * page;
        FLength = body + page;
        void *m = ::mmap(nullptr, FLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED)
            qFatal("mmap failed");
        FMap = static_cast<std::byte *>(m);
        ::mprotect(FMap + body, page, PROT_NONE);
        FData = FMap + body - bytes.size();
#else
        FCopy.resize(bytes.size());
        FData = FCopy.data();
#endif
        std::memcpy(FData, bytes.constData(), bytes.size());
        FSize = std::size_t(bytes.size());
    }
    ~GuardedImage()
    {
#if defined(__unix__)
        ::munmap(FMap, FLength);
#endif
    }
    GuardedImage(const GuardedImage &) = delete;
    GuardedImage &operator=(const GuardedImage &) = delete;

    std::span<const std::byte> bytes() const { return {FData, FSize}; }

private:
    std::byte *FData = nullptr;
    std::size_t FSize = 0;
#if defined(__unix__)
    std::byte *FMap = nullptr;
    std::size_t FLength = 0;
#else
    std::vector<std::byte> FCopy;
#endif
};

struct Module {
    QString name;
    QByteArray image;
};
using Modules = QList<Module>;

// ---- the hook --------------------------------------------------------------

struct WriteCall {
    WaveOut::THandle device = nullptr;
    WaveOut::THeader *header = nullptr;
    unsigned int size = 0;
    QByteArray data; // the buffer as the device got it
    int calls = 0;
};
WriteCall gWrite;

WaveOut::TResult LEKTO_WINAPI fakeWaveOutWrite(WaveOut::THandle device, WaveOut::THeader *header, unsigned int size)
{
    ++gWrite.calls;
    gWrite.device = device;
    gWrite.header = header;
    gWrite.size = size;
    gWrite.data = header ? QByteArray(header->lpData, header->dwBufferLength) : QByteArray();
    return 7;
}

const char kSoundPage[] =
    "<title>sound</title><p>advert</p><script>"
    "var c=new AudioContext();var o=c.createOscillator();o.connect(c.destination);o.start();"
    "</script>";

} // namespace

Q_DECLARE_METATYPE(Modules)

class TestFlashMute : public QObject
{
    Q_OBJECT

private slots:
    void pageSoundMutedFromHalfPureMode();
    void flashModuleNames_data();
    void flashModuleNames();
    void importWalk_data();
    void importWalk();
    void hookSilencesWhileMuted_data();
    void hookSilencesWhileMuted();
    void muteofTellsEveryTarget();
};

void TestFlashMute::pageSoundMutedFromHalfPureMode()
{
    TestHttpServer server;
    server.route("/sound.html", kSoundPage);
    server.route("/sound2.html", kSoundPage);
    LektoHarness h;
    TFLekto &w = h.open();
    w.Mute->Muteof(false); // whatever an earlier window of this process chose
    // Scripts run in both views without choosing a mode, and sound needs no
    // click; the hidden view keeps its page instead of going back to blank.
    using O = TDownloadControlOption;
    for (TBrowserView *v : {w.WB1, w.WBx}) {
        v->SetDownloadOptions(v->DownloadOptions() - TDownloadOptions{O::DontExecuteScripts});
        v->page()->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    }
    w.WBx->OnDocumentComplete = nullptr;

    QVERIFY(h.type(server.url("/sound.html")));
    w.WBx->Navigate(server.url("/sound.html"));
    QVERIFY2(waitUntil([&] { return w.WB1->Audible() && w.WBx->Audible(); }), "the pages play no sound");
    for (TBrowserView *v : {w.WB1, w.WBx, w.WbY})
        QVERIFY(!v->AudioMuted());

    const int before = h.completions;
    w.pHalfClick();
    for (TBrowserView *v : {w.WB1, w.WBx, w.WbY})
        QVERIFY(v->AudioMuted()); // at once, not from the next page on
    QVERIFY(h.waitComplete(before + 1)); // the page, loaded again, plays on muted
    QVERIFY(h.type(server.url("/sound2.html")));
    QVERIFY(waitUntil([&] { return w.WB1->Audible(); }));
    QVERIFY(w.WB1->AudioMuted());
    QVERIFY(w.WBx->AudioMuted());

    w.pFullClick(); // pure mode keeps the muting half-pure mode switched on
    QVERIFY(h.waitComplete(h.completions + 1));
    for (TBrowserView *v : {w.WB1, w.WBx, w.WbY})
        QVERIFY(v->AudioMuted());
    QVERIFY(w.Mute->IsOn());
}

void TestFlashMute::flashModuleNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("candidate");
    QTest::newRow("the plug-in") << "Flash32_11_2_202_235.ocx" << true;
    QTest::newRow("small letters") << "flash.ocx" << true;
    QTest::newRow("extension in capitals") << "FLASH10I.OCX" << true;
    QTest::newRow("word in the middle") << "npShockFlashPlayer.Ocx" << true;
    QTest::newRow("dll") << "Flash32_11_2_202_235.dll" << false;
    QTest::newRow("no Flash") << "Shockwave.ocx" << false;
    QTest::newRow("ocx not last") << "Flash.ocx.dll" << false;
    QTest::newRow("longer extension") << "Flash.ocxx" << false;
    QTest::newRow("no extension") << "Flash" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("Flash only in the extension") << "player.flash" << false;
    QTest::newRow("dotted ocx") << "Flash..ocx" << true;
}

void TestFlashMute::flashModuleNames()
{
    QFETCH(QString, name);
    QFETCH(bool, candidate);
    QCOMPARE(PeImports::IsFlashModuleName(std::u16string_view(reinterpret_cast<const char16_t *>(name.utf16()),
                                                              std::size_t(name.size()))),
             candidate);
}

void TestFlashMute::importWalk_data()
{
    QTest::addColumn<Modules>("modules");
    QTest::addColumn<int>("module"); // -1: nothing redirected
    QTest::addColumn<quint32>("slot");
    QTest::addColumn<int>("refuse"); // the first n offered slots are refused, as VirtualProtect may
    QTest::addColumn<int>("offers");

    const Pe32 plain = buildPe32({{kKernel}, {kWinmm}});
    QTest::newRow("import by name") << Modules{{"Flash32_11_2_202_235.ocx", plain.bytes}} << 0 << plain.slotAt[1][1] << 0 << 1;
    QTest::newRow("extension in capitals") << Modules{{"FLASH.OCX", plain.bytes}} << 0 << plain.slotAt[1][1] << 0 << 1;
    QTest::newRow("dll is no candidate") << Modules{{"Flash32.dll", plain.bytes}} << -1 << 0u << 0 << 0;

    const Pe32 lower = buildPe32({{{{"waveoutwrite"}}}});
    QTest::newRow("names in small letters") << Modules{{"flash.ocx", lower.bytes}} << 0 << lower.slotAt[0][0] << 0 << 1;

    const Pe32 none = buildPe32({{kKernel}});
    const Pe32 second = buildPe32({{kKernel}, {{{"waveOutOpen"}, kWaveOutWrite}}});
    QTest::newRow("two candidates") << Modules{{"Flash10a.ocx", none.bytes}, {"NPSWF32.dll", plain.bytes},
                                               {"Flash11e.ocx", second.bytes}, {"Flash12.ocx", plain.bytes}}
                                    << 2 << second.slotAt[1][1] << 0 << 1;
    QTest::newRow("two candidates, both importing") << Modules{{"Flash9.ocx", second.bytes}, {"Flash10.ocx", plain.bytes}}
                                                    << 0 << second.slotAt[1][1] << 0 << 1;
    QTest::newRow("refused, the next candidate") << Modules{{"Flash9.ocx", second.bytes}, {"Flash10.ocx", plain.bytes}}
                                                 << 1 << plain.slotAt[1][1] << 1 << 2;

    const Pe32 ordinal = buildPe32({{{{QByteArray(), 172}}}});
    QTest::newRow("by ordinal only") << Modules{{"Flash.ocx", ordinal.bytes}} << -1 << 0u << 0 << 0;
    const Pe32 ordinalThenName = buildPe32({{{{QByteArray(), 172}, {"waveOutOpen"}}}, {kKernel}, {{kWaveOutWrite}}});
    QTest::newRow("by ordinal, then by name") << Modules{{"Flash.ocx", ordinalThenName.bytes}} << 0
                                              << ordinalThenName.slotAt[2][0] << 0 << 1;

    const Pe32 unbound = buildPe32({{kKernel}, {kWinmm, true}});
    QTest::newRow("no lookup table") << Modules{{"Flash.ocx", unbound.bytes}} << 0 << unbound.slotAt[1][1] << 0 << 1;

    // Once a slot of a descriptor was offered, the rest of it is not looked at.
    const Pe32 twice = buildPe32({{{kWaveOutWrite, kWaveOutWrite}}, {kWinmm}});
    QTest::newRow("first of a descriptor") << Modules{{"Flash.ocx", twice.bytes}} << 0 << twice.slotAt[0][0] << 0 << 1;
    QTest::newRow("refused, the next descriptor") << Modules{{"Flash.ocx", twice.bytes}} << 0 << twice.slotAt[1][1] << 1 << 2;
    QTest::newRow("refused everywhere") << Modules{{"Flash.ocx", twice.bytes}} << -1 << 0u << 99 << 2;

    QTest::newRow("PE32+ image") << Modules{{"Flash.ocx", buildPe32({{kWinmm}}, 0x20B).bytes}} << -1 << 0u << 0 << 0;
    QByteArray noSignature = plain.bytes;
    noSignature[0x80] = 'X';
    QTest::newRow("no PE signature") << Modules{{"Flash.ocx", noSignature}} << -1 << 0u << 0 << 0;

    // Damaged images: whatever they say, nothing is read outside their bytes.
    const auto damaged = [](const Pe32 &pe, auto change) {
        QByteArray b = pe.bytes;
        change(b);
        return b;
    };
    const quint32 lastName = plain.nameAt[1][1];
    QTest::newRow("cut in the headers") << Modules{{"Flash.ocx", plain.bytes.left(0x90)}} << -1 << 0u << 0 << 0;
    QTest::newRow("cut in the import entry") << Modules{{"Flash.ocx", plain.bytes.left(0x80 + 130)}} << -1 << 0u << 0 << 0;
    QTest::newRow("cut in the descriptors") << Modules{{"Flash.ocx", plain.bytes.left(plain.descriptorAt[1] + 14)}} << -1 << 0u << 0 << 0;
    QTest::newRow("cut in the lookup table") << Modules{{"Flash.ocx", plain.bytes.left(plain.entryAt[1][1] + 2)}} << -1 << 0u << 0 << 0;
    QTest::newRow("cut in the name") << Modules{{"Flash.ocx", plain.bytes.left(lastName + 2 + 7)}} << -1 << 0u << 0 << 0;
    QTest::newRow("cut before the terminating zero") << Modules{{"Flash.ocx", plain.bytes.left(lastName + 2 + 12)}} << -1 << 0u << 0 << 0;
    QTest::newRow("NT headers out of range") << Modules{{"Flash.ocx", damaged(plain, [](QByteArray &b) { put32(b, 0x3C, 0xFFFFFFF0u); })}}
                                             << -1 << 0u << 0 << 0;
    QTest::newRow("import directory out of range")
        << Modules{{"Flash.ocx", damaged(plain, [](QByteArray &b) { put32(b, 0x80 + 128, 0xFFFFFFFFu); })}} << -1 << 0u << 0 << 0;
    QTest::newRow("import directory at the very end")
        << Modules{{"Flash.ocx", damaged(plain, [](QByteArray &b) { put32(b, 0x80 + 128, quint32(b.size() - 8)); })}}
        << -1 << 0u << 0 << 0;
    QTest::newRow("lookup table out of range, the next descriptor read")
        << Modules{{"Flash.ocx", damaged(second, [&](QByteArray &b) { put32(b, second.descriptorAt[0], 0xFFFFFFFCu); })}}
        << 0 << second.slotAt[1][1] << 0 << 1;
    QTest::newRow("name out of range, the next entry read")
        << Modules{{"Flash.ocx", damaged(second, [&](QByteArray &b) { put32(b, second.entryAt[1][0], 0x7FFFFFF0u); })}}
        << 0 << second.slotAt[1][1] << 0 << 1;
    QTest::newRow("address table out of range")
        << Modules{{"Flash.ocx", damaged(plain, [&](QByteArray &b) { put32(b, plain.descriptorAt[1] + 16, quint32(b.size() - 6)); })}}
        << -1 << 0u << 0 << 0;
    QTest::newRow("no address table")
        << Modules{{"Flash.ocx", damaged(plain, [&](QByteArray &b) { put32(b, plain.descriptorAt[1] + 16, 0); })}}
        << -1 << 0u << 0 << 0;
    QTest::newRow("tables that point at the descriptors")
        << Modules{{"Flash.ocx", damaged(plain, [&](QByteArray &b) {
               for (quint32 d : plain.descriptorAt)
                   put32(b, d, plain.importDirectory);
           })}}
        << -1 << 0u << 0 << 0;
    QTest::newRow("every descriptor naming one long table") << Modules{{"Flash.ocx", [] {
        Pe32 pe = buildPe32({{{{"waveOutWritX"}}}});
        QByteArray b = pe.bytes;
        b.resize(64 * 1024, '\0');
        const quint32 table = 32 * 1024;
        for (quint32 d = pe.importDirectory; d + 20 <= table; d += 20) {
            put32(b, d, table);
            put32(b, d + 12, pe.nameAt[0][0]);
            put32(b, d + 16, table);
        }
        for (quint32 at = table; at + 4 <= quint32(b.size()); at += 4)
            put32(b, at, pe.nameAt[0][0]);
        return b;
    }()}} << -1 << 0u << 0 << 0;
    QTest::newRow("empty image") << Modules{{"Flash.ocx", QByteArray()}} << -1 << 0u << 0 << 0;
}

void TestFlashMute::importWalk()
{
    QFETCH(Modules, modules);
    QFETCH(int, module);
    QFETCH(quint32, slot);
    QFETCH(int, refuse);
    QFETCH(int, offers);

    std::vector<std::unique_ptr<GuardedImage>> images;
    std::vector<std::u16string> names;
    std::vector<PeImports::TModuleImage> list;
    for (const auto &m : modules) {
        images.push_back(std::make_unique<GuardedImage>(m.image));
        names.push_back(m.name.toStdU16String());
    }
    for (std::size_t i = 0; i < images.size(); ++i)
        list.push_back({names[i], images[i]->bytes()});

    QList<QPair<int, quint32>> offered;
    const auto result = PeImports::RedirectFlashWaveOut(list, [&](std::size_t m, std::uint32_t at) {
        offered << qMakePair(int(m), quint32(at));
        return offered.size() > refuse;
    });
    QCOMPARE(offered.size(), offers);
    QCOMPARE(result ? int(result->module) : -1, module);
    if (result) {
        QCOMPARE(quint32(result->slot), slot);
        QCOMPARE(offered.last(), qMakePair(module, slot));
    }
}

void TestFlashMute::hookSilencesWhileMuted_data()
{
    QTest::addColumn<bool>("muted");
    QTest::newRow("muted") << true;
    QTest::newRow("not muted") << false;
}

void TestFlashMute::hookSilencesWhileMuted()
{
    QFETCH(bool, muted);
    TFlashMute mute;
    mute.Muteof(muted);
    QVERIFY(!UWebVoice::WaveOutPatched); // no plug-in module in this process

    QByteArray samples(4096, '\x5a');
    samples[0] = '\x7f';
    WaveOut::THeader header{samples.data(), 3000}; // the length, not the whole buffer
    auto *device = reinterpret_cast<WaveOut::THandle>(quintptr(0x1234));
    gWrite = {};
    const auto hook = &WaveOutWriteHookThrough<&fakeWaveOutWrite>;
    QCOMPARE(hook(device, &header, 32), 7u);
    QCOMPARE(gWrite.calls, 1);
    QCOMPARE(gWrite.device, device);
    QCOMPARE(gWrite.header, &header);
    QCOMPARE(gWrite.size, 32u);
    QCOMPARE(gWrite.data, muted ? QByteArray(3000, '\0') : QByteArray(samples.left(3000)));
    QCOMPARE(samples.mid(3000), QByteArray(4096 - 3000, '\x5a')); // nothing past the length

    // Headers the plug-in should never send still reach the real function untouched.
    WaveOut::THeader empty{nullptr, 512};
    QCOMPARE(hook(device, &empty, 32), 7u);
    QCOMPARE(hook(device, nullptr, 32), 7u);
    QCOMPARE(gWrite.calls, 3);
}

void TestFlashMute::muteofTellsEveryTarget()
{
    TFlashMute mute;
    mute.Muteof(false);
    QList<bool> first, second;
    mute.AddTarget([&](bool m) { first << m; });
    mute.Muteof(true);
    QVERIFY(mute.IsOn());
    QVERIFY(UWebVoice::MuteOn.load());
    // Added later, still silent from the start; the state is the process's.
    TFlashMute other;
    other.AddTarget([&](bool m) { second << m; });
    QVERIFY(other.IsOn());
    mute.Muteof(false);
    QCOMPARE(first, (QList<bool>{false, true, false}));
    QCOMPARE(second, (QList<bool>{true}));
    QVERIFY(!other.IsOn());
}

LEKTO_WEB_TEST_MAIN(TestFlashMute)
#include "tst_flashmute.moc"
