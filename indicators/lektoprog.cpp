#include "lektoprog.h"

#include <algorithm>

TLektoProgImg::TLektoProgImg(QWidget *owner) : QWidget(owner)
{
    const int side = std::min(owner->width(), owner->height());
    setFixedSize(side, side);
}

void TLektoProgImg::ProgressBy(int dMax, int dProg)
{
    FPercent = dMax > 0 ? std::clamp(int(qint64(dProg) * 100 / dMax), 0, 100) : 0;
    update();
}
