#pragma once

#include <QtWidgets/QWidget>

// The page-load progress indicator at the left of the toolbar. It places
// itself as a square of the smaller of its owner's width and height.
class TLektoProgImg : public QWidget
{
    Q_OBJECT

public:
    explicit TLektoProgImg(QWidget *owner);
    void ProgressBy(int dMax, int dProg);
    int Percent() const { return FPercent; }

private:
    int FPercent = 0;
};
