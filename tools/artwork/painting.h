#ifndef ARTWORK_PAINTING_H
#define ARTWORK_PAINTING_H

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <QVector>

// Drawing of every picture the meters program carries. The look: a dark,
// calm studio face; lit things in clear saturated colours, unlit things
// dimmed but still readable from a distance.
namespace art {

enum class LampColour { Grey, Green, Red };

struct Signal {
    QString file;  // name part of the file, e.g. "onair1"
    QString word;  // legend on the icon
    QColor lit;    // plate colour when active
    QColor ink;    // legend colour when active
};

// The seven signals of the main window, in the order they are drawn on the
// contact sheet.
QVector<Signal> signalSet();

QImage signalIcon(const QSize &size, const Signal &signal, bool active);
QImage moduleLamp(int size, int number, LampColour colour);
QImage statusBackground(bool online);
QImage frameBackground();
QImage settingsGear(int size);
QImage aboutPicture();
QImage splashScreen();
QImage voiceTrack(int size);
QImage windowIcon(int size);

}  // namespace art

#endif  // ARTWORK_PAINTING_H
