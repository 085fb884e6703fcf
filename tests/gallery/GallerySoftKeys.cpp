// Soft keys: columns in each page colour, two-colour keys, half-height groups, the menu bar,
// and the pressed, checked and disabled states.

#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/FuncWidget.h"
#include "gui/toolkit/GroupFunc.h"
#include "tests/gallery/Gallery.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

const QSize columnSize(70, 200);

// A column of keys as a soft-key page builds it.
class Column : public FuncWidget
{
public:
    FuncButton *add(const QString &text, QWidget *holder = nullptr)
    {
        auto *key = new FuncButton(holder ? holder : this);
        key->setText(text);
        (holder ? holder->layout() : m_layout)->addWidget(key);
        return key;
    }
    GroupFunc *group(int spacing)
    {
        auto *keys = new GroupFunc(this);
        auto *layout = new QVBoxLayout(keys);
        layout->setSpacing(spacing);
        layout->setContentsMargins(0, 0, 0, 0);
        m_layout->addWidget(keys);
        return keys;
    }
    void blank()
    {
        auto *key = add(QString());
        key->setEnabled(false);
    }
};

void pageColumn(Gallery &gallery, const QString &name, FuncWidget::Color colour)
{
    auto *page = new Column;
    page->setStyle(colour, FuncWidget::Row, FuncWidget::NoColor);
    page->blank();
    page->add(QStringLiteral("Edit"))->setChecked(true);
    page->add(QStringLiteral("Sync\nEnable"));
    auto *pressed = page->add(QStringLiteral("Load\nOn"));
    pressed->setCheckable(false);
    pressed->setDown(true);
    auto *off = page->add(QStringLiteral("Load\nOff"));
    off->setEnabled(false);
    gallery.shoot(name, page, columnSize);
}

} // namespace

void gallerySoftKeys(Gallery &gallery)
{
    pageColumn(gallery, QStringLiteral("softkeys-page-blue"), FuncWidget::Blue);
    pageColumn(gallery, QStringLiteral("softkeys-page-red"), FuncWidget::Red);
    pageColumn(gallery, QStringLiteral("softkeys-page-green"), FuncWidget::Green);
    pageColumn(gallery, QStringLiteral("softkeys-page-yellow"), FuncWidget::Yellow);

    // Keys with a second colour, as the acquisition page has them; the second checked.
    auto *acquire = new Column;
    const struct
    {
        const char *text;
        FuncButton::Color second;
    } acquireKeys[] = { { "Initiate", FuncButton::Blue },
        { "Edit", FuncButton::NoColor },
        { "Abort", FuncButton::Pink },
        { "MSync", FuncButton::Green },
        { "*TRG", FuncButton::Yellow } };
    for (const auto &entry : acquireKeys) {
        auto *key = acquire->add(QString::fromUtf8(entry.text));
        key->setStyle(FuncButton::Red, FuncButton::Row, entry.second);
    }
    acquire->findChildren<FuncButton *>().at(1)->setChecked(true);
    gallery.shoot(QStringLiteral("softkeys-two-colour"), acquire, columnSize);

    // The pulse page: half-height keys in pairs that one panel key cycles through.
    auto *pulse = new Column;
    pulse->setMaximumHeight(215);
    auto *off = pulse->add(QStringLiteral("Pulse\nOff"));
    off->setStyle(FuncButton::Blue, FuncButton::Row, FuncButton::Blue);
    auto *outer = pulse->group(5);
    const struct
    {
        const char *first;
        const char *second;
        FuncButton::Color colour1;
        FuncButton::Color colour2;
    } pairs[] = { { "Current", "Slew Rate", FuncButton::Pink, FuncButton::Blue },
        { "\u00b7Depth[A]", "\u00b7Depth[%]", FuncButton::Green, FuncButton::Orange },
        { "\u00b7Freq[Hz]", "\u00b7Period[s]", FuncButton::Yellow, FuncButton::Yellow },
        { "\u00b7Duty[%]", "\u00b7Th[s]", FuncButton::Purple, FuncButton::Purple } };
    for (const auto &pair : pairs) {
        auto *inner = new GroupFunc(outer);
        auto *layout = new QVBoxLayout(inner);
        layout->setSpacing(0);
        layout->setContentsMargins(0, 0, 0, 0);
        outer->layout()->addWidget(inner);
        for (const auto &[text, colour] :
            { std::pair(pair.first, pair.colour1), std::pair(pair.second, pair.colour2) }) {
            auto *key = pulse->add(QString::fromUtf8(text), inner);
            key->setFont(QFont(QStringLiteral("DejaVu Sans"), 7));
            key->setMinimumHeight(19);
            key->setMaximumSize(60, 19);
            key->setStyle(FuncButton::Blue, FuncButton::Row, colour);
        }
    }
    outer->findChildren<FuncButton *>().at(2)->setChecked(true);
    gallery.shoot(QStringLiteral("softkeys-pulse-halves"), pulse, columnSize);

    // The menu bar along the bottom: plain keys with a bottom stripe, a column group with a
    // plain key over a half-height yellow one.
    auto *bar = new GroupFunc;
    bar->setMaximumWidth(QWIDGETSIZE_MAX);
    bar->setLayoutDirection(Qt::LeftToRight); // a row reads from F6 on the left
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    bar->setStyle(GroupFunc::Yellow, GroupFunc::Plain, GroupFunc::NoColor);
    auto *column = new GroupFunc(bar);
    auto *columnLayout = new QVBoxLayout(column);
    columnLayout->setSpacing(0);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    auto *configure = new FuncButton(column);
    configure->setText(QStringLiteral("\u00b7Configure"));
    configure->setStyle(FuncButton::NoColor, FuncButton::Plain, FuncButton::NoColor);
    configure->setMinimumHeight(12);
    auto *interface = new FuncButton(column);
    interface->setText(QStringLiteral("\u00b7Interface"));
    interface->setStyle(FuncButton::Yellow, FuncButton::Half, FuncButton::NoColor);
    interface->setMinimumHeight(12);
    for (FuncButton *key : { configure, interface }) {
        key->setMaximumSize(62, 19);
        columnLayout->addWidget(key);
    }
    configure->setChecked(true);
    row->addWidget(column);
    for (const char *text : { "Recall\nSave", "SCPI", "Admin", "Infomation" }) {
        auto *key = new FuncButton(bar);
        key->setText(QString::fromUtf8(text));
        key->setMaximumWidth(62);
        row->addWidget(key);
    }
    bar->findChildren<FuncButton *>().at(3)->setChecked(true);
    gallery.shoot(QStringLiteral("softkeys-menu-bar"), bar, QSize(320, 48));
}
