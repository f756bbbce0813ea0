#include "comsetting.h"

#include "link/connectiontest.h"
#include "link/findplc.h"
#include "link/handover.h"
#include "link/inifile.h"
#include "link/plcsession.h"
#include "link/portsetup.h"
#include "link/qtplcport.h"
#include "link/sessionscheduler.h"
#include "widgets/linesettingsform.h"
#include "widgets/tabcontext.h"
#include "widgets/userdialogs.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
#include <QStyleOptionFrame>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString comSection = QStringLiteral("COM");

QComboBox *listOf(const QString &name, const QStringList &items, QWidget *parent)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    return list;
}

// A device path too long for its field shows with its middle left out
// while the field is not being edited; the text itself stays whole.
class MiddleElidingEdit : public QLineEdit
{
public:
    using QLineEdit::QLineEdit;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QStyleOptionFrame option;
        initStyleOption(&option);
        // The room QLineEdit leaves for its text: the style's contents, the
        // margins set, and two pixels a side.
        const QRect room = style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, this)
                               .marginsRemoved(textMargins())
                               .adjusted(2, 0, -2, 0);
        if (hasFocus() || fontMetrics().horizontalAdvance(text()) <= room.width())
            return QLineEdit::paintEvent(event);
        QPainter painter(this);
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
        painter.drawText(room, Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(text(), Qt::ElideMiddle, room.width()));
    }
};

QStringList portNames()
{
    QStringList names;
    for (int n = 1; n <= LinkChoices::portCount; ++n)
        names << QStringLiteral("COM%1").arg(n);
    return names;
}

} // namespace

ComSetting::ComSetting(QString iniFile, UserDialogs &dialogs, SessionScheduler &session,
                       QWidget *parent, PortWrap wrap)
    : QDialog(parent), m_iniFile(std::move(iniFile)), m_dialogs(dialogs), m_session(&session),
      m_wrap(std::move(wrap))
{
    setUp();
}

ComSetting::ComSetting(QString iniFile, UserDialogs &dialogs, std::unique_ptr<PlcPort> port,
                       QWidget *parent, PortWrap wrap)
    : QDialog(parent), m_iniFile(std::move(iniFile)), m_dialogs(dialogs),
      m_ownSession(
          std::make_unique<SessionScheduler>(std::make_unique<PlcSession>(std::move(port)))),
      m_session(m_ownSession.get()), m_wrap(std::move(wrap))
{
    setUp();
}

void ComSetting::setUp()
{
    setObjectName(QStringLiteral("Com_setting"));
    setWindowTitle(QStringLiteral("COM-port setting"));
    buildForm();
    load();
    connect(m_ok, &QPushButton::clicked, this, &ComSetting::save);
    connect(m_test, &QPushButton::clicked, this, &ComSetting::test);
    connect(m_find, &QPushButton::clicked, this, &ComSetting::findPlc);
    const auto take = [this](int row) {
        const QTableWidgetItem *device = m_found->item(row, 0);
        takeFound(device->data(Qt::UserRole).toString(), device->data(Qt::UserRole + 1).toInt());
    };
    connect(m_found, &QTableWidget::cellClicked, this, take);
    connect(m_found, &QTableWidget::cellActivated, this, take);
    takeOnEnter(take);
    showWholeDevice();
    connect(m_port, &QComboBox::currentIndexChanged, this, &ComSetting::showDevice);
    connect(m_device, &QComboBox::editTextChanged, this,
            [this](const QString &text) { m_devices[m_port->currentIndex() + 1] = text; });
}

void ComSetting::showRunning(bool running)
{
    if (running)
        m_testFocus.disabling({m_test});
    m_test->setEnabled(!running);
    if (running)
        m_testFocus.disabled();
    else
        m_testFocus.enabled();
    // Every letter of "Stop" is taken in the form: it goes without.
    m_find->setText(running ? QStringLiteral("Stop") : QStringLiteral("F&ind PLC"));
}

