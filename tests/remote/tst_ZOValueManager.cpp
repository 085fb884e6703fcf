#include "remote/ZONullValue.h"
#include "remote/ZOValueManager.h"
#include "remote/ZOValue_int32_t.h"

#include <QtTest>

#include <memory>
#include <vector>

using namespace zostd;

class tst_ZOValueManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void find_data();
    void find();
    void duplicateIdsStay();
    void noRegistryNoRegistration();
};

void tst_ZOValueManager::find_data()
{
    QTest::addColumn<QVector<uint>>("registered");
    QTest::addColumn<uint>("id");
    QTest::addColumn<bool>("found");

    const QVector<uint> ids { 0, 123, 130, 173, 2001, 4001, 0xFFFFFFFFu };
    QTest::newRow("id 0 is never found") << ids << 0u << false;
    QTest::newRow("below smallest") << QVector<uint> { 123, 130 } << 1u << false;
    QTest::newRow("between two") << ids << 131u << false;
    QTest::newRow("above largest") << QVector<uint> { 123, 130 } << 131u << false;
    QTest::newRow("empty registry") << QVector<uint> {} << 123u << false;
    QTest::newRow("first") << ids << 123u << true;
    QTest::newRow("middle") << ids << 173u << true;
    QTest::newRow("last") << ids << 4001u << true;
    QTest::newRow("largest unsigned") << ids << 0xFFFFFFFFu << true;
    QTest::newRow("registered out of order") << QVector<uint> { 4001, 2001, 123 } << 2001u << true;
}

void tst_ZOValueManager::find()
{
    QFETCH(QVector<uint>, registered);
    QFETCH(uint, id);
    QFETCH(bool, found);

    ZOValueManager registry;
    QCOMPARE(ZOValueManager::s_pSelf, &registry);
    std::vector<std::unique_ptr<ZOValue_int32_t>> values;
    for (uint each : registered)
        values.push_back(std::make_unique<ZOValue_int32_t>(each));
    QCOMPARE(registry.count(), registered.size());

    IValue *value = registry.find(id);
    QCOMPARE(value != nullptr, found);
    if (found)
        QCOMPARE(value->getID(), id);
}

void tst_ZOValueManager::duplicateIdsStay()
{
    ZOValueManager registry;
    ZONullValue first(2000);
    ZONullValue second(2000);
    QCOMPARE(registry.count(), 2);
    QCOMPARE(registry.find(2000), static_cast<IValue *>(&first));
}

void tst_ZOValueManager::noRegistryNoRegistration()
{
    {
        ZOValueManager registry;
    }
    QCOMPARE(ZOValueManager::s_pSelf, nullptr);
    ZOValue_int32_t orphan(5); // must not crash
    QCOMPARE(orphan.getID(), 5u);
}

QTEST_APPLESS_MAIN(tst_ZOValueManager)

#include "tst_ZOValueManager.moc"
