#ifndef VXNPPMMETER_H
#define VXNPPMMETER_H

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

// Level in dB as taken by the meter's slot. Deliberately not registered with
// the meta-type system: the slot is meant for direct calls and connections.
typedef double double_db;

// Vertical peak programme meter: one level in dB drawn as a bar over a
// background, on the DIN (fourth-root) scale or linearly, with an optional
// marker line. The owner drives it: store a level, call calculatePosition()
// and repaint only when that reports a moved bar.
class VXNPPMMeter : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(double dBPosition READ dBPosition WRITE setdBPosition)
    Q_PROPERTY(double MindBPosition READ MindBPosition WRITE setMindBPosition)
    Q_PROPERTY(double MaxdBPosition READ MaxdBPosition WRITE setMaxdBPosition)
    Q_PROPERTY(double ReleasePerSecond READ ReleasePerSecond WRITE setReleasePerSecond)
    Q_PROPERTY(bool DINCurve READ DINCurve WRITE setDINCurve)
    Q_PROPERTY(bool GradientBackground READ GradientBackground WRITE setGradientBackground)
    Q_PROPERTY(bool GradientForground READ GradientForground WRITE setGradientForground)
    Q_PROPERTY(QColor MaxColor READ MaxColor WRITE setMaxColor)
    Q_PROPERTY(QColor MinColor READ MinColor WRITE setMinColor)
    Q_PROPERTY(QColor MaxBackgroundColor READ MaxBackgroundColor WRITE setMaxBackgroundColor)
    Q_PROPERTY(QColor MinBackgroundColor READ MinBackgroundColor WRITE setMinBackgroundColor)
    Q_PROPERTY(QString SkinEnvironmentVariable READ SkinEnvironmentVariable WRITE setSkinEnvironmentVariable)
    Q_PROPERTY(QString PPMMeterBackgroundFileName READ PPMMeterBackgroundFileName WRITE setPPMMeterBackgroundFileName)

public:
    explicit VXNPPMMeter(QWidget *parent = nullptr);
    ~VXNPPMMeter() override;

    double dBPosition() const { return m_dBPosition; }
    // Stores the level without scheduling a repaint (the release tick uses it).
    void setdBPositionNoUpdate(double NewdBPosition);
    // Clamps the level into the range and recomputes the bar; true when the
    // bar height in pixels changed since the previous call.
    bool calculatePosition();
    // The rows whose pixels calculatePosition() changed since the last paint
    // that covered them (the band between the old and the new bar top, or
    // the whole widget when the height or the 0 dB point moved); the owner
    // repaints just these with update(changedRows()).
    QRect changedRows() const { return m_changedRows; }

    double MindBPosition() const { return m_MindBPosition; }
    void setMindBPosition(double value);
    double MaxdBPosition() const { return m_MaxdBPosition; }
    void setMaxdBPosition(double value);

    bool ShowMarker() const { return m_ShowMarker; }
    void setShowMarker(bool value);
    double MarkerdBPosition() const { return m_MarkerdBPosition; }
    void setMarkerdBPosition(double value);

    double ReleasePerSecond() const { return m_ReleasePerSecond; }
    void setReleasePerSecond(double value);

    bool DINCurve() const { return m_DINCurve; }
    void setDINCurve(bool value);
    bool GradientBackground() const { return m_GradientBackground; }
    void setGradientBackground(bool value);
    bool GradientForground() const { return m_GradientForground; }
    void setGradientForground(bool value);

    const QColor &MaxColor() const { return m_MaxColor; }
    virtual void setMaxColor(const QColor &value);
    const QColor &MinColor() const { return m_MinColor; }
    virtual void setMinColor(const QColor &value);
    const QColor &MaxBackgroundColor() const { return m_MaxBackgroundColor; }
    virtual void setMaxBackgroundColor(const QColor &value);
    const QColor &MinBackgroundColor() const { return m_MinBackgroundColor; }
    virtual void setMinBackgroundColor(const QColor &value);

    QString SkinEnvironmentVariable() const { return m_SkinEnvironmentVariable; }
    void setSkinEnvironmentVariable(const QString &value);
    QString PPMMeterBackgroundFileName() const { return m_PPMMeterBackgroundFileName; }
    void setPPMMeterBackgroundFileName(const QString &value);

public slots:
    void setdBPosition(double_db NewdBPosition);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString backgroundImagePath() const;
    void reloadBackgroundImage();
    void recomputeDerived();
    void noteChangedRows(int h);
    int barRowKind(int row, int bar, int h) const;

    QImage m_backgroundImage;
    double m_dBPosition;
    int m_lastBarHeight;
    int m_barHeight;
    int m_zeroHeight;
    int m_lastZeroHeight;
    int m_lastHeight;
    QRect m_changedRows;
    double m_MindBPosition;
    double m_MaxdBPosition;
    bool m_ShowMarker;
    double m_MarkerdBPosition;
    double m_ReleasePerSecond;
    bool m_DINCurve;
    bool m_GradientBackground;
    bool m_GradientForground;
    QColor m_MaxColor;
    QColor m_MinColor;
    QColor m_MaxBackgroundColor;
    QColor m_MinBackgroundColor;
    QString m_SkinEnvironmentVariable;
    QString m_PPMMeterBackgroundFileName;
    double m_dinBase;
    double m_dinSpan;
    double m_linearSpan;
};

#endif  // VXNPPMMETER_H
