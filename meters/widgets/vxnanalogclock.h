#ifndef VXNANALOGCLOCK_H
#define VXNANALOGCLOCK_H

#include <QColor>
#include <QWidget>

#include "vxnclocktime.h"

class QPainter;
class QRegion;
class QTimer;
class QTransform;

// Round studio clock without numerals: hour and minute ticks, a ring of 60
// second dots, two triangular pointers near the rim, and optional end-time
// mark and count-down arc. Polls the time every 100 ms and repaints when the
// second changes, only where the face looks different: the dots that lit or
// went out and the pointers' old and new places. The face is drawn on a
// 200-unit dial; no background.
class VXNAnalogClock : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool HourLines READ HourLines WRITE setHourLines)
    Q_PROPERTY(int HourLinesLength READ HourLinesLength WRITE setHourLinesLength)
    Q_PROPERTY(int HourLinesWidth READ HourLinesWidth WRITE setHourLinesWidth)
    Q_PROPERTY(QColor HourLinesColor READ HourLinesColor WRITE setHourLinesColor)
    Q_PROPERTY(bool MinuteLines READ MinuteLines WRITE setMinuteLines)
    Q_PROPERTY(int MinuteLinesLength READ MinuteLinesLength WRITE setMinuteLinesLength)
    Q_PROPERTY(int MinuteLinesWidth READ MinuteLinesWidth WRITE setMinuteLinesWidth)
    Q_PROPERTY(QColor MinuteLinesColor READ MinuteLinesColor WRITE setMinuteLinesColor)
    Q_PROPERTY(bool SecondDots READ SecondDots WRITE setSecondDots)
    Q_PROPERTY(bool SecondDotsCountDown READ SecondDotsCountDown WRITE setSecondDotsCountDown)
    Q_PROPERTY(int DotSize READ DotSize WRITE setDotSize)
    Q_PROPERTY(QColor DotColor READ DotColor WRITE setDotColor)
    Q_PROPERTY(bool Hands READ Hands WRITE setHands)
    Q_PROPERTY(QColor HourHandColor READ HourHandColor WRITE setHourHandColor)
    Q_PROPERTY(int HourHandBorder READ HourHandBorder WRITE setHourHandBorder)
    Q_PROPERTY(int HourHandLength READ HourHandLength WRITE setHourHandLength)
    Q_PROPERTY(int HourHandWidth READ HourHandWidth WRITE setHourHandWidth)
    Q_PROPERTY(QColor MinuteHandColor READ MinuteHandColor WRITE setMinuteHandColor)
    Q_PROPERTY(int MinuteHandBorder READ MinuteHandBorder WRITE setMinuteHandBorder)
    Q_PROPERTY(int MinuteHandLength READ MinuteHandLength WRITE setMinuteHandLength)
    Q_PROPERTY(int MinuteHandWidth READ MinuteHandWidth WRITE setMinuteHandWidth)
    Q_PROPERTY(bool EndTime READ EndTime WRITE setEndTime)
    Q_PROPERTY(int EndTimeLength READ EndTimeLength WRITE setEndTimeLength)
    Q_PROPERTY(int EndTimeWidth READ EndTimeWidth WRITE setEndTimeWidth)
    Q_PROPERTY(int EndTimeHour READ EndTimeHour WRITE setEndTimeHour)
    Q_PROPERTY(int EndTimeMinute READ EndTimeMinute WRITE setEndTimeMinute)
    Q_PROPERTY(int EndTimeSecond READ EndTimeSecond WRITE setEndTimeSecond)
    Q_PROPERTY(QColor EndTimeColor READ EndTimeColor WRITE setEndTimeColor)
    Q_PROPERTY(float CountDownTime READ CountDownTime WRITE setCountDownTime)
    Q_PROPERTY(int CountDownWidth READ CountDownWidth WRITE setCountDownWidth)
    Q_PROPERTY(int CountDownSpacing READ CountDownSpacing WRITE setCountDownSpacing)
    Q_PROPERTY(QColor CountDownColor READ CountDownColor WRITE setCountDownColor)

