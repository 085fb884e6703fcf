// Numeric entries: the digit-stepping box, the frequency box and the SI box.

#include "gui/toolkit/FreqDoubleSpinBox.h"
#include "gui/toolkit/SiDoubleSpinBox.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "tests/gallery/Gallery.h"

#include <QTest>

namespace {

const QSize entrySize(96, 26);

// As the level screens set up their entries: no spin buttons, right-aligned 8-point text and a
// coloured left border naming the soft key that selects it.
template <class Box> Box *levelEntry(const QString &border)
{
    auto *box = new Box;
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    box->setMinimumWidth(60);
    box->setMaximumHeight(18);
    box->setStyleSheet(
        QStringLiteral("border: none; border-left: 2px solid %1; border-radius: 2px;").arg(border));
    return box;
}

zoDoubleSpinBox *current(double value)
{
    auto *box = levelEntry<zoDoubleSpinBox>(QStringLiteral("#FF8080"));
    box->setDecimals(3);
    box->setRange(0, 150);
    box->setSingleStep(0.001);
    box->setValue(value);
    return box;
}

// The pulse view's frequency entry: 1 Hz to 100 kHz in steps of 0.1 Hz.
FreqDoubleSpinBox *pulseFrequency(double value)
{
    auto *box = levelEntry<FreqDoubleSpinBox>(QStringLiteral("yellow"));
    box->setDecimals(1);
    box->setRange(1, 100000);
    box->setSingleStep(0.1);
    box->setValue(value);
    return box;
}

} // namespace

void galleryEntries(Gallery &gallery)
{
    auto *idle = current(12.345);
    gallery.shoot(QStringLiteral("entry-idle"), idle, entrySize, [idle] {
        idle->clearFocus();
    });

    auto *tenths = current(12.345);
    gallery.shoot(QStringLiteral("entry-tenths-selected"), tenths, entrySize, [tenths] {
        tenths->setFocus(Qt::OtherFocusReason);
        tenths->setCursorResolution(1);
    });

    auto *tens = current(145);
    gallery.shoot(QStringLiteral("entry-tens-stepped-to-limit"), tens, entrySize, [tens] {
        tens->setFocus(Qt::OtherFocusReason);
        tens->setCursorResolution(-1);
        QTest::keyClick(tens, Qt::Key_Up);
    });

    auto *typing = current(12.345);
    gallery.shoot(QStringLiteral("entry-typing"), typing, entrySize, [typing] {
        typing->setFocus(Qt::OtherFocusReason);
        typing->setCursorResolution(0);
        QTest::keyClicks(typing, "7");
    });

    auto *milli = levelEntry<zoDoubleSpinBox>(QStringLiteral("#2A2AFF"));
    milli->setDecimals(3);
    milli->setSiPrefix(QStringLiteral("m"));
    milli->setRange(0, 0.15);
    milli->setSingleStep(5e-6);
    milli->setSuffix(QStringLiteral("m"));
    milli->setValue(0.0123);
    gallery.shoot(QStringLiteral("entry-milli-last-decimal"), milli, entrySize, [milli] {
        milli->setFocus(Qt::OtherFocusReason);
    });

    auto *disabled = current(12.345);
    disabled->setEnabled(false);
    gallery.shoot(QStringLiteral("entry-disabled"), disabled, entrySize);

    auto *frequency = pulseFrequency(10000);
    gallery.shoot(QStringLiteral("frequency-10k-hundreds"), frequency, entrySize, [frequency] {
        frequency->setFocus(Qt::OtherFocusReason);
        frequency->setCursorResolution(-2);
    });

    auto *high = pulseFrequency(20000);
    gallery.shoot(QStringLiteral("frequency-stepped-to-50k"), high, entrySize, [high] {
        high->setFocus(Qt::OtherFocusReason);
        high->setCursorResolution(-4);
        QTest::keyClick(high, Qt::Key_Up);
    });

    // The settings tree's editor of a real value with automatic prefix.
    const struct
    {
        const char *name;
        double value;
        int digit;
    } siStates[] = {
        { "si-milli", 0.999, 0 },
        { "si-ampere-after-step", 1.0, 0 },
        { "si-micro", 0.0005, 0 },
    };
    for (const auto &state : siStates) {
        auto *si = new SiDoubleSpinBox;
        si->setButtonSymbols(QAbstractSpinBox::NoButtons);
        si->setRange(0, 10);
        si->setDecimals(3);
        si->setSingleStep(0.001);
        si->setValue(state.value);
        const bool step = QByteArray(state.name).endsWith("step");
        gallery.shoot(QLatin1String(state.name), si, QSize(120, 30), [si, state, step] {
            si->setFocus(Qt::OtherFocusReason);
            si->setCursorResolution(state.digit);
            if (step)
                QTest::keyClick(si, Qt::Key_Up);
        });
    }
}
