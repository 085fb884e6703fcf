#include "gui/toolkit/Graph.h"

#include "gui/toolkit/Plot.h"
#include "gui/toolkit/Plots.h"
#include "gui/toolkit/SiPrefixes.h"

#include <QAbstractItemModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QWheelEvent>

#include <climits>

namespace {

// Layout in pixels.
const int TopMargin = 5;
const int LeftMargin = 5;
const int RightInset = 11;
const int BottomInset = 11;
const int TickLength = 5;
const int LabelGap = 5;
const int LabelPadding = 10;
// The rubber band maps pixels to values with this fixed room per visible Y axis.
const int ZoomAxisRoom = 60;
const int MinBand = 3;

QPen gridPen(const QWidget *widget)
{
    QPen pen(
        widget->palette().color(QPalette::Light), 0.4, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    return pen;
}

} // namespace

Graph::Graph(QWidget *parent)
    : QWidget(parent)
{
    setBackgroundRole(QPalette::Dark);
    setAutoFillBackground(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::NoFocus);
    setPlotSettings(Axes(0, this));
    m_columnPlots = new Plots(this);
}

void Graph::connectXAxis(Axis *axis)
{
    connect(axis, &Axis::visbleChanged, this, &Graph::onXAxesVisbleChange, Qt::UniqueConnection);
    connect(axis, &Axis::autoScaleChanged, this, &Graph::onAutoScaleUpdate, Qt::UniqueConnection);
    connect(axis, &Axis::minMaxChanged, this, &Graph::onRefresh, Qt::UniqueConnection);
}

void Graph::setModel(QAbstractItemModel *model)
{
    m_columnPlots->setModel(model);
    connect(m_columnPlots, &Plots::refreshed, this, &Graph::onRefresh, Qt::UniqueConnection);
    connect(m_columnPlots,
        &Plots::autoScaleUpdated,
        this,
        &Graph::onAutoScaleUpdate,
        Qt::UniqueConnection);
    connect(m_columnPlots, &Plots::dataUpdated, this, &Graph::onDataUpdate, Qt::UniqueConnection);
}

void Graph::setPlot(Plot *plot, QSharedPointer<Axis> axis)
{
    if (!plot || !axis)
        return;
    m_plotBindings.insert(axis, plot);
    connect(plot, &Plot::refreshed, this, &Graph::onRefresh, Qt::UniqueConnection);
    connect(plot, &Plot::autoScaleUpdated, this, &Graph::onAutoScaleUpdate, Qt::UniqueConnection);
    connect(plot, &Plot::dataUpdated, this, &Graph::onDataUpdate, Qt::UniqueConnection);
    Axes &base = m_zoomStack[0];
    if (!base.yAxes.contains(axis)) {
        base.yAxes.append(axis);
        connect(axis.data(), &Axis::visbleChanged, this, &Graph::onYAxesVisbleChange);
        connect(axis.data(), &Axis::autoScaleChanged, this, &Graph::onAutoScaleUpdate);
        connect(axis.data(), &Axis::minMaxChanged, this, &Graph::onRefresh);
    }
    m_visibleYAxes = 0;
    for (const QSharedPointer<Axis> &y : qAsConst(m_zoomStack[m_curZoom].yAxes))
        m_visibleYAxes += y->visble() ? 1 : 0;
    refreshPixmap();
}

void Graph::clearAxis(QSharedPointer<Axis> axis)
{
    m_plotBindings.remove(axis);
    refreshPixmap();
}

Axis *Graph::xAxis() const
{
    return m_zoomStack.at(m_curZoom).xAxis.data();
}

void Graph::setPlotSettings(const Axes &axes)
{
    m_zoomStack.clear();
    m_zoomStack.append(axes);
    m_curZoom = 0;
    if (axes.xAxis)
        connectXAxis(axes.xAxis.data());
    refreshPixmap();
}

void Graph::setXAxis(QSharedPointer<Axis>) { }
void Graph::clearPlot(const Plot *) { }
void Graph::clearPlots() { }
void Graph::setStyle(ChartStyte) { }

QSize Graph::sizeHint() const
{
    return QSize(90, 40);
}

QSize Graph::minimumSizeHint() const
{
    return QSize(45, 20);
}

void Graph::zoomIn()
{
    if (m_curZoom >= m_zoomStack.size() - 1)
        return;
    ++m_curZoom;
    refreshPixmap();
}

void Graph::zoomOut()
{
    if (m_curZoom <= 0)
        return;
    --m_curZoom;
    refreshPixmap();
}

void Graph::onRefresh()
{
    refreshPixmap();
}

void Graph::onAutoScaleUpdate()
{
    // Deeper zoom levels keep the ranges the zoom gave them.
    if (m_curZoom != 0)
        return;
    const Axes &base = m_zoomStack.at(0);
    bool changed = false;
    if (base.xAxis && base.xAxis->autoScale())
        changed = base.xAxis->autoScaleAdjustX(m_plotBindings.values());
    for (const QSharedPointer<Axis> &axis : base.yAxes) {
        if (axis->autoScale())
            changed |= axis->autoScaleAdjustY(m_plotBindings.values(axis));
    }
    if (changed)
        refreshPixmap();
    else
        onDataUpdate();
}

void Graph::onDataUpdate()
{
    if (m_pixmap.isNull())
        return;
    QPainter painter(&m_pixmap);
    drawCurves(&painter);
    update();
}

void Graph::onYAxesVisbleChange(bool visble)
{
    m_visibleYAxes += visble ? 1 : -1;
    refreshPixmap();
}

void Graph::onXAxesVisbleChange(bool)
{
    refreshPixmap();
}

void Graph::refreshPixmap()
{
    m_pixmap = QPixmap(size());
    m_pixmap.fill(Qt::black);
    QPainter painter(&m_pixmap);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setRenderHint(QPainter::Antialiasing, true);
    drawGrid(&painter);
    drawCurves(&painter);
    update();
}

void Graph::drawGrid(QPainter *painter)
{
    const Axes &axes = m_zoomStack.at(m_curZoom);
    const QFontMetrics metrics = painter->fontMetrics();
    const int fh = metrics.height();
    // One formatter for the whole drawing: Y labels in axis and tick order, then X labels.
    SiPrefixes formatter;
    auto label = [&formatter](const Axis *axis, int i) {
        formatter.setValue(i * (axis->max() - axis->min()) / axis->ticks() + axis->min());
        return formatter.text();
    };

    QStringList yLabels;
    int labelRoom = 0;
    bool anyAxisVisible = false;
    for (const QSharedPointer<Axis> &axis : axes.yAxes) {
        axis->setLabelWidth(0);
        if (!axis->visble())
            continue;
        anyAxisVisible = true;
        for (int i = 0; i <= axis->ticks(); ++i) {
            const QString text = label(axis.data(), i);
            yLabels.append(text);
            axis->setLabelWidth(
                qMax(axis->labelWidth(), metrics.horizontalAdvance(text) + LabelPadding));
        }
        labelRoom += axis->labelWidth();
    }

    const Axis *x = axes.xAxis.data();
    const bool xVisible = x && x->visble();
    const int left = LeftMargin + labelRoom;
    const int right = width() - RightInset;
    const int bottom = height() - BottomInset - (xVisible ? fh : 0);
    m_plotRect = QRect(QPoint(left, TopMargin), QPoint(right, bottom));
    if (right < left || bottom < TopMargin)
        return;

    const QPen initialPen = painter->pen();
    const QPen grid = gridPen(this);
    if (xVisible) {
        anyAxisVisible = true;
        int previousRight = INT_MIN;
        for (int i = 0; i <= x->ticks(); ++i) {
            const int xi = left + (i * (right - left)) / x->ticks();
            const QString text = label(x, i);
            const int w = metrics.horizontalAdvance(text);
            painter->setPen(grid);
            painter->drawLine(xi, TopMargin, xi, bottom);
            if (xi - w / 2 > previousRight) {
                painter->drawLine(xi, bottom, xi, bottom + TickLength);
                painter->drawText(QRect(xi - w / 2, bottom + TickLength, w, fh),
                    Qt::AlignTop | Qt::AlignHCenter,
                    text);
                previousRight = xi + w / 2 + LabelGap;
            }
        }
    }

    int offset = 0;
    int next = 0;
    bool first = true;
    for (const QSharedPointer<Axis> &axis : axes.yAxes) {
        if (!axis->visble())
            continue;
        const int xa = left - offset;
        const QPen axisPen(axis->lineColor(), 1.0, Qt::SolidLine);
        int previousTop = INT_MAX;
        for (int i = 0; i <= axis->ticks(); ++i) {
            const int yi = bottom - (i * (bottom - TopMargin)) / axis->ticks();
            if (first) {
                painter->setPen(grid);
                painter->drawLine(left, yi, right, yi);
            }
            painter->setPen(axisPen);
            painter->drawLine(xa - TickLength, yi, xa, yi);
            painter->drawLine(xa, TopMargin, xa, bottom);
            const QString text = yLabels.value(next++);
            if (yi + fh / 2 < previousTop) {
                previousTop = yi - fh / 2;
                painter->setPen(grid);
                const int textLeft = left - (offset + axis->labelWidth());
                painter->drawText(
                    QRect(QPoint(textLeft, yi - fh / 2), QPoint(xa - 6, yi - fh / 2 + fh - 1)),
                    Qt::AlignRight | Qt::AlignVCenter,
                    text);
            }
        }
        first = false;
        offset += axis->labelWidth();
    }

    painter->setPen(anyAxisVisible ? grid : initialPen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRect(QPoint(left, TopMargin), QPoint(right - 1, bottom - 1)));

    for (Plot *plot : qAsConst(m_plotBindings))
        plot->setDrawnRow(0);
}

void Graph::drawCurves(QPainter *painter)
{
    const QRect r = m_plotRect;
    if (r.right() < r.left() || r.bottom() < r.top())
        return;
    const Axes &base = m_zoomStack.at(0);
    const Axes &shown = m_zoomStack.at(m_curZoom);
    const Axis *x = shown.xAxis.data();
    if (!x || x->max() <= x->min())
        return;
    painter->save();
    painter->setClipRect(
        QRect(QPoint(r.left() + 1, r.top() + 1), QPoint(r.right() - 1, r.bottom() - 1)));
    const double width = r.right() - r.left();
    const double height = r.bottom() - r.top();
    for (auto it = m_plotBindings.cbegin(); it != m_plotBindings.cend(); ++it) {
        Plot *plot = it.value();
        QAbstractItemModel *model = plot->model();
        if (!plot->visble() || !model)
            continue;
        // A zoom level's Y axes stand at the same positions as the base level's.
        const int index = base.yAxes.indexOf(it.key());
        const Axis *y = index >= 0 ? shown.yAxes.value(index, it.key()).data() : it.key().data();
        const int rows = model->rowCount();
        if (y->max() > y->min()) {
            QPolygonF line;
            line.reserve(rows - plot->drawnRow());
            for (int row = plot->drawnRow(); row < rows; ++row) {
                const double xv = Plot::cellValue(model->index(row, 0));
                const double yv = Plot::cellValue(model->index(row, plot->column()));
                line.append(QPointF(r.left() + width * (xv - x->min()) / (x->max() - x->min()),
                    r.bottom() - height * (yv - y->min()) / (y->max() - y->min())));
            }
            painter->setPen(QPen(
                plot->lineColor(), plot->lineWidth(), Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            painter->drawPolyline(line);
        }
        plot->setDrawnRow(rows > 0 ? rows - 1 : 0);
    }
    painter->restore();
}

void Graph::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    painter.drawPixmap(0, 0, m_pixmap);
    if (m_rubberBandShown) {
        painter.setPen(palette().color(QPalette::Light));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(m_rubberBandRect.normalized().adjusted(0, 0, -1, -1));
    }
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.backgroundColor = palette().color(QPalette::Dark);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
    }
}

void Graph::resizeEvent(QResizeEvent *)
{
    refreshPixmap();
}

void Graph::updateRubberBandRegion()
{
    const QRect r = m_rubberBandRect.normalized();
    update(r.left(), r.top(), r.width(), 1);
    update(r.left(), r.top(), 1, r.height());
    update(r.left(), r.bottom(), r.width(), 1);
    update(r.right(), r.top(), 1, r.height());
}

void Graph::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_plotRect.contains(event->pos()))
        return;
    m_rubberBandShown = true;
    m_rubberBandRect.setTopLeft(event->pos());
    m_rubberBandRect.setBottomRight(event->pos());
    updateRubberBandRegion();
    setCursor(Qt::CrossCursor);
}

