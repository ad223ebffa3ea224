#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// The flag pictures of the language menu: 21 x 13 pixels, named "FLAG_"
// plus a two-letter country code. They are drawn from a small table of each
// flag's simple geometry, so no image files need shipping.
QStringList FlagNames();
// The picture of that name; an unknown name gives a null image.
QImage FlagPicture(const QString &name);
