#include "gui/toolkit/JsonItemDelegate.h"
#include "gui/toolkit/zoDoubleSpinBox.h"
#include "gui/toolkit/zoMessageBox.h"
#include "gui/toolkit/zoUpDownLineEdit.h"
#include "tests/support/JsonTreeFixture.h"
#include "tests/support/PanelTestLook.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QRegExpValidator>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {

// The interface tree in a view with the delegate, in its modify mode.
class EditedJsonTree : public JsonTreeFixture
{
public:
    EditedJsonTree()
        : delegate(&view)
    {
        model->m_editable = true;
        view.setModel(model.get());
        view.setItemDelegate(&delegate);
        view.expandAll();
        view.resize(320, 240);
        view.show();
    }

    QWidget *editorFor(const JsNode *node)
    {
        const QModelIndex cell = valueCell(node);
        QWidget *editor = delegate.createEditor(&view, QStyleOptionViewItem(), cell);
        delegate.setEditorData(editor, cell);
        return editor;
    }

    void commit(QWidget *editor, const JsNode *node)
    {
        delegate.setModelData(editor, model.get(), valueCell(node));
    }

    QTreeView view;
    JsonItemDelegate delegate;
};

QValidator::State check(const QString &pattern, QString text)
{
    const QRegExpValidator validator { QRegExp(pattern), nullptr };
    int pos = text.size();
    return validator.validate(text, pos);
}

} // namespace

class tst_JsonItemDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void patterns_data();
    void patterns();
    void editorsByType();
    void boolChoiceWritesJsonFalse();
    void integerCommitsOnceTruncated();
    void incompleteAddressIsRefused();
    void textRowTakesAnyText();
};

void tst_JsonItemDelegate::initTestCase()
{
    const QString problem = PanelTestLook::apply();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void tst_JsonItemDelegate::patterns_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("acceptable");

    const QString ipv4 = JsonItemDelegate::ipv4Pattern;
    const QString host = JsonItemDelegate::hostNamePattern;
    const QString free = JsonItemDelegate::freeTextPattern;
    QTest::newRow("ipv4 zeros") << ipv4 << "0.0.0.0" << true;
    QTest::newRow("ipv4 highest") << ipv4 << "255.255.255.255" << true;
    QTest::newRow("ipv4 private") << ipv4 << "192.168.1.10" << true;
    QTest::newRow("ipv4 256") << ipv4 << "256.1.1.1" << false;
    QTest::newRow("ipv4 leading zero") << ipv4 << "01.1.1.1" << false;
    QTest::newRow("ipv4 three parts") << ipv4 << "1.2.3" << false;
    QTest::newRow("ipv4 five parts") << ipv4 << "1.2.3.4.5" << false;
    QTest::newRow("host one letter") << host << "a" << true;
    QTest::newRow("host with hyphen") << host << "load-1" << true;
    QTest::newRow("host 15 characters") << host << "A23456789012345" << true;
    QTest::newRow("host 16 characters") << host << "A234567890123456" << false;
    QTest::newRow("host trailing hyphen") << host << "load-" << false;
    QTest::newRow("host leading digit") << host << "1load" << false;
    QTest::newRow("host underscore") << host << "lo_ad" << false;
    QTest::newRow("free text") << free << "bench 3 (A) [x]=5%" << true;
    QTest::newRow("free text empty") << free << "" << false;
    QTest::newRow("free text bar") << free << "a|b" << false;
}

void tst_JsonItemDelegate::patterns()
{
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, acceptable);

    QCOMPARE(check(pattern, text) == QValidator::Acceptable, acceptable);
    QCOMPARE(JsonItemDelegate::ipv4Pattern.size(), 93);
    QCOMPARE(JsonItemDelegate::hostNamePattern.size(), 50);
    QCOMPARE(JsonItemDelegate::freeTextPattern.size(), 34);
}

