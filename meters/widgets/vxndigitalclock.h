#ifndef VXNDIGITALCLOCK_H
#define VXNDIGITALCLOCK_H

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

#include "vxnclocktime.h"

class QRect;
class QRegion;
class QTimer;

// Time ("hh:mm:ss") over date ("ddd d MMM yyyy"), each centred in its own
// band with its own font and colour. Polls the clock every 100 ms and
// repaints when the second changes, only over the characters that changed;
// paints no background.
class VXNDigitalClock : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool TimeDisplay READ TimeDisplay WRITE setTimeDisplay)
    Q_PROPERTY(QFont TimeDisplayFont READ TimeDisplayFont WRITE setTimeDisplayFont)
    Q_PROPERTY(QColor TimeDisplayFontColor READ TimeDisplayFontColor WRITE setTimeDisplayFontColor)
    Q_PROPERTY(bool DateDisplay READ DateDisplay WRITE setDateDisplay)
    Q_PROPERTY(QFont DateDisplayFont READ DateDisplayFont WRITE setDateDisplayFont)
    Q_PROPERTY(QColor DateDisplayFontColor READ DateDisplayFontColor WRITE setDateDisplayFontColor)

public:
    explicit VXNDigitalClock(QWidget *parent = nullptr);
    ~VXNDigitalClock() override;

    bool TimeDisplay() const { return m_TimeDisplay; }
    void setTimeDisplay(bool value);
    QFont TimeDisplayFont() const { return m_TimeDisplayFont; }
    void setTimeDisplayFont(const QFont &value);
    QColor TimeDisplayFontColor() const { return m_TimeDisplayFontColor; }
    void setTimeDisplayFontColor(const QColor &value);
    bool DateDisplay() const { return m_DateDisplay; }
    void setDateDisplay(bool value);
    QFont DateDisplayFont() const { return m_DateDisplayFont; }
    void setDateDisplayFont(const QFont &value);
    QColor DateDisplayFontColor() const { return m_DateDisplayFontColor; }
    void setDateDisplayFontColor(const QColor &value);

public slots:
    // Takes the time; with a new second rebuilds both texts, and repaints
    // when the second shown changed.
    void checkTime();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The two bands' rectangles; the date's depends on the time's font.
    QRect timeBand() const;
    QRect dateBand() const;
    // Where `now` drawn centred in the band differs from `shown` drawn so.
    QRegion textChange(const QRect &band, const QFont &font, const QString &shown, const QString &now) const;

    bool m_TimeDisplay;
    QFont m_TimeDisplayFont;
    QColor m_TimeDisplayFontColor;
    bool m_DateDisplay;
    QFont m_DateDisplayFont;
    QColor m_DateDisplayFontColor;
    QString m_timeText;
    QString m_dateText;
    // The texts on screen, to repaint only where the new ones differ.
    QString m_shownTimeText;
    QString m_shownDateText;
    QTimer *m_timer;
    VXNClockTime m_time;
};

#endif  // VXNDIGITALCLOCK_H
