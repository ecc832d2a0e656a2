#ifndef WIDGETTESTING_H
#define WIDGETTESTING_H

// Small helpers shared by the widget tests: paint counting and pixel probes.

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QMetaObject>
#include <QMetaProperty>
#include <QPaintEvent>
#include <QTimer>
#include <QWidget>

#include <cmath>

// Wraps a widget class and counts the paint events it really gets.
template <typename W>
class PaintCounting : public W
{
public:
    using W::W;
    int paints = 0;
    long paintedRows = 0;    // heights of the painted rectangles, summed
    long paintedPixels = 0;  // areas of the painted regions, summed

protected:
    void paintEvent(QPaintEvent *event) override
    {
        ++paints;
        paintedRows += event->rect().height();
        for (const QRect &r : event->region())
            paintedPixels += long(r.width()) * r.height();
        W::paintEvent(event);
    }
};

// Delivers everything pending, pending repaints included.
inline void flushEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Paints a shown widget gets while running f.
template <typename W, typename F>
int paintsDuring(PaintCounting<W> &widget, F f)
{
    flushEvents();
    const int before = widget.paints;
    f();
    flushEvents();
    return widget.paints - before;
}

// The widget painted over an opaque white canvas, without its own window
// background, so transparent parts of the face read as white.
inline QImage renderOnWhite(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

inline bool sameColour(QRgb pixel, const QColor &colour, int tolerance = 0)
{
    return std::abs(qRed(pixel) - colour.red()) <= tolerance && std::abs(qGreen(pixel) - colour.green()) <= tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

// Pixel at a polar position of a dial centred at (cx, cy): angle in degrees
// clockwise from 12 o'clock, radius in pixels.
inline QRgb dialPixel(const QImage &image, double cx, double cy, double angle, double radius)
{
    const double a = angle * M_PI / 180.0;
    const int x = static_cast<int>(std::floor(cx + radius * std::sin(a)));
    const int y = static_cast<int>(std::floor(cy - radius * std::cos(a)));
    return image.pixel(x, y);
}

// "name:type" of every property the class adds, in meta-object order.
inline QStringList ownProperties(const QMetaObject &mo)
{
    QStringList list;
    for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
        const QMetaProperty p = mo.property(i);
        list << QString::fromLatin1(p.name()) + QLatin1Char(':') + QString::fromLatin1(p.typeName());
    }
    return list;
}

// The clocks own exactly one timer, running, polling every 100 ms.
inline bool pollsEvery100ms(const QWidget &clock)
{
    const QList<QTimer *> timers = clock.findChildren<QTimer *>();
    return timers.size() == 1 && timers.first()->interval() == 100 && timers.first()->isActive();
}

#endif  // WIDGETTESTING_H