public:
    explicit VXNAnalogClock(QWidget *parent = nullptr);
    ~VXNAnalogClock() override;

    bool HourLines() const { return m_HourLines; }
    void setHourLines(bool value);
    int HourLinesLength() const { return m_HourLinesLength; }
    void setHourLinesLength(int value);
    int HourLinesWidth() const { return m_HourLinesWidth; }
    void setHourLinesWidth(int value);
    QColor HourLinesColor() const { return m_HourLinesColor; }
    void setHourLinesColor(const QColor &value);

    bool MinuteLines() const { return m_MinuteLines; }
    void setMinuteLines(bool value);
    int MinuteLinesLength() const { return m_MinuteLinesLength; }
    void setMinuteLinesLength(int value);
    int MinuteLinesWidth() const { return m_MinuteLinesWidth; }
    void setMinuteLinesWidth(int value);
    QColor MinuteLinesColor() const { return m_MinuteLinesColor; }
    void setMinuteLinesColor(const QColor &value);

    bool SecondDots() const { return m_SecondDots; }
    void setSecondDots(bool value);
    bool SecondDotsCountDown() const { return m_SecondDotsCountDown; }
    void setSecondDotsCountDown(bool value);
    int DotSize() const { return m_DotSize; }
    void setDotSize(int value);
    QColor DotColor() const { return m_DotColor; }
    void setDotColor(const QColor &value);

    bool Hands() const { return m_Hands; }
    void setHands(bool value);
    QColor HourHandColor() const { return m_HourHandColor; }
    void setHourHandColor(const QColor &value);
    int HourHandBorder() const { return m_HourHandBorder; }
    void setHourHandBorder(int value);
    int HourHandLength() const { return m_HourHandLength; }
    void setHourHandLength(int value);
    int HourHandWidth() const { return m_HourHandWidth; }
    void setHourHandWidth(int value);
    QColor MinuteHandColor() const { return m_MinuteHandColor; }
    void setMinuteHandColor(const QColor &value);
    int MinuteHandBorder() const { return m_MinuteHandBorder; }
    void setMinuteHandBorder(int value);
    int MinuteHandLength() const { return m_MinuteHandLength; }
    void setMinuteHandLength(int value);
    int MinuteHandWidth() const { return m_MinuteHandWidth; }
    void setMinuteHandWidth(int value);

    bool EndTime() const { return m_EndTime; }
    void setEndTime(bool value);
    int EndTimeLength() const { return m_EndTimeLength; }
    void setEndTimeLength(int value);
    int EndTimeWidth() const { return m_EndTimeWidth; }
    void setEndTimeWidth(int value);
    int EndTimeHour() const { return m_EndTimeHour; }
    void setEndTimeHour(int value);
    int EndTimeMinute() const { return m_EndTimeMinute; }
    void setEndTimeMinute(int value);
    int EndTimeSecond() const { return m_EndTimeSecond; }
    void setEndTimeSecond(int value);
    QColor EndTimeColor() const { return m_EndTimeColor; }
    void setEndTimeColor(const QColor &value);

    float CountDownTime() const { return m_CountDownTime; }
    void setCountDownTime(float value);
    int CountDownWidth() const { return m_CountDownWidth; }
    void setCountDownWidth(int value);
    int CountDownSpacing() const { return m_CountDownSpacing; }
    void setCountDownSpacing(int value);
    QColor CountDownColor() const { return m_CountDownColor; }
    void setCountDownColor(const QColor &value);

public slots:
    // Takes the current time; repaints when the second changed.
    void checkTime();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The drawing steps of a paint, in the order they are painted over each
    // other; each leaves the painter turned as the next one expects.
    // Steps with many small shapes skip those outside `dirty`, the region
    // being repainted.
    void drawTicks(QPainter &painter, const QRegion &dirty) const;
    void drawEndTime(QPainter &painter) const;
    void drawCountDown(QPainter &painter) const;
    void drawPointers(QPainter &painter) const;
    void drawSecondDots(QPainter &painter, const QRegion &dirty) const;

    // The dial's units to the widget's pixels, as a paint sets it up.
    QTransform dialTransform() const;
    // Seconds left to the end time at the given time of day; below zero
    // when the mark is gone until tomorrow.
    int endTimeRemaining(int hour, int minute, int second) const;
    // Where the face shown at the old time differs from the face at the
    // time now held.
    QRegion changedRegion(int oldHour, int oldMinute, int oldSecond) const;

    bool m_HourLines;
    int m_HourLinesLength;
    int m_HourLinesWidth;
    QColor m_HourLinesColor;
    bool m_MinuteLines;
    int m_MinuteLinesLength;
    int m_MinuteLinesWidth;
    QColor m_MinuteLinesColor;
    bool m_SecondDots;
    bool m_SecondDotsCountDown;
    int m_DotSize;
    QColor m_DotColor;
    bool m_Hands;
    QColor m_HourHandColor;
    int m_HourHandBorder;
    int m_HourHandLength;
    int m_HourHandWidth;
    QColor m_MinuteHandColor;
    int m_MinuteHandBorder;
    int m_MinuteHandLength;
    int m_MinuteHandWidth;
    bool m_EndTime;
    int m_EndTimeLength;
    int m_EndTimeWidth;
    int m_EndTimeHour;
    int m_EndTimeMinute;
    int m_EndTimeSecond;
    QColor m_EndTimeColor;
    float m_CountDownTime;
    int m_CountDownWidth;
    int m_CountDownSpacing;
    QColor m_CountDownColor;
    QTimer *m_timer;
    VXNClockTime m_time;
};

#endif  // VXNANALOGCLOCK_H
