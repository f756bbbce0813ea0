#include "link/forwardingport.h"
#include "link/inifile.h"
#include "link/plcframe.h"
#include "link/portsetup.h"
#include "link/qtplcport.h"
#include "plcsimulator.h"
#include "simport.h"
#include "support/scripteddialogs.h"
#include "window/comsetting.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace std::chrono_literals;

namespace {

const QString noFirst =
    QStringLiteral("No first answer from PLC. Check cable connection,port setting,and e.t.c.");
const QString noSecond = QStringLiteral(
    "No second answer from PLC with type. Check cable connection,port setting,and e.t.c.");
const QString success = QStringLiteral("Successful connect to the CPU with type ");

} // namespace

class TestComSetting : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void opensWithStoredChoices();
    void okStoresComAndDeviceOnly();
    void okReportsAFailedSave();
    void okAsksBeforeMappingAnAbsentDevice_data();
    void okAsksBeforeMappingAnAbsentDevice();
    void testReportsCpuType_data();
    void testReportsCpuType();
    void testFailures_data();
    void testFailures();
    void testTwiceAndUnsavedChoices();
    void slowLineWantsExtraAnswerTime_data();
    void slowLineWantsExtraAnswerTime();

private:
    ComSetting &form();
    QComboBox *list(const char *name) { return form().findChild<QComboBox *>(QLatin1String(name)); }
    void clickTest();
    QByteArray iniText() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_ini;
    PlcSimulator m_sim;
    SimPort *m_port = nullptr; // owned by the form's session
    QStringList m_opened;      // "COMn settings" of each opening of the port
    ScriptedDialogs m_dialogs;
    std::unique_ptr<ComSetting> m_form;
};

void TestComSetting::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_ini = m_dir->path() + QStringLiteral("/set.ini");
    m_sim = PlcSimulator();
    m_dialogs.shown.clear();
    m_opened.clear();
    m_form.reset();
}

void TestComSetting::cleanup()
{
    m_form.reset();
}

ComSetting &TestComSetting::form()
{
    if (!m_form) {
        // Says how the port was set up each time it opened: the form puts
        // the session's port back as it was once its test has ended.
        class Opening : public ForwardingPort
        {
        public:
            Opening(std::unique_ptr<PlcPort> port, QStringList &opened)
                : ForwardingPort(std::move(port)), m_opened(opened)
            {}
            bool open() override
            {
                m_opened << QStringLiteral("COM%1 %2").arg(portNumber()).arg(settings());
                return ForwardingPort::open();
            }

        private:
            QStringList &m_opened;
        };
        auto port = std::make_unique<SimPort>(m_sim);
        m_port = port.get();
        m_form = std::make_unique<ComSetting>(m_ini, m_dialogs,
                                              std::make_unique<Opening>(std::move(port), m_opened));
    }
    return *m_form;
}

void TestComSetting::clickTest()
{
    const qsizetype before = m_dialogs.shown.size();
    form().findChild<QPushButton *>(QStringLiteral("Command2"))->click();
    QTRY_COMPARE(m_dialogs.shown.size(), before + 1);
    QVERIFY(!form().isTesting());
}

QByteArray TestComSetting::iniText() const
{
    QFile file(m_ini);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestComSetting::opensWithStoredChoices()
{
    QCOMPARE(form().windowTitle(), QStringLiteral("COM-port setting"));
    const QStringList shown = {list("Port_num")->currentText(), list("Speed_set")->currentText(),
                               list("Parity_set")->currentText(),
                               list("Bit_setting")->currentText(), list("Stop_bit")->currentText()};
    QCOMPARE(shown, (QStringList{"COM1", "9600", "N", "7", "1"}));
#ifdef Q_OS_WIN
    QCOMPARE(list("Port_device")->currentText(), QStringLiteral("COM1"));
#else
    QCOMPARE(list("Port_device")->currentText(), QStringLiteral("/dev/ttyS0"));
#endif

    m_form.reset();
    QFile file(m_ini);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[COM]\nSpeed=4\nParity=2\nBit_num=1\nStop_bit=2\nPort_num=9\n"
               "[PORTS]\nCOM10=/dev/ttyUSB3\n");
    file.close();
    QCOMPARE(list("Speed_set")->currentText(), QStringLiteral("115200"));
    QCOMPARE(list("Parity_set")->currentText(), QStringLiteral("E"));
    QCOMPARE(list("Port_num")->currentText(), QStringLiteral("COM10"));
    QCOMPARE(list("Port_device")->currentText(), QStringLiteral("/dev/ttyUSB3"));
    // A device the settings file names is offered, whether or not it is there.
    QVERIFY(list("Port_device")->findText(QStringLiteral("/dev/ttyUSB3")) >= 0);
}

