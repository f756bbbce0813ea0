#include "modbus/requestcheck.h"
#include "modbus/requesttable.h"
#include "modbus/uartdescription.h"

#include <QTest>

Q_DECLARE_METATYPE(std::optional<GridError>)

namespace {

// A table of the given request rows, each seven cells with its slot number.
TextTable table(const QList<QStringList> &requests)
{
    TextTable rows;
    for (const QStringList &request : requests)
        rows.append(QStringList{QString::number(rows.size() + 1)} + request);
    return rows;
}

const QStringList good = {"3", "100", "0", "0", "1", "100"};

QStringList with(int column, const QString &text)
{
    QStringList request = good;
    request[column - 1] = text;
    return request;
}

std::optional<GridError> fault(int row, int code)
{
    return GridError{row, code};
}

} // namespace

class TestModbusCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checksRanges_data();
    void checksRanges();
    void checksRowsInOrder();
    void refusesTooManyRows();
    void namesFaults_data();
    void namesFaults();
    void checksCells_data();
    void checksCells();
    void namesCellRefusals();
    void checksDialogFields_data();
    void checksDialogFields();
};

void TestModbusCheck::checksRanges_data()
{
    QTest::addColumn<QStringList>("request");
    QTest::addColumn<std::optional<GridError>>("expected");
    using E = GridError;
    const std::optional<GridError> pass;

    QTest::newRow("good row") << good << pass;
    QTest::newRow("address 0") << with(1, "0") << pass;
    QTest::newRow("address 248") << with(1, "248") << pass;
    QTest::newRow("address 249") << with(1, "249") << fault(1, E::Address);
    QTest::newRow("address -1") << with(1, "-1") << fault(1, E::Address);

    QTest::newRow("125 register reads") << with(2, "125") << pass;
    QTest::newRow("126 input registers")
        << QStringList{"3", "126", "0", "0", "4", "100"} << fault(1, E::NumWord);
    QTest::newRow("126 coils") << QStringList{"3", "126", "0", "0", "0", "100"} << pass;
    QTest::newRow("255 write coils") << QStringList{"3", "255", "0", "0", "3", "100"} << pass;
    QTest::newRow("256 coils") << QStringList{"3", "256", "0", "0", "0", "100"}
                               << fault(1, E::NumWord);
    QTest::newRow("123 register write") << QStringList{"3", "123", "0", "0", "2", "100"} << pass;
    QTest::newRow("124 register write")
        << QStringList{"3", "124", "0", "0", "2", "100"} << fault(1, E::NumWord);
    QTest::newRow("num word 0") << with(2, "0") << pass;
    QTest::newRow("num word -1") << with(2, "-1") << fault(1, E::NumWord);

    QTest::newRow("slave area end") << QStringList{"3", "100", "7899", "0", "1", "100"} << pass;
    QTest::newRow("slave area past")
        << QStringList{"3", "100", "7900", "0", "1", "100"} << fault(1, E::AddressSlave);
    QTest::newRow("slave bit area end") << QStringList{"3", "100", "2971", "0", "0", "100"} << pass;
    QTest::newRow("slave bit area past")
        << QStringList{"3", "100", "2972", "0", "3", "100"} << fault(1, E::AddressSlave);
    QTest::newRow("slave -1") << with(3, "-1") << fault(1, E::AddressSlave);
    QTest::newRow("master area end") << QStringList{"3", "100", "0", "7899", "4", "100"} << pass;
    QTest::newRow("master area past")
        << QStringList{"3", "100", "0", "7900", "2", "100"} << fault(1, E::AddressMaster);
    QTest::newRow("master bit area past")
        << QStringList{"3", "1", "0", "3071", "0", "100"} << fault(1, E::AddressMaster);
    QTest::newRow("master -1") << with(4, "-1") << fault(1, E::AddressMaster);

    QTest::newRow("function 4") << with(5, "4") << pass;
    QTest::newRow("function 5") << with(5, "5") << fault(1, E::Function);
    QTest::newRow("function -1") << with(5, "-1") << fault(1, E::Function);

    QTest::newRow("timeout 1") << with(6, "1") << pass;
    QTest::newRow("timeout 0") << with(6, "0") << fault(1, E::Timeout);
    QTest::newRow("timeout 4095") << with(6, "4095") << pass;
    QTest::newRow("timeout 4096") << with(6, "4096") << fault(1, E::Timeout);
    QTest::newRow("timeout 32767") << with(6, "32767") << fault(1, E::Timeout);
}