void ComSetting::start(PlcSession::CancellableOperation operation, std::function<void()> done)
{
    auto run = std::make_shared<Run>();
    const bool started = m_session->run(
        {[run, operation = std::move(operation)](PlcPort &port, const TransferProgress &progress,
                                                 const PlcSession::CancelToken &cancelled) {
             run->started = true;
             if (!run->stopped)
                 operation(port, progress,
                           [run, cancelled] { return run->stopped || cancelled(); });
         },
         {},
         [form = QPointer<ComSetting>(this), run, done = std::move(done)] {
             if (!form || form->m_run != run)
                 return;
             form->m_run.reset();
             form->showRunning(false);
             done();
         }});
    if (!started)
        return m_dialogs.message(this, TabContext::busyMessage, {}, UserDialogs::Icon::Warning);
    m_run = run;
    showRunning(true);
}

void ComSetting::stop()
{
    if (!m_run)
        return;
    m_run->stopped = true;
    if (m_run->started)
        m_session->session().cancel();
}

// Enter on a found PLC takes it into the form, which stays open: the key
// goes no further, to the OK button.
void ComSetting::takeOnEnter(std::function<void(int row)> take)
{
    class EnterFilter : public QObject
    {
    public:
        EnterFilter(QTableWidget *table, std::function<void(int)> take)
            : QObject(table), m_table(table), m_take(std::move(take))
        {}
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() != QEvent::KeyPress)
                return false;
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key != Qt::Key_Return && key != Qt::Key_Enter)
                return false;
            if (m_table->currentRow() >= 0)
                m_take(m_table->currentRow());
            return true;
        }

    private:
        QTableWidget *m_table;
        std::function<void(int)> m_take;
    };
    m_found->installEventFilter(new EnterFilter(m_found, std::move(take)));
}

// The PLCs found show whole: every column, and four rows at the least.
void ComSetting::fitFound()
{
    const int rows = std::max(4, m_found->rowCount());
    m_found->setMinimumHeight(m_found->horizontalHeader()->height() +
                              m_found->verticalHeader()->defaultSectionSize() * rows +
                              2 * m_found->frameWidth());
    m_found->setMinimumWidth(m_found->horizontalHeader()->length() + 2 * m_found->frameWidth());
}

// A long device path shows with its middle left out in the list and the
// field, and whole in the field's tooltip.
void ComSetting::showWholeDevice()
{
    m_device->view()->setTextElideMode(Qt::ElideMiddle);
    m_device->setMinimumContentsLength(28);
    const auto tip = [this](const QString &text) {
        m_device->setToolTip(text);
    };
    // The line's own signal: the combo's is blocked when a port is chosen.
    connect(m_device->lineEdit(), &QLineEdit::textChanged, this, tip);
    tip(m_device->currentText());
}

// Leaving the form by any way ends a running test or search.
ComSetting::~ComSetting()
{
    stop();
}

bool ComSetting::isTesting() const
{
    return m_run != nullptr;
}