void Graph::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_rubberBandShown)
        return;
    updateRubberBandRegion();
    m_rubberBandRect.setBottomRight(event->pos());
    updateRubberBandRegion();
}

void Graph::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_rubberBandShown)
        return;
    m_rubberBandShown = false;
    updateRubberBandRegion();
    unsetCursor();
    const QRect r = m_rubberBandRect.normalized();
    if (r.width() <= MinBand || r.height() <= MinBand)
        return;

    const Axes &shown = m_zoomStack.at(m_curZoom);
    const int xRoom = width() - LeftMargin - ZoomAxisRoom * m_visibleYAxes;
    const int yRoom = height() - fontMetrics().height() - 10;
    // A widget without room for the plot cannot map the band to values.
    if (xRoom <= 0 || yRoom <= 0)
        return;
    Axes level(shown.yAxes.size(), this);
    // Hidden axes stay hidden and keep their colours when zoomed into.
    level.xAxis->setVisble(shown.xAxis->visble());
    for (int i = 0; i < level.yAxes.size(); ++i) {
        level.yAxes[i]->setVisble(shown.yAxes.at(i)->visble());
        level.yAxes[i]->setLineColor(shown.yAxes.at(i)->lineColor());
    }

    const Axis *x = shown.xAxis.data();
    const int axisRoom = LeftMargin + ZoomAxisRoom * m_visibleYAxes;
    const double xStep = (x->max() - x->min()) / xRoom;
    level.xAxis->adjustAxis(x->min() + (r.left() - axisRoom) * xStep,
        x->min() + (r.right() - axisRoom) * xStep,
        Axis::ForceAdjust);
    for (int i = 0; i < m_visibleYAxes && i < shown.yAxes.size(); ++i) {
        const Axis *y = shown.yAxes.at(i).data();
        const double yStep = (y->max() - y->min()) / yRoom;
        level.yAxes[i]->adjustAxis(y->max() - (r.bottom() - TopMargin) * yStep,
            y->max() - (r.top() - TopMargin) * yStep,
            Axis::ForceAdjust);
    }
    m_zoomStack.resize(m_curZoom + 1);
    m_zoomStack.append(level);
    zoomIn();
}

void Graph::keyPressEvent(QKeyEvent *event)
{
    Axes &shown = m_zoomStack[m_curZoom];
    // Scrolling first: the first press on an automatically scaled axis only freezes it.
    auto freeze = [](Axis *axis) {
        if (axis && axis->autoScale())
            axis->setAutoScale(false);
    };
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
        shown.scroll(event->key() == Qt::Key_Left ? -1 : 1, 0);
        freeze(shown.xAxis.data());
        refreshPixmap();
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        shown.scroll(0, event->key() == Qt::Key_Up ? 1 : -1);
        for (const QSharedPointer<Axis> &axis : qAsConst(shown.yAxes))
            freeze(axis.data());
        refreshPixmap();
        break;
    case Qt::Key_Plus:
        zoomIn();
        break;
    case Qt::Key_Minus:
        zoomOut();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void Graph::wheelEvent(QWheelEvent *event)
{
    const QPoint delta = event->angleDelta();
    // One step per 15 degrees; angle deltas are in eighths of a degree.
    if (delta.x() != 0)
        m_zoomStack[m_curZoom].scroll((delta.x() / 8) / 15, 0);
    else
        m_zoomStack[m_curZoom].scroll(0, (delta.y() / 8) / 15);
    refreshPixmap();
}
