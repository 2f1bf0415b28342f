#pragma once

#include <QtWidgets/QWidget>

// The board of custom link tiles.
class TFLektoLinks : public QWidget
{
    Q_OBJECT

public:
    explicit TFLektoLinks(QWidget *parent = nullptr);
    // Shows the window when hidden, closes it when shown.
    void ToShow();
};
