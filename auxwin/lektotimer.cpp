#include "lektotimer.h"

TLektoTimer::TLektoTimer(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
}