void ComSetting::buildForm()
{
    using namespace LinkChoices;
    m_port = listOf(QStringLiteral("Port_num"), portNames(), this);
    m_device = new QComboBox(this);
    m_device->setObjectName(QStringLiteral("Port_device"));
    m_device->setEditable(true);
    m_device->setLineEdit(new MiddleElidingEdit(m_device));
    m_device->setMinimumContentsLength(18);
    showDevices();
    // Adapters come and go while the form is open: look once a second.
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, &ComSetting::showDevices);
    poll->start(1000);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&COM-port :"), m_port);
    form->addRow(QStringLiteral("&Device:"), m_device);
    const LineSettingsForm line(
        {.names = {QStringLiteral("Speed_set"), QStringLiteral("Parity_set"),
                   QStringLiteral("Bit_setting"), QStringLiteral("Stop_bit")},
         .items = {speeds, parities, dataBits, stopBits},
         .mnemonics = true},
        form, this);
    m_speed = line.list(LineSettingsForm::Speed);
    m_parity = line.list(LineSettingsForm::Parity);
    m_bits = line.list(LineSettingsForm::DataBits);
    m_stop = line.list(LineSettingsForm::StopBits);
    // For a slow adapter or a radio link: added to every answer timeout.
    m_extraTime = new QSpinBox(this);
    m_extraTime->setObjectName(QStringLiteral("answer_time_add"));
    m_extraTime->setRange(0, int(maxAnswerTimeAdd.count()));
    m_extraTime->setSingleStep(50);
    m_extraTime->setToolTip(QStringLiteral("Added to every answer timeout, for a slow adapter or "
                                           "a radio link; 0 for a cable"));
    form->addRow(QStringLiteral("E&xtra answer time (ms):"), m_extraTime);

    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("Command1"));
    m_test = buttons->addButton(QStringLiteral("T&est"), QDialogButtonBox::ActionRole);
    m_test->setObjectName(QStringLiteral("Command2"));
    m_find = buttons->addButton(QStringLiteral("F&ind PLC"), QDialogButtonBox::ActionRole);
    m_find->setObjectName(QStringLiteral("find_plc"));
    m_findProgress = new QLabel(this);
    m_findProgress->setObjectName(QStringLiteral("find_progress"));
    m_found = new QTableWidget(0, 3, this);
    m_found->setObjectName(QStringLiteral("found_plcs"));
    m_found->setAccessibleName(QStringLiteral("PLCs found"));
    m_found->setHorizontalHeaderLabels(
        {QStringLiteral("Device"), QStringLiteral("Speed"), QStringLiteral("CPU type")});
    m_found->verticalHeader()->hide();
    m_found->horizontalHeader()->setStretchLastSection(true);
    m_found->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_found->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_found->setSelectionMode(QAbstractItemView::SingleSelection);
    m_found->hide();
    m_ok->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->addWidget(m_findProgress);
    layout->addWidget(m_found);
}

void ComSetting::load()
{
    using namespace LinkChoices;
    const auto stored = [this](const char *key, int count) {
        return Ini_read_index(m_iniFile, comSection, QLatin1String(key), count);
    };
    m_speed->setCurrentIndex(stored("Speed", int(speeds.size())));
    m_parity->setCurrentIndex(stored("Parity", int(parities.size())));
    m_bits->setCurrentIndex(stored("Bit_num", int(dataBits.size())));
    m_stop->setCurrentIndex(stored("Stop_bit", int(stopBits.size())));
    m_port->setCurrentIndex(stored("Port_num", portCount));
    m_extraTime->setValue(int(answerTimeAdd(m_iniFile).count()));
    showDevice();
}

// The devices offered, stable names first, each with its adapter's
// description, then those section PORTS maps and those Find PLC found last;
// what the user typed stays.
void ComSetting::showDevices()
{
    QList<SerialDevice> devices = serialDevices();
    const auto offer = [&devices](const QString &path, const QString &why) {
        const QString whole = serialDevicePath(path);
        if (path.isEmpty() ||
            std::any_of(devices.cbegin(), devices.cend(),
                        [&whole](const auto &d) { return serialDevicePath(d.path) == whole; }))
            return;
        SerialDevice device;
        device.path = path;
        device.description = why;
        devices.append(device);
    };
    for (const QString &path : plcCandidates(m_iniFile))
        offer(path, QStringLiteral("Named in the settings file"));
    for (const QString &path : std::as_const(m_foundDevices))
        offer(path, QStringLiteral("Found by Find PLC"));
    if (devices == m_offered)
        return;
    m_offered = devices;
    const QSignalBlocker blocker(m_device);
    const QString typed = m_device->currentText();
    m_device->clear();
    for (const SerialDevice &device : devices) {
        m_device->addItem(device.path);
        m_device->setItemData(m_device->count() - 1, device.description, Qt::ToolTipRole);
    }
    m_device->setEditText(typed);
}

