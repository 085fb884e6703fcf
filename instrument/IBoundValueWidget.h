#pragma once

#include <QString>

// What a bound value needs from a numeric entry widget. The widget lives in the GUI toolkit,
// a layer above this one, so bound values configure it through this interface. Values, limits
// and steps are in base units; the widget divides them by the factor of its SI prefix.
class IBoundValueWidget
{
public:
    virtual ~IBoundValueWidget() = default;

    virtual void setSiPrefix(const QString &prefix) = 0;
    virtual void setDecimals(int decimals) = 0;
    virtual void setRange(double min, double max) = 0;
    virtual void setSingleStep(double step) = 0;
    virtual void setSuffix(const QString &suffix) = 0;
    virtual void setValue(double value) = 0;
};
