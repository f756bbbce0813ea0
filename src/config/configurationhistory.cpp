#include "configurationhistory.h"

ConfigurationHistory::ConfigurationHistory(Configuration start, int limit) : m_limit(limit)
{
    m_states.push_back({{}, std::move(start)});
}

void ConfigurationHistory::record(const QString &name, const Configuration &after)
{
    if (after == current())
        return;
    m_states.erase(m_states.begin() + qsizetype(m_at) + 1, m_states.end());
    m_states.push_back({name, after});
    while (qsizetype(m_states.size()) - 1 > m_limit)
        m_states.pop_front();
    m_at = m_states.size() - 1;
}

QString ConfigurationHistory::undoName() const
{
    return canUndo() ? m_states.at(m_at).name : QString();
}

QString ConfigurationHistory::redoName() const
{
    return canRedo() ? m_states.at(m_at + 1).name : QString();
}

const Configuration &ConfigurationHistory::undo()
{
    if (canUndo())
        --m_at;
    return current();
}

const Configuration &ConfigurationHistory::redo()
{
    if (canRedo())
        ++m_at;
    return current();
}

void ConfigurationHistory::reset(const Configuration &start)
{
    m_states.clear();
    m_states.push_back({{}, start});
    m_at = 0;
}

namespace {

// The change within one table: rows added at the end, one row deleted, one
// row edited; empty when the tables are the same.
QString tableChange(const TextTable &before, const TextTable &after, const QString &item,
                    const QString &where)
{
    if (before == after)
        return {};
    const qsizetype added = after.size() - before.size();
    const auto withoutNumbers = [](TextTable table) {
        for (QStringList &row : table)
            row.removeFirst();
        return table;
    };
    if (added > 0 && after.mid(0, before.size()) == before)
        return added == 1 ? QStringLiteral("Add %1%2").arg(item, where)
                          : QStringLiteral("Add %1 %2s%3").arg(added).arg(item, where);
    if (added == -1) {
        const TextTable b = withoutNumbers(before);
        const TextTable a = withoutNumbers(after);
        for (qsizetype k = 0; k < b.size(); ++k) {
            TextTable without = b;
            without.removeAt(k);
            if (without == a)
                return QStringLiteral("Delete %1 %2%3").arg(item).arg(k + 1).arg(where);
        }
    }
    if (added == 0) {
        qsizetype changed = -1;
        for (qsizetype k = 0; k < before.size(); ++k) {
            if (before.at(k) != after.at(k)) {
                if (changed >= 0)
                    return QStringLiteral("Change %1s%2").arg(item, where);
                changed = k;
            }
        }
        return QStringLiteral("Edit %1 %2%3").arg(item).arg(changed + 1).arg(where);
    }
    return after.isEmpty() ? QStringLiteral("Delete all %1s%2").arg(item, where)
                           : QStringLiteral("Change %1s%2").arg(item, where);
}

QStringList uartChanges(const UartSettings &before, const UartSettings &after, int number)
{
    const QString name = QStringLiteral("UART %1").arg(number);
    QStringList changes;
    if (before.role != after.role)
        changes << QStringLiteral("Change %1 role").arg(name);
    if (before.speed != after.speed)
        changes << QStringLiteral("Change %1 speed").arg(name);
    if (before.parity != after.parity)
        changes << QStringLiteral("Change %1 parity").arg(name);
    if (before.dataBits != after.dataBits || before.stopBits != after.stopBits)
        changes << QStringLiteral("Change %1 line settings").arg(name);
    if (before.slaveAddress != after.slaveAddress || before.slaveTimeout != after.slaveTimeout)
        changes << QStringLiteral("Change %1 slave settings").arg(name);
    if (const QString table = tableChange(before.table, after.table, QStringLiteral("request"),
                                          QStringLiteral(" on ") + name);
        !table.isEmpty())
        changes << table;
    return changes;
}

} // namespace

QString changeName(const Configuration &before, const Configuration &after)
{
    QStringList changes = uartChanges(before.uart1, after.uart1, 1);
    changes << uartChanges(before.uart2, after.uart2, 2);
    if (before.aux.mode != after.aux.mode)
        changes << QStringLiteral("Change 1-wire mode");
    if (before.aux.fieldNetSpeed != after.aux.fieldNetSpeed ||
        before.aux.fieldNetParity != after.aux.fieldNetParity ||
        before.aux.fieldNetDataBits != after.aux.fieldNetDataBits ||
        before.aux.fieldNetStopBits != after.aux.fieldNetStopBits)
        changes << QStringLiteral("Change Field Net settings");
    if (const QString sensors =
            tableChange(before.aux.sensors, after.aux.sensors, QStringLiteral("sensor"), {});
        !sensors.isEmpty())
        changes << sensors;
    if (!(before.io == after.io))
        changes << QStringLiteral("Change I/O assignment");
    if (changes.size() == 1)
        return changes.first();
    return QStringLiteral("Change the configuration");
}