void TestComSetting::okStoresComAndDeviceOnly()
{
    Ini_write(m_ini, QStringLiteral("COM_MB"), QStringLiteral("Speed"), QStringLiteral("6"));
    list("Port_num")->setCurrentIndex(4);
    list("Port_device")->setEditText(QStringLiteral("/dev/ttyUSB0"));
    list("Speed_set")->setCurrentIndex(3);
    list("Stop_bit")->setCurrentIndex(2);
    m_dialogs.confirmations.push_back(true); // on a machine without the adapter
    form().findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(form().result(), int(QDialog::Accepted));
    QCOMPARE(iniText(), QByteArray("[COM_MB]\nSpeed=6\n\n[COM]\nSpeed=3\nParity=0\nBit_num=0\n"
                                   "Stop_bit=2\nPort_num=4\n\n[PORTS]\nCOM5=/dev/ttyUSB0\n"));
    const LinkSettings link = linkSettings(m_ini);
    QCOMPARE(link.settings, QStringLiteral("57600,N,7,2"));
    QCOMPARE(link.portNumber, 5);
    QVERIFY(m_sim.requests().isEmpty());
}

// A settings file that cannot be rewritten (here: it holds NUL bytes) keeps
// the form open with the reason, and the file as it was.
void TestComSetting::okReportsAFailedSave()
{
    const QByteArray binary = QByteArrayLiteral("[COM]\nSpeed=1\n\0");
    QFile file(m_ini);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(binary) == binary.size());
    file.close();
    list("Speed_set")->setCurrentIndex(3);
    form().findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(form().result(), int(QDialog::Rejected));
    QCOMPARE(m_dialogs.messages(), QStringList{Ini_problem(m_ini)});
    QCOMPARE(iniText(), binary);
}

// A device that is not there (mistyped, say) replaces a working mapping
// only when the user says so; otherwise the form stays open and the file
// keeps the device Find PLC goes on trying.
void TestComSetting::okAsksBeforeMappingAnAbsentDevice_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("stored");
    QTest::newRow("absent, kept as it was") << false << false << false;
    QTest::newRow("absent, mapped all the same") << false << true << true;
    QTest::newRow("present, not asked") << true << false << true;
}