void tst_JsonItemDelegate::editorsByType()
{
    EditedJsonTree tree;

    std::unique_ptr<QWidget> choice(tree.editorFor(tree.beeper));
    auto *combo = qobject_cast<QComboBox *>(choice.get());
    QVERIFY(combo);
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->currentText(), QStringLiteral("1: Normal"));

    std::unique_ptr<QWidget> number(tree.editorFor(tree.gain));
    auto *spin = qobject_cast<zoDoubleSpinBox *>(number.get());
    QVERIFY(spin);
    QCOMPARE(spin->minimum(), 0.0);
    QCOMPARE(spin->maximum(), 10.0);
    QCOMPARE(spin->decimals(), 2);
    QCOMPARE(spin->value(), 1.25);

    const struct
    {
        const JsNode *node;
        QString pattern;
        QString text;
    } texts[] = {
        { tree.note, QString(), QString() },
        { tree.address, JsonItemDelegate::ipv4Pattern, "192.168.0.5" },
        { tree.host, JsonItemDelegate::hostNamePattern, "load-1" },
        { tree.label, JsonItemDelegate::freeTextPattern, "bench 3" },
    };
    for (const auto &row : texts) {
        std::unique_ptr<QWidget> editor(tree.editorFor(row.node));
        auto *edit = qobject_cast<zoUpDownLineEdit *>(editor.get());
        QVERIFY2(edit, qPrintable(row.node->name()));
        const auto *validator = qobject_cast<const QRegExpValidator *>(edit->validator());
        QCOMPARE(validator ? validator->regExp().pattern() : QString(), row.pattern);
        QCOMPARE(edit->text(), row.text);
    }

    std::unique_ptr<QWidget> name(tree.delegate.createEditor(
        &tree.view, QStyleOptionViewItem(), tree.valueCell(tree.host).siblingAtColumn(0)));
    QVERIFY(!qobject_cast<zoUpDownLineEdit *>(name.get()));
}

void tst_JsonItemDelegate::boolChoiceWritesJsonFalse()
{
    EditedJsonTree tree;
    std::unique_ptr<QWidget> editor(tree.editorFor(tree.dhcp));
    auto *combo = qobject_cast<QComboBox *>(editor.get());
    QVERIFY(combo);
    QCOMPARE(combo->currentText(), QStringLiteral("On"));
    combo->setCurrentText(QStringLiteral("Off"));
    tree.commit(combo, tree.dhcp);
    const QJsonValue dhcp = JsNode::jsonObject().value(QStringLiteral("dhcp"));
    QVERIFY(dhcp.isBool());
    QCOMPARE(dhcp.toBool(), false);
}

void tst_JsonItemDelegate::integerCommitsOnceTruncated()
{
    EditedJsonTree tree;
    std::unique_ptr<QWidget> editor(tree.editorFor(tree.port));
    auto *spin = qobject_cast<zoDoubleSpinBox *>(editor.get());
    QVERIFY(spin);
    spin->setDecimals(1);
    spin->setValue(5000.7);
    QSignalSpy changed(tree.model.get(), &QAbstractItemModel::dataChanged);
    tree.commit(spin, tree.port);
    QCOMPARE(JsNode::jsonObject().value(QStringLiteral("port")).toInt(), 5000);
    QCOMPARE(changed.count(), 1);
}

void tst_JsonItemDelegate::incompleteAddressIsRefused()
{
    EditedJsonTree tree;
    std::unique_ptr<QWidget> editor(tree.editorFor(tree.address));
    auto *edit = qobject_cast<zoUpDownLineEdit *>(editor.get());
    QVERIFY(edit);
    edit->setText(QStringLiteral("10.0.0"));
    QString boxText;
    QTimer::singleShot(0, [&boxText] {
        if (auto *box = qobject_cast<zoMessageBox *>(QApplication::activeModalWidget())) {
            boxText = box->findChild<QLabel *>()->text();
            box->accept();
        }
    });
    tree.commit(edit, tree.address);
    QCOMPARE(boxText, QStringLiteral("Illegal parameter value"));
    QCOMPARE(
        JsNode::jsonObject().value(QStringLiteral("ip")).toString(), QStringLiteral("192.168.0.5"));

    edit->setText(QStringLiteral("10.0.0.1"));
    tree.commit(edit, tree.address);
    QCOMPARE(
        JsNode::jsonObject().value(QStringLiteral("ip")).toString(), QStringLiteral("10.0.0.1"));
}

void tst_JsonItemDelegate::textRowTakesAnyText()
{
    EditedJsonTree tree;
    std::unique_ptr<QWidget> editor(tree.editorFor(tree.note));
    auto *edit = qobject_cast<zoUpDownLineEdit *>(editor.get());
    QVERIFY(edit);
    QCOMPARE(edit->text(), QString()); // the member is a number
    edit->setText(QStringLiteral("a|b <c>"));
    tree.commit(edit, tree.note);
    QCOMPARE(
        JsNode::jsonObject().value(QStringLiteral("note")).toString(), QStringLiteral("a|b <c>"));
}

QTEST_MAIN(tst_JsonItemDelegate)
#include "tst_JsonItemDelegate.moc"
