// Draws the soft keys' border images and the Qt resource file that lists them:
//   vek-keyimages DIR   writes DIR/*.png and DIR/keyimages.qrc (prefix /resources/image)
// The images are tiny; the style sheet stretches each over a whole key. The status tiles'
// flat colours are drawn here too. A layout fixes the
// image size and the edge of the colour stripe; the tables below list every image the screens
// name (layout x first colour x second colour), plus the pressed and disabled bodies.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QTextStream>
#include <QVector>

#include <cstdio>

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

class Writer
{
public:
    explicit Writer(const QString &dir)
        : m_dir(dir)
    { }

    bool write(const QString &name, const QImage &image)
    {
        if (!image.save(m_dir.filePath(name), "PNG")) {
            std::fprintf(
                stderr, "vek-keyimages: cannot write %s\n", qPrintable(m_dir.filePath(name)));
            return false;
        }
        m_names.append(name);
        return true;
    }

    bool writeResourceFile()
    {
        QSaveFile file(m_dir.filePath(QStringLiteral("keyimages.qrc")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
            return false;
        QTextStream out(&file);
        out << "<RCC>\n  <qresource prefix=\"/resources/image\">\n";
        for (const QString &name : qAsConst(m_names))
            out << "    <file>" << name << "</file>\n";
        out << "  </qresource>\n</RCC>\n";
        out.flush();
        return file.commit();
    }

private:
    QDir m_dir;
    QStringList m_names;
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

    if (!ok || !writer.writeResourceFile()) {
        std::fprintf(stderr, "vek-keyimages: the image set in %s is incomplete\n", argv[1]);
        return 1;
    }
    return 0;
}