// Shows the device the selected port number stands for, or the user's
// unsaved edit of it.
void ComSetting::showDevice()
{
    const int number = m_port->currentIndex() + 1;
    const QString device = m_devices.contains(number) ? m_devices.value(number)
                                                      : QtPlcPort::deviceFor(number, m_iniFile);
    const QSignalBlocker blocker(m_device);
    m_device->setEditText(device);
}

void ComSetting::save()
{
    const auto entry = [](const char *key, const QComboBox *list) {
        return std::pair{QString::fromLatin1(key), QString::number(list->currentIndex())};
    };
    // OK keeps what the form shows: the port chosen and its device, not the
    // devices typed for other port numbers on the way. A device is kept as
    // the path it stands for ("build/plc-link" from the current folder,
    // "ttyUSB0" under /dev), so it holds wherever the tool starts next.
    IniEntries devices;
    const int number = m_port->currentIndex() + 1;
    const QString device = serialDevicePath(m_device->currentText());
    const QString before = QtPlcPort::deviceFor(number, m_iniFile);
    if (!device.isEmpty() && device != serialDevicePath(before)) {
        // A mistyped device would replace the mapping that worked, and
        // Find PLC would no longer try the device it named: ask first.
        if (!serialDeviceExists(device) &&
            !m_dialogs.askYesNo(
                this, QStringLiteral("There is no device %1 on this computer. Map COM%2 to it all "
                                     "the same? COM%2 stands for %3 now.")
                          .arg(device, QString::number(number), before)))
            return;
        devices.append({QStringLiteral("COM%1").arg(number), device});
    }
    QString error =
        Ini_write(m_iniFile, comSection,
                  {entry("Speed", m_speed), entry("Parity", m_parity), entry("Bit_num", m_bits),
                   entry("Stop_bit", m_stop), entry("Port_num", m_port)});
    // The added time is kept once it is asked for: a file without it means 0.
    if (error.isEmpty() && extraTime() != answerTimeAdd(m_iniFile))
        error = Ini_write(m_iniFile, comSection, QStringLiteral("AnswerTimeAdd"),
                          QString::number(m_extraTime->value()));
    if (error.isEmpty() && !devices.isEmpty())
        error = Ini_write(m_iniFile, QStringLiteral("PORTS"), devices);
    // The form stays open, so the user can try again or cancel knowing that
    // nothing was kept.
    if (!error.isEmpty())
        return m_dialogs.message(this, error, {}, UserDialogs::Icon::Critical);
    accept();
}

void ComSetting::findPlc()
{
    if (m_run)
        return stop();
    const QString rest =
        QStringList{m_parity->currentText(), m_bits->currentText(), m_stop->currentText()}.join(
            QLatin1Char(','));
    auto found = std::make_shared<QList<FoundPlc>>();
    m_found->setRowCount(0);
    m_found->hide();
    // Every device is tried on the session's thread while the session's own
    // port stays closed: none is opened twice.
    start(
        [form = QPointer<ComSetting>(this), found, rest, devices = candidates(),
         ports = devicePorts(), extra = extraTime()](PlcPort &, const TransferProgress &,
                                                     const PlcSession::CancelToken &cancelled) {
            *found = ::findPlc(
                devices, rest, ports,
                [form](const QString &device, int speed) {
                    handOver(QCoreApplication::instance(), [form, device, speed] {
                        if (form)
                            form->m_findProgress->setText(
                                QStringLiteral("Trying %1 at %2 baud")
                                    .arg(device, LinkChoices::speeds.at(speed)));
                    });
                },
                cancelled, extra);
        },
        [this, found] {
            m_findProgress->setText(found->isEmpty() ? QStringLiteral("No PLC answered.")
                                                     : QStringLiteral("Found; choose one:"));
            for (const FoundPlc &plc : *found) {
                const int row = m_found->rowCount();
                m_found->insertRow(row);
                auto *device = new QTableWidgetItem(plc.device);
                device->setData(Qt::UserRole, plc.device);
                device->setData(Qt::UserRole + 1, plc.speed);
                m_found->setItem(row, 0, device);
                m_found->setItem(row, 1,
                                 new QTableWidgetItem(LinkChoices::speeds.at(plc.speed) +
                                                      QStringLiteral(" baud")));
                m_found->setItem(row, 2, new QTableWidgetItem(QString::number(plc.cpuType)));
            }
            m_found->resizeColumnsToContents();
            for (const FoundPlc &plc : *found)
                m_foundDevices << plc.device;
            showDevices();
            m_found->setVisible(!found->isEmpty());
            fitFound();
        });
}