void TestModbusCheck::checksRanges()
{
    QFETCH(QStringList, request);
    QFETCH(std::optional<GridError>, expected);
    QCOMPARE(Check_grid(table({request})), expected);
    // The listing of every refused cell agrees, one fault at most a row here.
    const QList<GridError> all = gridFaults(table({request}));
    QCOMPARE(all, expected ? QList<GridError>{*expected} : QList<GridError>());
}

void TestModbusCheck::checksRowsInOrder()
{
    QCOMPARE(Check_grid({}), std::nullopt);
    // Within a row the function is checked first, then the columns in order.
    QCOMPARE(Check_grid(table({good, {"249", "300", "0", "0", "9", "0"}})),
             fault(2, GridError::Function));
    QCOMPARE(Check_grid(table({good, {"249", "300", "-1", "0", "1", "0"}})),
             fault(2, GridError::Address));
    // Every cell refused, in that order: without a function the widest
    // limits (255 items) stand, so Num word 300 is refused and the addresses
    // are not.
    QCOMPARE(gridFaults(table({good, {"249", "300", "0", "0", "9", "0"}})),
             QList<GridError>({*fault(2, GridError::Function), *fault(2, GridError::Address),
                               *fault(2, GridError::NumWord), *fault(2, GridError::Timeout)}));
    QCOMPARE(Check_grid(table({good, good, with(6, "0"), with(1, "300")})),
             fault(3, GridError::Timeout));

    // A cell that is not a 16-bit whole number is a fault of its column.
    const QStringList unreadable = {"", "x", "1.5", "32768", "-32769", "1e3"};
    for (int column = 1; column <= 6; ++column) {
        const int code =
            column == 5 ? GridError::Function : (column == 6 ? GridError::Timeout : column - 1);
        for (const QString &text : unreadable)
            QCOMPARE(Check_grid(table({good, with(column, text)})), fault(2, code));
    }
    // A short row (from a damaged file) is a fault of its first missing column.
    TextTable shortRow = table({good});
    shortRow[0] = QStringList{"1", "3", "100", "0"};
    QCOMPARE(Check_grid(shortRow), fault(1, GridError::Function));
}

void TestModbusCheck::refusesTooManyRows()
{
    const QList<QStringList> requests(128, good);
    QCOMPARE(Check_grid(table(requests)), std::nullopt);
    QCOMPARE(Check_grid(table(requests + QList<QStringList>{good})),
             fault(128, GridError::TooManyRows));
}

void TestModbusCheck::namesFaults_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const auto text = [](const char *what, const char *row, const char *column) -> QString {
        return QLatin1String(what) + QLatin1String(row) + QStringLiteral("\r\n") +
               QLatin1String(column);
    };
    QTest::newRow("0") << 0
                       << text("You configuration has error in the slave address data - row ", "7",
                               "Column [Address]");
    QTest::newRow("1") << 1
                       << text("You configuration has error in the size of request  - row ", "7",
                               "Column [Num word]");
    QTest::newRow("2") << 2
                       << text("You configuration has error in the slave address data - row ", "7",
                               "Column [Address slave]");
    QTest::newRow("3") << 3
                       << text("You configuration has error in the master address data - row ", "7",
                               "Column [Address master]");
    QTest::newRow("4") << 4
                       << text("You configuration has error in the function code - row ", "7",
                               "Column [Function]");
    QTest::newRow("5") << 5
                       << text("You configuration has error in the Timeout - row ", "7",
                               "Column [Timeout,[ms]]");
    QTest::newRow("6") << 6
                       << QStringLiteral("You configuration has error in the number of slaves. "
                                         "\r\nMaximum allowed number is 128 ");
}

void TestModbusCheck::namesFaults()
{
    QFETCH(int, code);
    QFETCH(QString, message);
    QCOMPARE(gridErrorMessage({7, code}), message);
}

