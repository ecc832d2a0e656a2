#include "icofile.h"

#include <QBuffer>
#include <QtEndian>

namespace {

void put16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

QByteArray bitmapEntry(const QImage &source)
{
    const QImage img = source.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width();
    const int h = img.height();
    const int maskStride = ((w + 31) / 32) * 4;

    QByteArray out;
    // BITMAPINFOHEADER; the height counts the colour bitmap and the mask.
    put32(out, 40);
    put32(out, quint32(w));
    put32(out, quint32(h * 2));
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);
    put32(out, quint32(w * h * 4 + maskStride * h));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);

    // Rows bottom-up, BGRA, straight (not premultiplied) alpha.
    for (int y = h - 1; y >= 0; --y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb p = line[x];
            out.append(char(qBlue(p)));
            out.append(char(qGreen(p)));
            out.append(char(qRed(p)));
            out.append(char(qAlpha(p)));
        }
    }
    // AND mask: a set bit marks a fully transparent pixel, for readers that
    // ignore the alpha channel.
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        const QRgb *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(row);
    }
    return out;
}

QByteArray pngEntry(const QImage &img)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    img.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG");
    return out;
}

}  // namespace

QByteArray makeIcoFile(const QVector<QImage> &images)
{
    QVector<QByteArray> entries;
    for (const QImage &img : images)
        entries.append(img.width() >= 256 ? pngEntry(img) : bitmapEntry(img));

    QByteArray out;
    put16(out, 0);  // reserved
    put16(out, 1);  // type: icon
    put16(out, quint16(images.size()));

    quint32 offset = quint32(6 + 16 * images.size());
    for (int i = 0; i < images.size(); ++i) {
        const QImage &img = images.at(i);
        out.append(char(img.width() >= 256 ? 0 : img.width()));
        out.append(char(img.height() >= 256 ? 0 : img.height()));
        out.append(char(0));  // no palette
        out.append(char(0));
        put16(out, 1);   // planes
        put16(out, 32);  // bits per pixel
        put32(out, quint32(entries.at(i).size()));
        put32(out, offset);
        offset += quint32(entries.at(i).size());
    }
    for (const QByteArray &e : entries)
        out.append(e);
    return out;
}