// The devices the system offers and those the settings file maps, then the
// device the form shows and those typed for other port numbers, not stored.
QStringList ComSetting::candidates() const
{
    QStringList devices;
    QSet<QString> tried; // one device named two ways ("build/plc-link", its whole path) once
    const QStringList all =
        plcCandidates(m_iniFile) + QStringList{m_device->currentText()} + m_devices.values();
    for (const QString &device : all) {
        const QString path = device.trimmed();
        if (!path.isEmpty() && !tried.contains(serialDevicePath(path))) {
            tried.insert(serialDevicePath(path));
            devices << path;
        }
    }
    return devices;
}

void ComSetting::takeFound(const QString &device, int speed)
{
    // The port that stands for the device already, or else the port shown,
    // which then stands for it: the form shows what OK will keep.
    if (const int number = comNumberFor(device, m_devices, m_iniFile))
        m_port->setCurrentIndex(number - 1);
    else
        m_devices[m_port->currentIndex() + 1] = device;
    showDevice();
    m_speed->setCurrentIndex(speed);
}

// The test tries the device the form shows: through the form's port when
// that is the device the port number stands for in the settings file, on a
// port of that device otherwise (an unsaved edit, a device typed in).
void ComSetting::test()
{
    const int number = m_port->currentIndex() + 1;
    const QString device = m_device->currentText().trimmed();
    const QString settings = QStringList{m_speed->currentText(), m_parity->currentText(),
                                         m_bits->currentText(), m_stop->currentText()}
                                 .join(QLatin1Char(','));
    auto message = std::make_shared<QString>();
    const auto done = [this, message] {
        m_dialogs.message(this, *message);
    };
    if (device == QtPlcPort::deviceFor(number, m_iniFile)) {
        start(
            [message, number, settings, extra = extraTime()](
                PlcPort &port, const TransferProgress &, const PlcSession::CancelToken &) {
                // The session's port, lent: what the test sets on it is put
                // back for the session's next operation.
                const QString before = port.settings();
                const int beforeNumber = port.portNumber();
                const std::chrono::milliseconds add = port.line().answerTimeAdd;
                *message = connectionTest(port, number, settings, extra);
                port.setSettings(before);
                port.setPortNumber(beforeNumber);
                port.line().answerTimeAdd = add;
            },
            done);
        return;
    }
    start(
        [message, number, settings, extra = extraTime(),
         port = std::shared_ptr<PlcPort>(devicePorts()(device))](
            PlcPort &, const TransferProgress &, const PlcSession::CancelToken &) {
            *message = connectionTest(*port, number, settings, extra);
        },
        done);
}

std::chrono::milliseconds ComSetting::extraTime() const
{
    return std::chrono::milliseconds(m_extraTime->value());
}

ComSetting::DevicePorts ComSetting::devicePorts() const
{
    return [ini = m_iniFile, wrap = m_wrap](const QString &device) -> std::unique_ptr<PlcPort> {
        auto port = std::make_unique<QtPlcPort>(ini);
        port->setDevice(device);
        if (wrap)
            return wrap(device, std::move(port));
        return port;
    };
}