void TestModbusCheck::checksCells_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    for (int column : {1, 2, 5}) {
        QTest::addRow("%d 255", column) << column << "255" << true;
        QTest::addRow("%d 256", column) << column << "256" << false;
    }
    for (int column : {3, 4, 6}) {
        QTest::addRow("%d 65535", column) << column << "65535" << true;
        QTest::addRow("%d 65536", column) << column << "65536" << false;
    }
    QTest::newRow("zero") << 6 << "0" << true;
    QTest::newRow("sign") << 3 << "-1" << false;
    QTest::newRow("plus") << 2 << "+1" << false;
    QTest::newRow("fraction") << 4 << "1.5" << false;
    QTest::newRow("letters") << 1 << "ab" << false;
    QTest::newRow("blank") << 5 << " 1" << false;
    QTest::newRow("empty") << 6 << "" << false;
    QTest::newRow("huge") << 3 << "99999999999999999999" << false;
    QTest::newRow("slot column unchecked") << 0 << "x" << true;
}

void TestModbusCheck::checksCells()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QCOMPARE(cellValueAccepted(column, text), accepted);
}

void TestModbusCheck::namesCellRefusals()
{
    const QString one = QStringLiteral("You are enter incorrect value ! Pls use correct value!");
    const QString wide = QStringLiteral("You are enter incorrect value !  Pls use correct value !");
    const QString narrow =
        QStringLiteral("You are enter incorrect value ! Pls use correct value !");
    const QStringList uart2 = {narrow, wide, wide, wide, wide, narrow};
    for (int column = 1; column <= 6; ++column) {
        QCOMPARE(UartDescription::uart1().cellRefusalFor(column), one);
        QCOMPARE(UartDescription::uart2().cellRefusalFor(column), uart2.at(column - 1));
    }
}

void TestModbusCheck::checksDialogFields_data()
{
    QTest::addColumn<QStringList>("fields"); // address, slave, count, master, timeout
    QTest::addColumn<QString>("refused");    // the text named, empty when accepted
    QTest::newRow("defaults") << QStringList{"3", "0", "100", "0", "100"} << "";
    QTest::newRow("upper ends") << QStringList{"254", "32767", "254", "32767", "4095"} << "";
    QTest::newRow("address 0") << QStringList{"0", "0", "100", "0", "100"} << "0";
    QTest::newRow("address 255") << QStringList{"255", "0", "100", "0", "100"} << "255";
    QTest::newRow("slave 32768") << QStringList{"3", "32768", "100", "0", "100"} << "32768";
    QTest::newRow("count 0") << QStringList{"3", "0", "0", "0", "100"} << "0";
    QTest::newRow("count 255") << QStringList{"3", "0", "255", "0", "100"} << "255";
    QTest::newRow("master -1") << QStringList{"3", "0", "100", "-1", "100"} << "-1";
    QTest::newRow("timeout 0") << QStringList{"3", "0", "100", "0", "0"} << "0";
    QTest::newRow("timeout 4096") << QStringList{"3", "0", "100", "0", "4096"} << "4096";
    QTest::newRow("fraction") << QStringList{"3", "1.5", "100", "0", "100"} << "1.5";
    QTest::newRow("empty") << QStringList{"3", "0", "", "0", "100"} << "";
    QTest::newRow("first fault wins") << QStringList{"3", "x", "0", "0", "0"} << "x";
}

void TestModbusCheck::checksDialogFields()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, refused);
    const DialogCheck check =
        checkDialogFields({fields[0], fields[1], fields[2], fields[3], fields[4], 4});
    const bool accepted = refused.isEmpty() && !fields.contains(QString());
    QCOMPARE(check.row.has_value(), accepted);
    if (accepted) {
        QCOMPARE(check.row->function, 4);
        QCOMPARE(RequestTable::cells(1, *check.row).mid(1),
                 (QStringList{fields[0], fields[2], fields[1], fields[3], "4", fields[4]}));
    } else {
        QCOMPARE(check.refusal, QStringLiteral("You put wrong value  ") + refused);
    }
}

QTEST_GUILESS_MAIN(TestModbusCheck)
#include "tst_modbuscheck.moc"
