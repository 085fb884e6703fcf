#include "gui/source/FuncSourLevelForms.h"

#include "gui/toolkit/FuncButton.h"
#include "gui/toolkit/GroupFunc.h"
#include "gui/toolkit/SoftKeyParts.h"
#include "gui/toolkit/zoDoubleSpinBox.h"

#include <QCoreApplication>
#include <QVBoxLayout>

namespace {

constexpr int FormWidth = 62;
constexpr int FormHeight = 242;

void setupForm(QWidget *form, const char *name)
{
    if (form->objectName().isEmpty())
        form->setObjectName(QLatin1String(name));
    form->resize(FormWidth, FormHeight);
    form->setMinimumSize(FormWidth, 0);
    form->setStyleSheet(QString());
}

QVBoxLayout *column(QWidget *owner, const char *name, int bottomMargin)
{
    auto *layout = new QVBoxLayout(owner);
    layout->setObjectName(QLatin1String(name));
    layout->setSpacing(5);
    layout->setContentsMargins(0, 0, 0, bottomMargin);
    return layout;
}

GroupFunc *keyGroup(QWidget *parent, const char *name)
{
    auto *group = new GroupFunc(parent);
    group->setObjectName(QLatin1String(name));
    group->setMinimumSize(0, 38);
    group->setMaximumSize(60, QWIDGETSIZE_MAX);
    return group;
}

FuncButton *formKey(QWidget *parent, const char *name)
{
    auto *button = new FuncButton(parent);
    button->setObjectName(QLatin1String(name));
    QSizePolicy policy = button->sizePolicy();
    policy.setControlType(QSizePolicy::PushButton);
    button->setSizePolicy(policy);
    button->setMinimumSize(0, 38);
    button->setMaximumSize(60, 38);
    button->setFont(softkeys::keyFont(8));
    button->setFocusPolicy(Qt::NoFocus);
    button->setLayoutDirection(Qt::RightToLeft);
    button->setStyleSheet(QString());
    return button;
}

void label(FuncButton *key, const char *context, const char *text, int panelKey)
{
    key->setText(QCoreApplication::translate(context, text));
    if (panelKey)
        key->setShortcut(QKeySequence(panelKey));
}

} // namespace

void Ui_FuncSourLevelBasic2::setupUi(QWidget *form)
{
    setupForm(form, "FuncSourLevelBasic2");
    verticalLayout = column(form, "verticalLayout", 4);
    basic = keyGroup(form, "basic");
    basic->setLayoutDirection(Qt::RightToLeft);
    verticalLayoutBasic = column(basic, "verticalLayoutBasic", 0);
    value = formKey(basic, "value");
    slewRate = formKey(basic, "slewRate");
    opp = formKey(basic, "opp");
    ocp = formKey(basic, "ocp");
    uvp = formKey(basic, "uvp");
    for (FuncButton *key : { value, slewRate, opp, ocp, uvp })
        verticalLayoutBasic->addWidget(key);
    verticalLayout->addWidget(basic);
    action = formKey(form, "action");
    verticalLayout->addWidget(action);
    retranslateUi(form);
}

void Ui_FuncSourLevelBasic2::retranslateUi(QWidget *form)
{
    constexpr const char *Context = "FuncSourLevelBasic2";
    form->setWindowTitle(QCoreApplication::translate(Context, "FuncProtect"));
    label(value, Context, "Current", Qt::Key_F1);
    label(slewRate, Context, "Slew\nRate", Qt::Key_F2);
    label(opp, Context, "OPP", 0);
    label(ocp, Context, "OCP", 0);
    label(uvp, Context, "UVP", Qt::Key_F4);
    label(action, Context, "Trip", Qt::Key_F5);
}

void Ui_FuncSourLevelArbitrary::setupUi(QWidget *form)
{
    setupForm(form, "FuncSourLevelArbitrary");
    verticalLayout = column(form, "verticalLayout", 4);
    arbitray = keyGroup(form, "arbitray");
    verticalLayout_3 = column(arbitray, "verticalLayout_3", 0);
    table = formKey(arbitray, "table");
    slewRate = formKey(arbitray, "slewRate");
    opp = formKey(arbitray, "opp");
    uvp = formKey(arbitray, "uvp");
    for (FuncButton *key : { table, slewRate, opp, uvp })
        verticalLayout_3->addWidget(key);
    verticalLayout->addWidget(arbitray);

    count = new GroupFunc(form);
    count->setObjectName(QStringLiteral("count"));
    count->setFixedSize(60, 38);
    count->setStyleSheet(QString());
    countButton = formKey(count, "countButton");
    countButton->setGeometry(0, 0, 59, 37);
    arbCount = new zoDoubleSpinBox(count);
    arbCount->setObjectName(QStringLiteral("arbCount"));
    // Over the lower half of the key and inside it: taller, the centred number would fall
    // below the key's edge.
    arbCount->setGeometry(10, 20, 49, 17);
    arbCount->setMinimumSize(0, 10);
    arbCount->setMaximumSize(40, QWIDGETSIZE_MAX);
    arbCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    arbCount->setButtonSymbols(QAbstractSpinBox::NoButtons);
    verticalLayout->addWidget(count);
    retranslateUi(form);
}

void Ui_FuncSourLevelArbitrary::retranslateUi(QWidget *form)
{
    constexpr const char *Context = "FuncSourLevelArbitrary";
    form->setWindowTitle(QCoreApplication::translate(Context, "Form"));
    label(table, Context, "Table", Qt::Key_F1);
    label(slewRate, Context, "Slew\nRate", Qt::Key_F2);
    label(opp, Context, "OPP", Qt::Key_F3);
    label(uvp, Context, "UVP", Qt::Key_F4);
    label(countButton, Context, "Count\n", Qt::Key_F5);
}
