#pragma once

#include <QtCore/QStringList>
#include <QtGui/QFont>

// The Chinese faces our windows and pages name, in order: left to the
// system, Chinese text took whatever font came first with the characters,
// outside a Chinese locale a calligraphic Kai face.
inline const QStringList &ChineseFaces()
{
    static const QStringList faces = {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
                                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Microsoft YaHei")};
    return faces;
}

// The face the windows were drawn for, then the Chinese faces.
inline QFont UiFont(int pixelSize)
{
    QFont f;
    f.setFamilies(QStringList{QStringLiteral("Tahoma")} + ChineseFaces());
    f.setPixelSize(pixelSize);
    return f;
}
