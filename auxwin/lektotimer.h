#pragma once

#include <QtWidgets/QWidget>

// The floating clock shown in full-screen reading.
class TLektoTimer : public QWidget
{
    Q_OBJECT

public:
    explicit TLektoTimer(QWidget *parent = nullptr);
};
