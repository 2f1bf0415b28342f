#include "lektolinks.h"

TFLektoLinks::TFLektoLinks(QWidget *parent) : QWidget(parent, Qt::Window)
{
}

void TFLektoLinks::ToShow()
{
    // The board has no tiles yet; until it does, there is nothing to show.
}
