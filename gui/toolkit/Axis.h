#pragma once

#include <QColor>
#include <QList>
#include <QObject>

class Plot;

// One chart axis: the range shown, its grid divisions, visibility, automatic scaling and colour.
// Ranges are aligned to whole steps of 1, 2 or 5 times a power of ten.
class Axis : public QObject
{
    Q_OBJECT

public:
    enum UpdateAdjust {
        AutoAdjust = 0, // align only while automatic scaling is on
        ForceAdjust = 1, // align always
    };

    explicit Axis(QObject *parent = nullptr);

    double min() const { return m_min; }
    double max() const { return m_max; }
    int ticks() const { return m_ticks; }
    bool autoScale() const { return m_autoScale; }
    bool visble() const { return m_visble; }
    QColor lineColor() const { return m_lineColor; }
    // Room in pixels the labels take left of the plot area; written by the graph's grid drawing.
    int labelWidth() const { return m_labelWidth; }
    void setLabelWidth(int width) { m_labelWidth = width; }

    // Ignored while automatic scaling is on; otherwise aligns the new range.
    void setMin(double value);
    void setMax(double value);
    void setAutoScale(bool on);
    void setVisble(bool on);
    void setLineColor(const QColor &colour);

    // Aligns minimum..maximum to whole steps and stores it; true when the range changed. The
    // tick count is stored even when the range stays. Empty or reversed spans change nothing.
    bool adjustAxis(double minimum, double maximum, UpdateAdjust mode);
    // Scale to the extremes of all given plots (visible or not); true when the range changed.
    bool autoScaleAdjustX(const QList<Plot *> &plots);
    bool autoScaleAdjustY(const QList<Plot *> &plots);

Q_SIGNALS:
    void visbleChanged(bool visble);
    void autoScaleChanged(bool autoScale);
    void minMaxChanged();

private:
    double m_min = 0.0;
    double m_max = 10.0;
    int m_ticks = 5;
    bool m_visble = true;
    bool m_autoScale = true;
    QColor m_lineColor = Qt::white;
    int m_labelWidth = 0;
};
