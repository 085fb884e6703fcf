#include "gui/source/ViewSetForm.h"

#include "gui/toolkit/Graph.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "gui/toolkit/zoMeasDoubleBox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace {

QFont dejaVu(int points)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(points);
    return font;
}

QLabel *label(QWidget *parent, const char *name, int points, Qt::Alignment align)
{
    auto *text = new QLabel(parent);
    text->setObjectName(QLatin1String(name));
    text->setFont(dejaVu(points));
    text->setAlignment(align);
    return text;
}

QLabel *rowLabel(QWidget *parent, const char *name)
{
    return label(parent, name, 6, Qt::AlignRight | Qt::AlignVCenter);
}

QLabel *unitLabel(QWidget *parent, const char *name, int minWidth = 15, int points = 8)
{
    QLabel *unit = label(parent, name, points, Qt::AlignHCenter | Qt::AlignBottom);
    unit->setMinimumWidth(minWidth);
    unit->setStyleSheet(QString());
    return unit;
}

QLabel *protectLabel(QWidget *parent, const char *name)
{
    QLabel *text = label(parent, name, 8, Qt::AlignCenter);
    text->setMinimumWidth(40);
    return text;
}

// The left border carries the colour of the soft key that selects the entry.
QString entryStyle(const char *leftBorder, bool framed)
{
    return QStringLiteral("QDoubleSpinBox {\n\tborder: %1;\n\tborder-left: 2px solid %2;\n"
                          "\tborder-radius: 2px;\n}")
        .arg(QLatin1String(framed ? "1px solid #3C3C3C" : "none"), QLatin1String(leftBorder));
}

zoDoubleSpinBox *entry(QWidget *parent, const char *name, int minWidth, const char *leftBorder,
    bool framed = false)
{
    auto *box = new zoDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setMinimumWidth(minWidth);
    box->setMaximumHeight(18);
    QFont font = dejaVu(8);
    font.setWeight(QFont::Normal);
    box->setFont(font);
    box->setFrame(true);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    box->setStyleSheet(entryStyle(leftBorder, framed));
    return box;
}

// The level entries before the view binds them to the model's tables.
void levelDefaults(zoDoubleSpinBox *box)
{
    box->setKeyboardTracking(true);
    box->setReadOnly(false);
    box->setAutoFillBackground(false);
    box->setSpecialValueText(QString());
    box->setPrefix(QString());
    box->setSuffix(QString());
    box->setDecimals(2);
    box->setRange(0.0, 240.0);
    box->setSingleStep(0.05);
    box->setValue(0.0);
}

QGridLayout *grid(const char *name)
{
    auto *layout = new QGridLayout();
    layout->setObjectName(QLatin1String(name));
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setColumnStretch(1, 1);
    return layout;
}

} // namespace

