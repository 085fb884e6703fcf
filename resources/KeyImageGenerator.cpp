// Draws the soft keys' border images and the Qt resource file that lists them:
//   vek-keyimages DIR   writes DIR/*.png and DIR/keyimages.qrc (prefix /resources/image)
// The images are tiny; the style sheet stretches each over a whole key. The status tiles'
// flat colours are drawn here too. A layout fixes the
// image size and the edge of the colour stripe; the tables below list every image the screens
// name (layout x first colour x second colour), plus the pressed and disabled bodies.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QTextStream>
#include <QVector>

#include <cstdio>
#include <functional>

namespace {

enum class Edge { Bottom, Right, Left };

struct Layout
{
    const char *name; // first part of the file name: "", "Row", "Half"
    QSize size; // a coloured key
    QSize orangeSize; // the orange pair is drawn shorter
    QSize plainSize; // a key without colour
    Edge edge; // where the first colour's stripe runs
    int stripe; // its width in pixels
    int secondStripe; // width of the second colour's stripe, on the opposite edge
    QColor pressEdge; // the pressed body's edge line (one pixel, on the stripe's edge)
};

struct Colour
{
    const char *name;
    QColor normal; // first-colour stripe of a normal key
    QColor checked; // first-colour stripe of a checked key
    QColor second; // second-colour stripe, the same in both states
};

const QColor bodyNormal(51, 51, 51);
const QColor bodyChecked(208, 208, 208);
const QColor bodyPressed(153, 153, 153);

const Layout plain {
    "", QSize(2, 20), QSize(2, 18), QSize(2, 10), Edge::Bottom, 3, 0, QColor(93, 93, 93)
};
const Layout row {
    "Row", QSize(50, 2), QSize(40, 2), QSize(50, 2), Edge::Right, 4, 3, QColor(27, 27, 27)
};
const Layout half {
    "Half", QSize(2, 10), QSize(2, 10), QSize(2, 10), Edge::Bottom, 3, 0, QColor(93, 93, 93)
};

const Colour none { "", QColor(), QColor(), QColor() };
const Colour blue { "Blue", QColor(42, 86, 151), QColor(42, 127, 255), QColor(42, 42, 255) };
const Colour red { "Red", QColor(179, 29, 48), QColor(255, 0, 0), QColor() };
const Colour green { "Green", QColor(0, 172, 155), QColor(0, 255, 155), QColor(0, 255, 0) };
const Colour yellow { "Yellow", QColor(255, 196, 87), QColor(255, 255, 87), QColor(255, 255, 0) };
const Colour orange { "Orange", QColor(255, 102, 0), QColor(255, 102, 0), QColor(255, 102, 0) };
const Colour pink { "Pink", QColor(), QColor(), QColor(255, 128, 128) };
const Colour purple { "Purple", QColor(), QColor(), QColor(255, 0, 255) };

// Which keys exist: each row gives every first colour with every second colour.
struct Family
{
    const Layout *layout;
    QVector<const Colour *> first;
    QVector<const Colour *> second;
};

const QVector<Family> families = {
    { &plain, { &none, &blue, &green, &orange, &red, &yellow }, { &none } },
    { &half, { &yellow }, { &none } },
    { &row, { &blue, &green, &orange, &red, &yellow }, { &none } },
    { &row, { &blue, &green, &red }, { &blue, &green, &orange, &pink, &purple, &yellow } },
};

// The status tiles: one flat colour each, stretched under the tile's black text.
const QSize tileSize(31, 15);
const struct
{
    const char *name;
    QColor colour;
} tiles[] = {
    { "CCStatus", QColor(255, 0, 0) },
    { "CCStatus_2", QColor(255, 85, 85) },
    { "CCStatus_3", QColor(255, 150, 150) },
    { "CVStatus", QColor(0, 255, 0) },
    { "CVStatus_2", QColor(128, 255, 128) },
    { "CRStatus", QColor(0, 127, 255) },
    { "CPStatus", QColor(255, 160, 0) },
    { "ARBStatus", QColor(230, 230, 230) },
};

// The message row's icons: line drawings on black, 16 pixels high; the artwork is our own.
const QColor iconInk(255, 255, 255);
const QColor iconAccent(255, 200, 0);

QImage icon(int width, const std::function<void(QPainter &)> &draw)
{
    QImage image(QSize(width, 16), QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(iconInk, 1.5));
    // The artwork is drawn on a 16-pixel square; narrower icons squeeze it.
    if (width < 16)
        painter.scale(width / 16.0, 1.0);
    draw(painter);
    return image;
}

// Icons are 14 pixels wide, so that every indicator of the message row fits beside the
// error badge. A pair of scissor blades is the sign of an armed cut-off.
constexpr int iconWidth = 14;

void blades(QPainter &p)
{
    p.drawEllipse(QRectF(1.5, 9.5, 4, 4));
    p.drawEllipse(QRectF(1.5, 2.5, 4, 4));
    p.drawLine(QPointF(5, 4.5), QPointF(13, 11));
    p.drawLine(QPointF(5, 11.5), QPointF(13, 5));
}

// A cut-off that occurred: its cause's mark in the accent colour.
QImage cutoffIcon(const std::function<void(QPainter &)> &mark)
{
    return icon(iconWidth, [&](QPainter &p) {
        p.setPen(QPen(iconAccent, 1.5));
        mark(p);
    });
}

QImage padlock(int level)
{
    return icon(iconWidth, [level](QPainter &p) {
        p.drawArc(QRectF(4, 1.5, 8, 9), 0, 180 * 16);
        p.fillRect(QRectF(2.5, 6.5, 11, 8.5), iconAccent);
        p.setPen(QPen(Qt::black, 1.5));
        for (int i = 0; i < level; ++i)
            p.drawPoint(QPointF(5 + 3 * i, 11));
    });
}

QImage extLoad(bool negative, bool on)
{
    return icon(iconWidth, [negative, on](QPainter &p) {
        // A plug: two prongs into a body; negative logic adds a bar above.
        p.drawLine(QPointF(5, 9), QPointF(5, 15));
        p.drawLine(QPointF(11, 9), QPointF(11, 15));
        if (on)
            p.setBrush(iconAccent);
        p.drawRoundedRect(QRectF(2.5, 5.5, 11, 5), 1.5, 1.5);
        if (negative)
            p.drawLine(QPointF(2, 2), QPointF(14, 2));
    });
}

QRect stripeRect(const QSize &size, Edge edge, int width)
{
    switch (edge) {
    case Edge::Bottom:
        return QRect(0, size.height() - width, size.width(), width);
    case Edge::Right:
        return QRect(size.width() - width, 0, width, size.height());
    case Edge::Left:
        return QRect(0, 0, width, size.height());
    }
    return QRect();
}

QImage body(const QSize &size, const QColor &colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QImage key(const Layout &layout, const Colour &first, const Colour &second, bool checked)
{
    const QSize size = &first == &none ? layout.plainSize
        : &first == &orange            ? layout.orangeSize
                                       : layout.size;
    QImage image = body(size, checked ? bodyChecked : bodyNormal);
    QPainter painter(&image);
    if (&first != &none)
        painter.fillRect(
            stripeRect(size, layout.edge, layout.stripe), checked ? first.checked : first.normal);
    if (&second != &none)
        painter.fillRect(stripeRect(size, Edge::Left, layout.secondStripe), second.second);
    return image;
}

QImage pressed(const Layout &layout)
{
    QImage image = body(layout.size, bodyPressed);
    QPainter painter(&image);
    painter.fillRect(stripeRect(layout.size, layout.edge, 1), layout.pressEdge);
    return image;
}

enum class Prefix { Resources, Status };

class Writer
{
public:
    explicit Writer(const QString &dir)
        : m_dir(dir)
    { }

    // name may lie in a subfolder ("status/Meas.png"); it is listed under its file name.
    bool write(const QString &name, const QImage &image, Prefix prefix = Prefix::Resources)
    {
        if (!QDir().mkpath(QFileInfo(m_dir.filePath(name)).path())
            || !image.save(m_dir.filePath(name), "PNG")) {
            std::fprintf(
                stderr, "vek-keyimages: cannot write %s\n", qPrintable(m_dir.filePath(name)));
            return false;
        }
        m_names[int(prefix)].append(name);
        return true;
    }

    bool writeResourceFile()
    {
        QSaveFile file(m_dir.filePath(QStringLiteral("keyimages.qrc")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
            return false;
        QTextStream out(&file);
        out << "<RCC>\n";
        const char *prefixes[] = { "/resources/image", "/status/image" };
        for (int p = 0; p < 2; ++p) {
            out << "  <qresource prefix=\"" << prefixes[p] << "\">\n";
            for (const QString &name : qAsConst(m_names[p]))
                out << "    <file alias=\"" << QFileInfo(name).fileName() << "\">" << name
                    << "</file>\n";
            out << "  </qresource>\n";
        }
        out << "</RCC>\n";
        out.flush();
        return file.commit();
    }

private:
    QDir m_dir;
    QStringList m_names[2]; // by Prefix
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vek-keyimages DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "vek-keyimages: cannot create %s\n", argv[1]);
        return 1;
    }

    Writer writer(dir);
    bool ok = true;
    for (const Family &family : families) {
        for (const Colour *first : family.first) {
            for (const Colour *second : family.second) {
                const QString name = QStringLiteral("%1Function%2%3")
                                         .arg(QLatin1String(family.layout->name),
                                             QLatin1String(first->name),
                                             QLatin1String(second->name));
                ok &= writer.write(
                    name + QStringLiteral(".png"), key(*family.layout, *first, *second, false));
                ok &= writer.write(
                    name + QStringLiteral("Check.png"), key(*family.layout, *first, *second, true));
            }
        }
    }
    for (const Layout *layout : { &plain, &row, &half })
        ok &= writer.write(QStringLiteral("%1FunctionPress.png").arg(QLatin1String(layout->name)),
            pressed(*layout));
    ok &= writer.write(QStringLiteral("FunctionDisable.png"), body(QSize(40, 2), Qt::black));
    for (const auto &tile : tiles)
        ok &= writer.write(
            QLatin1String(tile.name) + QStringLiteral(".png"), body(tileSize, tile.colour));

    ok &= writer.write(QStringLiteral("cutoff.png"), icon(iconWidth, blades));
    ok &= writer.write(QStringLiteral("cutoffTime.png"), cutoffIcon([](QPainter &p) {
        p.drawEllipse(QRectF(1, 2, 11, 11));
        p.drawLine(QPointF(6.5, 7.5), QPointF(6.5, 4));
        p.drawLine(QPointF(6.5, 7.5), QPointF(9, 9));
    }));
    ok &= writer.write(QStringLiteral("cutoffVolt.png"), cutoffIcon([](QPainter &p) {
        p.drawPolyline(QPolygonF({ QPointF(1, 3), QPointF(6.5, 13), QPointF(12, 3) }));
    }));
    ok &= writer.write(QStringLiteral("cutoffCap.png"), cutoffIcon([](QPainter &p) {
        p.drawRect(QRectF(1.5, 4.5, 9, 7));
        p.fillRect(QRectF(10.5, 6.5, 2, 3), iconAccent);
    }));
    ok &= writer.write(QStringLiteral("cutoffEner.png"), cutoffIcon([](QPainter &p) {
        p.drawPolyline(QPolygonF({ QPointF(8, 1), QPointF(3, 9), QPointF(9, 8), QPointF(5, 15) }));
    }));

    const auto status = [&](const char *name, const QImage &image) {
        ok &= writer.write(QStringLiteral("status/") + QLatin1String(name), image, Prefix::Status);
    };
    status("Meas.png", icon(iconWidth, [](QPainter &p) {
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.drawPolyline(QPolygonF({ QPointF(3, 11), QPointF(6, 6), QPointF(9, 9), QPointF(13, 4) }));
    }));
    status("program.png", icon(iconWidth, [](QPainter &p) {
        for (int y : { 4, 8, 12 }) {
            p.drawPoint(QPointF(2.5, y));
            p.drawLine(QPointF(5, y), QPointF(14, y));
        }
    }));
    status("sensing.png", icon(iconWidth, [](QPainter &p) {
        p.drawLine(QPointF(2, 3), QPointF(2, 13));
        p.drawLine(QPointF(14, 3), QPointF(14, 13));
        p.drawLine(QPointF(4, 8), QPointF(12, 8));
        p.drawPolyline(QPolygonF({ QPointF(6, 5), QPointF(4, 8), QPointF(6, 11) }));
        p.drawPolyline(QPolygonF({ QPointF(10, 5), QPointF(12, 8), QPointF(10, 11) }));
    }));
    status("extLoad.png", extLoad(false, false));
    status("extLoadNeg.png", extLoad(true, false));
    status("extLoadNegOn.png", extLoad(true, true));
    status("sine.png", icon(iconWidth, [](QPainter &p) {
        QPainterPath wave(QPointF(1, 8));
        wave.cubicTo(QPointF(4, 0), QPointF(6, 0), QPointF(8, 8));
        wave.cubicTo(QPointF(10, 16), QPointF(12, 16), QPointF(15, 8));
        p.drawPath(wave);
    }));
    status("switching.png", icon(iconWidth, [](QPainter &p) {
        p.drawPolyline(QPolygonF({ QPointF(1, 12),
            QPointF(4, 12),
            QPointF(4, 4),
            QPointF(9, 4),
            QPointF(9, 12),
            QPointF(12, 12),
            QPointF(12, 4),
            QPointF(15, 4) }));
    }));
    for (int level = 1; level <= 3; ++level)
        status(qPrintable(QStringLiteral("keyLock%1.png").arg(level)), padlock(level));
    // The error count's badge: white digits go on it, right-aligned.
    status("Error.png", icon(50, [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 0, 0));
        p.drawRoundedRect(QRectF(0, 0, 50, 16), 3, 3);
    }));

    // The alarm symbol that opens the protection message: a red plate with a white triangle.
    {
        QImage alarm(65, 20, QImage::Format_ARGB32);
        alarm.fill(Qt::transparent);
        QPainter p(&alarm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 0, 0));
        p.drawRoundedRect(QRectF(0, 0, 65, 20), 4, 4);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({ QPointF(32.5, 2), QPointF(43, 18), QPointF(22, 18) }));
        p.setBrush(QColor(220, 0, 0));
        p.drawRect(QRectF(31.5, 7, 2, 6));
        p.drawRect(QRectF(31.5, 14.5, 2, 2));
        p.end();
        ok &= writer.write(QStringLiteral("alarm.png"), alarm);
    }

    if (!ok || !writer.writeResourceFile()) {
        std::fprintf(stderr, "vek-keyimages: the image set in %s is incomplete\n", argv[1]);
        return 1;
    }
    return 0;
}
