#ifndef ARTWORK_ICOFILE_H
#define ARTWORK_ICOFILE_H

#include <QByteArray>
#include <QImage>
#include <QVector>

// Packs square images into a Windows icon file. Images up to 128 pixels are
// stored as 32-bit BGRA bitmaps with an AND mask (readable everywhere), the
// 256-pixel image as PNG, which is how Windows itself stores large icons.
QByteArray makeIcoFile(const QVector<QImage> &images);

#endif  // ARTWORK_ICOFILE_H
