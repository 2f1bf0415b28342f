#pragma once

#include <QtWidgets/QApplication>

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

private:
    void onTerminationSignal();
    QWidget *FMainWindow = nullptr;
};