void Ui_ViewSet::setupUi(QWidget *form)
{
    if (form->objectName().isEmpty())
        form->setObjectName(QStringLiteral("ViewSet"));
    form->resize(358, 88);
    form->setMinimumHeight(55);
    form->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    form->setFont(QFont(QStringLiteral("DejaVu Sans")));
    form->setStyleSheet(QStringLiteral(
        "QDoubleSpinBox {\n\tcolor: rgb(255, 255, 255);\n\tbackground-color: rgb(60, 60, 60);\n}"));

    horizontalLayout = new QHBoxLayout(form);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(0, 0, 0, 3);

    viewSourceLayout = grid("viewSourceLayout");
    currentLabel = rowLabel(form, "currentLabel");
    setCurrent = entry(form, "setCurrent", 60, "#FF8080");
    currentUnit = unitLabel(form, "currentUnit");
    conductanceLabel = rowLabel(form, "conductanceLabel");
    setConductance = entry(form, "setConductance", 60, "#FF8080");
    conductanceUnit = unitLabel(form, "conductanceUnit");
    powerLabel = rowLabel(form, "powerLabel");
    setPower = entry(form, "setPower", 60, "#FF8080", true);
    powerUnit = unitLabel(form, "powerUnit");
    for (zoDoubleSpinBox *box : { setCurrent, setConductance, setPower })
        levelDefaults(box);

    absPlot = new Graph(form);
    absPlot->setObjectName(QStringLiteral("absPlot"));
    absPlot->setEnabled(false);
    absPlot->setStyleSheet(QStringLiteral("QWidget {\n\tborder: 1px solid #3C3C3C;\n"
                                          "\tborder-left: 2px solid #FF8080;\n"
                                          "\tborder-radius: 2px;\n}"));

    setResistance = new zoMeasDoubleBox(form);
    setResistance->setObjectName(QStringLiteral("setResistance"));
    setResistance->setReadOnly(true);
    setResistance->setMinimumWidth(60);
    setResistance->setMaximumHeight(18);
    setResistance->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
    setResistance->setFrame(false);
    setResistance->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setResistance->setMouseTracking(false);
    setResistance->setAcceptDrops(false);
    resistanceUnit = unitLabel(form, "resistanceUnit");

    voltLabel = rowLabel(form, "voltLabel");
    setVolt = entry(form, "setVolt", 60, "#FF8080", true);
    voltUnit = unitLabel(form, "voltUnit");
    slewRateLabel = label(form, "slewRateLabel", 6, Qt::AlignCenter);
    setSlewRate = entry(form, "setSlewRate", 65, "#2A2AFF");
    setSlewRate->setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    slewRateUnit = unitLabel(form, "slewRateUnit", 30, 7);

    viewSourceLayout->addWidget(currentLabel, 0, 0);
    viewSourceLayout->addWidget(setCurrent, 0, 1, 1, 2);
    viewSourceLayout->addWidget(currentUnit, 0, 3);
    viewSourceLayout->addWidget(conductanceLabel, 1, 0);
    viewSourceLayout->addWidget(setConductance, 1, 1, 1, 2);
    viewSourceLayout->addWidget(conductanceUnit, 1, 3);
    viewSourceLayout->addWidget(powerLabel, 2, 0);
    viewSourceLayout->addWidget(setPower, 2, 1, 1, 2);
    viewSourceLayout->addWidget(powerUnit, 2, 3);
    viewSourceLayout->addWidget(absPlot, 3, 0, 1, 4);
    viewSourceLayout->addWidget(setResistance, 4, 1, 1, 2);
    viewSourceLayout->addWidget(resistanceUnit, 4, 3);
    viewSourceLayout->addWidget(voltLabel, 5, 0);
    viewSourceLayout->addWidget(setVolt, 5, 1, 1, 2);
    viewSourceLayout->addWidget(voltUnit, 5, 3);
    viewSourceLayout->addWidget(slewRateLabel, 6, 0);
    viewSourceLayout->addWidget(setSlewRate, 6, 1);
    viewSourceLayout->addWidget(slewRateUnit, 6, 2, 1, 2);

    viewProtectLayout = grid("viewProtectLayout");
    oppLabel = protectLabel(form, "oppLabel");
    setOpp = entry(form, "setOpp", 65, "#00FF00");
    oppUnit = unitLabel(form, "oppUnit");
    ocpLabel = protectLabel(form, "ocpLabel");
    setOcp = entry(form, "setOcp", 65, "#FF6600");
    ocpUnit = unitLabel(form, "ocpUnit");
    uvpLabel = protectLabel(form, "uvpLabel");
    setUvp = entry(form, "setUvp", 65, "yellow");
    setUvp->setRange(-157.0, 157.0);
    setUvp->setValue(-157.0);
    uvpUnit = unitLabel(form, "uvpUnit");
    viewProtectLayout->addWidget(oppLabel, 0, 0);
    viewProtectLayout->addWidget(setOpp, 0, 1);
    viewProtectLayout->addWidget(oppUnit, 0, 2);
    viewProtectLayout->addWidget(ocpLabel, 1, 0, Qt::AlignCenter);
    viewProtectLayout->addWidget(setOcp, 1, 1);
    viewProtectLayout->addWidget(ocpUnit, 1, 2);
    viewProtectLayout->addWidget(uvpLabel, 2, 0);
    viewProtectLayout->addWidget(setUvp, 2, 1);
    viewProtectLayout->addWidget(uvpUnit, 2, 2);

    horizontalLayout->addLayout(viewSourceLayout, 1);
    horizontalLayout->addLayout(viewProtectLayout, 1);

    QWidget::setTabOrder(setCurrent, setVolt);
    QWidget::setTabOrder(setVolt, setSlewRate);
    QWidget::setTabOrder(setSlewRate, setOpp);
    QWidget::setTabOrder(setOpp, setOcp);

    retranslateUi(form);
    QMetaObject::connectSlotsByName(form);
}

void Ui_ViewSet::retranslateUi(QWidget *form)
{
    const auto tr = [](const char *text) { return QCoreApplication::translate("ViewSet", text); };
    form->setWindowTitle(tr("ViewSet"));
    currentLabel->setText(tr("Current"));
    currentUnit->setText(tr("A"));
    conductanceLabel->setText(tr("Conduc\n-tance"));
    conductanceUnit->setText(tr("S"));
    powerLabel->setText(tr("Power"));
    powerUnit->setText(tr("W"));
    resistanceUnit->setText(tr("\u03a9"));
    voltLabel->setText(tr("Voltage"));
    voltUnit->setText(tr("V"));
    slewRateLabel->setText(tr("Slew\nRate"));
    slewRateUnit->setText(tr("A/\u03bcs"));
    oppLabel->setText(tr("OPPT"));
    oppUnit->setText(tr("W"));
    ocpLabel->setText(tr("OCPT"));
    ocpUnit->setText(tr("A"));
    uvpLabel->setText(tr("UVPT"));
    setUvp->setSpecialValueText(tr("OFF"));
    uvpUnit->setText(tr("V"));
}
