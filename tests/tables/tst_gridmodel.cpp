#include "tables/gridmodel.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QString format = QStringLiteral("Num | Byte 0 | Dxxxx ");

// Every row, the header first: the table as the user sees it.
TextTable shown(const GridModel &model)
{
    TextTable rows;
    for (int r = 0; r < model.rows(); ++r) {
        QStringList cells;
        for (int c = 0; c < model.columns(); ++c)
            cells << model.text(r, c);
        rows << cells;
    }
    return rows;
}

const QStringList header = {"Num", "Byte 0", "Dxxxx"};

} // namespace

// The numbering every table shares: header row 0, entries 1 to N, one open
// row; column 0 the row number.
class TestGridModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsWithHeaderAndBlankOpenRow();
    void editsKeepTheNumbering_data();
    void editsKeepTheNumbering();
    void fixedColumnsAndOpenRow();
    void rowsFromSpreadsheets_data();
    void rowsFromSpreadsheets();
};

void TestGridModel::startsWithHeaderAndBlankOpenRow()
{
    GridModel model(format);
    QCOMPARE(shown(model), TextTable({header, {"", "", ""}}));
    QCOMPARE(model.entryCount(), 0);
    QCOMPARE(model.entries(), TextTable());
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Dxxxx"));
    QVERIFY(!model.isEntry(1) && !model.isEntry(0));
}

void TestGridModel::editsKeepTheNumbering_data()
{
    QTest::addColumn<QString>("edits"); // a: add, d<row>: delete, s: set two entries
    QTest::addColumn<TextTable>("rows");
    QTest::newRow("add") << "a" << TextTable{header, {"1", "A0", "3000"}, {"2", "", ""}};
    QTest::newRow("add twice")
        << "aa" << TextTable{header, {"1", "A0", "3000"}, {"2", "A0", "3000"}, {"3", "", ""}};
    QTest::newRow("set") << "s"
                         << TextTable{header, {"1", "01", "10"}, {"2", "02", "20"}, {"3", "", ""}};
    QTest::newRow("set, delete first")
        << "sd1" << TextTable{header, {"1", "02", "20"}, {"2", "", ""}};
    QTest::newRow("set, delete the open row: nothing")
        << "sd3" << TextTable{header, {"1", "01", "10"}, {"2", "02", "20"}, {"3", "", ""}};
    QTest::newRow("set, delete header: nothing")
        << "sd0" << TextTable{header, {"1", "01", "10"}, {"2", "02", "20"}, {"3", "", ""}};
    QTest::newRow("set, add") << "sa"
                              << TextTable{header,
                                           {"1", "01", "10"},
                                           {"2", "02", "20"},
                                           {"3", "A0", "3000"},
                                           {"4", "", ""}};
    QTest::newRow("set, delete all") << "sd2d1" << TextTable{header, {"1", "", ""}};
}

void TestGridModel::editsKeepTheNumbering()
{
    QFETCH(QString, edits);
    GridModel model(format);
    for (qsizetype i = 0; i < edits.size(); ++i) {
        const QChar edit = edits.at(i);
        if (edit == QLatin1Char('a'))
            model.addEntry({"A0", "3000"});
        else if (edit == QLatin1Char('s'))
            model.setEntries({{"9", "01", "10"}, {"9", "02", "20"}});
        else if (edit == QLatin1Char('d'))
            model.removeEntry(edits.at(++i).digitValue());
    }
    QFETCH(TextTable, rows);
    QCOMPARE(shown(model), rows);
    QCOMPARE(model.rows(), rows.size());
    QCOMPARE(model.entryCount(), rows.size() - 2);
    QCOMPARE(model.entries(), rows.mid(1, rows.size() - 2));
}

// The row-number column takes no edits; the open row only where allowed.
void TestGridModel::fixedColumnsAndOpenRow()
{
    GridModel model(format);
    model.setEntries({{"1", "28", "3000"}});
    model.setFixedColumns(1);
    QCOMPARE(model.flags(model.cell(1, 0)), Qt::ItemIsEnabled);
    QVERIFY(model.flags(model.cell(1, 1)).testFlag(Qt::ItemIsEditable));
    QVERIFY(model.flags(model.cell(2, 1)).testFlag(Qt::ItemIsEditable));
    model.setOpenRowEditable(false);
    QVERIFY(!model.flags(model.cell(2, 1)).testFlag(Qt::ItemIsEditable));
    QVERIFY(model.flags(model.cell(1, 1)).testFlag(Qt::ItemIsEditable));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(model.cell(1, 2), QStringLiteral("3002")));
    QCOMPARE(model.text(1, 2), QStringLiteral("3002"));
    QCOMPARE(changed.size(), 1);
    model.setText(5, 1, QStringLiteral("ignored"));
    QCOMPARE(model.text(5, 1), QString());
    model.setCentred(true);
    QCOMPARE(model.data(model.cell(1, 1), Qt::TextAlignmentRole).value<Qt::Alignment>(),
             Qt::AlignCenter);
}

void TestGridModel::rowsFromSpreadsheets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<TextTable>("rows");
    QTest::addColumn<QString>("refusal");
    const TextTable two = {{"1", "28", "3000"}, {"2", "10", "3002"}};
    QTest::newRow("tabs, header skipped") << "Num\tByte 0\tDxxxx\n1\t28\t3000\n2\t10\t3002\n"
                                          << two << "";
    QTest::newRow("commas, without numbers") << "28,3000\r\n10 , 3002\r\n" << two << "";
    QTest::newRow("header without the number column")
        << "Byte 0,Dxxxx\n28,3000\n10,3002" << two << "";
    QTest::newRow("a short line") << "28\t3000\n10\n"
                                  << TextTable() << "Line 2 has 1 columns; the table takes 2.";
}

void TestGridModel::rowsFromSpreadsheets()
{
    QFETCH(QString, text);
    const PastedRows pasted = pastedRows(text, header);
    QTEST(pasted.rows, "rows");
    QTEST(pasted.refusal, "refusal");
    if (pasted.refusal.isEmpty())
        QCOMPARE(pastedRows(tableText(header, pasted.rows), header).rows, pasted.rows);
}

QTEST_GUILESS_MAIN(TestGridModel)
#include "tst_gridmodel.moc"
