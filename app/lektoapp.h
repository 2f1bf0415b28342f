#pragma once

#include <QtWidgets/QApplication>

// Qt's own Simplified-Chinese texts (standard buttons and dialogs, the web
// engine's menus), whatever the system's locale.
void LoadChineseTranslations(QCoreApplication *app);

// The application object: no exception crosses the event loop, and every
// orderly end (window closed, SIGTERM, SIGINT, the desktop session ending)
// closes the main window, so that the history is written.
class TLektoApplication : public QApplication
{
    Q_OBJECT

public:
    TLektoApplication(int &argc, char **argv);
    ~TLektoApplication() override;

    bool notify(QObject *receiver, QEvent *event) override;

    // The window whose closing ends the program.
    void SetMainWindow(QWidget *window) { FMainWindow = window; }
    // True once an end was asked for; one that came before the event loop
    // ran (a signal during start-up) is for the caller to honour.
    bool TerminationRequested() const { return FTerminationRequested; }

private:
    void onTerminationSignal();
    QWidget *FMainWindow = nullptr;
    bool FTerminationRequested = false;
};