void TestComSetting::okAsksBeforeMappingAnAbsentDevice()
{
    QFETCH(bool, present);
    QFETCH(bool, answer);
    QFETCH(bool, stored);
    const QString link = m_dir->filePath(QStringLiteral("plc-link"));
    const QString typed = m_dir->filePath(QStringLiteral("plc-lnik"));
    Ini_write(m_ini, QStringLiteral("PORTS"), QStringLiteral("COM1"), link);
    if (present) {
#ifdef Q_OS_WIN
        QSKIP("A file stands for a serial device on Linux only; Windows names its ports COMn");
#endif
        QFile device(typed);
        QVERIFY(device.open(QIODevice::WriteOnly));
    }
    const QByteArray before = iniText();
    m_dialogs.confirmations.push_back(answer);
    list("Port_device")->setEditText(typed);
    form().findChild<QPushButton *>(QStringLiteral("Command1"))->click();

    const QString question = QStringLiteral("There is no device %1 on this computer. Map COM1 to "
                                            "it all the same? COM1 stands for %2 now.")
                                 .arg(typed, link);
    QCOMPARE(m_dialogs.shown.size(), present ? 0 : 1);
    if (!present)
        QCOMPARE(m_dialogs.shown.first().text, question);
    QCOMPARE(form().result(), int(stored ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(QtPlcPort::deviceFor(1, m_ini), stored ? typed : link);
    if (!stored)
        QCOMPARE(iniText(), before);
}

void TestComSetting::testReportsCpuType_data()
{
    QTest::addColumn<int>("cpuType");
    QTest::addColumn<QString>("shown");
    QTest::newRow("default") << 0x1234 << "4660";
    QTest::newRow("zero") << 0 << "0";
    QTest::newRow("top bit") << 0xFFFF << "65535";
}

void TestComSetting::testReportsCpuType()
{
    QFETCH(int, cpuType);
    QFETCH(QString, shown);
    m_sim.setCpuType(quint16(cpuType));
    list("Speed_set")->setCurrentIndex(1);
    list("Parity_set")->setCurrentIndex(2);
    list("Bit_setting")->setCurrentIndex(1);
    // Test keeps the keyboard through its run, though it is disabled meanwhile.
    form().show();
    auto *test = form().findChild<QPushButton *>(QStringLiteral("Command2"));
    test->setFocus();
    clickTest();
    QCOMPARE(form().focusWidget(), test);
    QCOMPARE(m_dialogs.messages(), QStringList{success + shown});
    QCOMPARE(m_dialogs.shown.last().title, QString());
    QCOMPARE(m_sim.requests(),
             (QList<QByteArray>{QByteArray(1, PlcFrame::ENQ), QByteArray("\x02"
                                                                         "00E0202\x03"
                                                                         "6C")}));
    QCOMPARE(m_opened, QStringList{u"COM1 19200,E,8,1"_s});
    QCOMPARE(m_port->settings(), u"9600,N,8,1"_s);
    QVERIFY(!m_port->isOpen());
    QVERIFY(!QFile::exists(m_ini));
}

void TestComSetting::testFailures_data()
{
    // 0 missing port, 1 NAK to ENQ, 2 silent type read, 3 a device typed in
    // that does not exist (COM1 stands for the simulated PLC)
    // A port that did not open says why on a second line, as the command
    // line does.
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("requests");
    QTest::newRow("port cannot open")
        << 0 << noFirst + QStringLiteral("\nCOM1: no such device") << 0;
    QTest::newRow("NAK to ENQ") << 1 << noFirst << 1;
    QTest::newRow("no type answer") << 2 << noSecond << 2;
#ifdef Q_OS_WIN
    const QString absent = QStringLiteral("\nCannot open %1: there is no such port.");
#else
    const QString absent = QStringLiteral("\nCannot open %1: there is no such device.");
#endif
    QTest::newRow("typed device absent") << 3 << noFirst + absent << 0;
}

void TestComSetting::testFailures()
{
    QFETCH(int, fault);
    QFETCH(QString, shown);
    QFETCH(int, requests);
    SimFaults faults;
    if (fault == 1)
        faults.perRequest[SimFault::Refuse].ordinals.insert(1);
    if (fault == 2)
        faults.perRequest[SimFault::Silent].ordinals.insert(2);
    m_sim.setFaults(faults);
    form();
    if (fault == 0)
        m_port->setMissingPorts({1});
    if (fault == 3)
        list("Port_device")->setEditText(m_dir->filePath(QStringLiteral("ttyUSB9")));
    clickTest();
    const QString typed = m_dir->filePath(QStringLiteral("ttyUSB9"));
    QCOMPARE(m_dialogs.messages().size(), 1);
    if (shown.contains(QLatin1Char('\n')))
        QVERIFY2(m_dialogs.messages().first().startsWith(shown.arg(typed)),
                 qPrintable(m_dialogs.messages().first()));
    else
        QCOMPARE(m_dialogs.messages().first(), shown);
    QCOMPARE(m_sim.requests().size(), requests);
    QVERIFY(!m_port->isOpen());
}

// A second test works because the first closed the port; choices tried but
// not stored leave what the window's port set-up applies unchanged.
void TestComSetting::testTwiceAndUnsavedChoices()
{
    list("Port_num")->setCurrentIndex(9);
    list("Speed_set")->setCurrentIndex(4);
    clickTest();
    clickTest();
    QCOMPARE(m_dialogs.messages(), (QStringList{success + "4660", success + "4660"}));
    QCOMPARE(m_opened, QStringList(2, u"COM10 115200,N,7,1"_s));
    QCOMPARE(m_port->portNumber(), 1);
    m_form->reject();
    m_form.reset();
    const LinkSettings link = linkSettings(m_ini);
    QCOMPARE(link.settings, QStringLiteral("9600,N,7,1"));
    QCOMPARE(link.portNumber, 1);
}

void TestComSetting::slowLineWantsExtraAnswerTime_data()
{
    QTest::addColumn<QByteArray>("stored"); // [COM] AnswerTimeAdd
    QTest::addColumn<int>("typed");         // the form's field, -1 to leave it
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("kept"); // the settings file after OK
    QTest::newRow("none") << QByteArray() << -1 << noFirst << QByteArray();
    QTest::newRow("typed, not yet stored")
        << QByteArray() << 250 << success + QStringLiteral("4660")
        << QByteArray("[COM]\nSpeed=0\nParity=0\nBit_num=0\nStop_bit=0\nPort_num=0\n"
                      "AnswerTimeAdd=250\n");
    QTest::newRow("stored") << QByteArray("250") << -1 << success + QStringLiteral("4660")
                            << QByteArray();
    QTest::newRow("stored, out of range") << QByteArray("99999") << -1 << noFirst << QByteArray();
}

// A PLC that answers in 300 ms misses the test's 100 ms unless time is added;
// the form's own value counts before it is stored, and OK stores it.
void TestComSetting::slowLineWantsExtraAnswerTime()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, typed);
    QFETCH(QString, shown);
    QFETCH(QByteArray, kept);
    if (!stored.isEmpty())
        Ini_write(m_ini, QStringLiteral("COM"), QStringLiteral("AnswerTimeAdd"),
                  QString::fromLatin1(stored));
    SimFaults faults;
    faults.delay = 300ms;
    m_sim.setFaults(faults);
    auto *extra = form().findChild<QSpinBox *>(QStringLiteral("answer_time_add"));
    QCOMPARE(extra->value(), stored == "250" ? 250 : 0);
    if (typed >= 0)
        extra->setValue(typed);
    clickTest();
    QCOMPARE(m_dialogs.messages().last(), shown);
    if (kept.isEmpty())
        return;
    form().findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(iniText(), kept);
}

QTEST_MAIN(TestComSetting)
#include "tst_comsetting.moc"
