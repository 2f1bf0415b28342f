#include "lektoapp.h"

#include "dialogs.h"

#include <QtCore/QLibraryInfo>
#include <QtCore/QSocketNotifier>
#include <QtCore/QTranslator>
#include <QtGui/QSessionManager>
#include <QtWidgets/QWidget>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int gSignalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop does the rest.
void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] auto n = ::write(gSignalPipe[0], &c, 1);
}
}

TLektoApplication::TLektoApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Lekto"));
    LoadChineseTranslations(this);

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) == 0) {
        auto *notifier = new QSocketNotifier(gSignalPipe[1], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            char c;
            [[maybe_unused]] auto n = ::read(gSignalPipe[1], &c, 1);
            onTerminationSignal();
        });
        struct sigaction sa = {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGHUP, &sa, nullptr);
    }
    // The session is ending: close now, while there is still time to save.
    connect(this, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) { onTerminationSignal(); });
}

TLektoApplication::~TLektoApplication()
{
    for (int &fd : gSignalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void TLektoApplication::onTerminationSignal()
{
    FTerminationRequested = true;
    if (FMainWindow)
        FMainWindow->close(); // runs FormClose, which saves the history
    quit();
}

void LoadChineseTranslations(QCoreApplication *app)
{
    // Lekto speaks Simplified Chinese whatever the system's locale: the
    // standard buttons ("是", "取消"), the standard dialogs and the engine's
    // menus come from Qt's own translations. A missing file leaves English.
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char *name : {"qtbase_zh_CN", "qtwebengine_zh_CN"}) {
        auto *t = new QTranslator(app);
        if (t->load(QString::fromLatin1(name), dir))
            app->installTranslator(t);
        else
            delete t;
    }
}

bool TLektoApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        Dialogs::reportException(std::current_exception());
        return false;
    }
}
