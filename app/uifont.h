#pragma once

#include <QtGui/QFont>
#include <QtCore/QStringList>

// The face the windows were drawn for, and for their Chinese a named face:
// left to the system, Chinese text took whatever font came first with the
// characters, outside a Chinese locale a calligraphic Kai face.
inline QFont UiFont(int pixelSize)
{
    QFont f;
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
                   QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Microsoft YaHei")});
    f.setPixelSize(pixelSize);
    return f;
}
