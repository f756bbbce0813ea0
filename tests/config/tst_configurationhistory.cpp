#include "config/configurationhistory.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Configuration)

namespace {

const QStringList requestRow = {"1", "1", "10", "0", "100", "1", "1000"};

QStringList sensor(int n, int reg)
{
    return {QString::number(n),  "28", "FF", "4C", "5D", "03", "00", "00", "9A",
            QString::number(reg)};
}

Configuration withSensors(int count)
{
    Configuration c = Configuration::defaults();
    c.aux.mode = AuxMode::OneWireMaster;
    for (int n = 1; n <= count; ++n)
        c.aux.sensors << sensor(n, 3000 + 2 * n);
    return c;
}

} // namespace

// Undo steps and their names.
class TestConfigurationHistory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesChanges_data();
    void namesChanges();
    void undoesAndRedoes();
    void randomSequencesComeBack();
};

void TestConfigurationHistory::namesChanges_data()
{
    QTest::addColumn<Configuration>("before");
    QTest::addColumn<Configuration>("after");
    QTest::addColumn<QString>("name");
    const Configuration start = Configuration::defaults();
    Configuration added = start;
    added.uart1.table << requestRow;
    QTest::newRow("add") << start << added << "Add request on UART 1";
    Configuration pasted = added;
    pasted.uart1.table << requestRow << requestRow;
    QTest::newRow("several") << added << pasted << "Add 2 requests on UART 1";
    Configuration deleted = withSensors(5);
    deleted.aux.sensors.removeAt(3);
    for (int n = 1; n <= deleted.aux.sensors.size(); ++n)
        deleted.aux.sensors[n - 1][0] = QString::number(n);
    QTest::newRow("delete") << withSensors(5) << deleted << "Delete sensor 4";
    Configuration edited = withSensors(5);
    edited.aux.sensors[2][9] = u"1234"_s;
    QTest::newRow("edit") << withSensors(5) << edited << "Edit sensor 3";
    Configuration none = withSensors(5);
    none.aux.sensors.clear();
    QTest::newRow("delete all") << withSensors(5) << none << "Delete all sensors";
    Configuration speed = start;
    speed.uart1.speed = 0;
    QTest::newRow("speed") << start << speed << "Change UART 1 speed";
    Configuration role = start;
    role.uart2.role = ModbusRole::Slave;
    QTest::newRow("role") << start << role << "Change UART 2 role";
    Configuration io = start;
    io.io.choose(2, 1);
    QTest::newRow("I/O") << start << io << "Change I/O assignment";
    Configuration many = speed;
    many.uart2.role = ModbusRole::Slave;
    QTest::newRow("many at once") << start << many << "Change the configuration";
}

void TestConfigurationHistory::namesChanges()
{
    QFETCH(Configuration, before);
    QFETCH(Configuration, after);
    QTEST(changeName(before, after), "name");
}

void TestConfigurationHistory::undoesAndRedoes()
{
    ConfigurationHistory history(withSensors(0), 3);
    QVERIFY(!history.canUndo() && !history.canRedo());
    history.record(u"same"_s, withSensors(0));
    QCOMPARE(history.steps(), 0);
    for (int n = 1; n <= 5; ++n)
        history.record(QStringLiteral("step %1").arg(n), withSensors(n));
    QCOMPARE(history.steps(), 3); // the oldest went
    QCOMPARE(history.undoName(), u"step 5"_s);
    QCOMPARE(history.undo(), withSensors(4));
    QCOMPARE(history.redoName(), u"step 5"_s);
    QCOMPARE(history.undo(), withSensors(3));
    QCOMPARE(history.undo(), withSensors(2));
    QVERIFY(!history.canUndo());
    QCOMPARE(history.undo(), withSensors(2));
    QCOMPARE(history.redo(), withSensors(3));
    // A new step after undos drops the steps undone.
    history.record(u"other"_s, withSensors(9));
    QVERIFY(!history.canRedo());
    QCOMPARE(history.undo(), withSensors(3));
}

// Any sequence of steps and undos: undoing all returns the start, redoing
// all the last step recorded.
void TestConfigurationHistory::randomSequencesComeBack()
{
    QRandomGenerator random(2026);
    for (int round = 0; round < 50; ++round) {
        ConfigurationHistory history(withSensors(0));
        QList<Configuration> states{withSensors(0)};
        Configuration top = withSensors(0);
        for (int k = random.bounded(1, 40); k > 0; --k) {
            if (random.bounded(4) == 0 && history.canUndo()) {
                history.undo();
                states.removeLast();
                continue;
            }
            const Configuration next = withSensors(random.bounded(0, 20));
            if (next == history.current())
                continue;
            history.record(changeName(history.current(), next), next);
            states << next;
            top = next;
        }
        QCOMPARE(history.current(), states.last());
        while (history.canUndo())
            history.undo();
        QCOMPARE(history.current(), withSensors(0));
        while (history.canRedo())
            history.redo();
        QCOMPARE(history.current(), top);
    }
}

QTEST_GUILESS_MAIN(TestConfigurationHistory)
#include "tst_configurationhistory.moc"
