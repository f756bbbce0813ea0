#include "config/configurationdocument.h"
#include "config/recentfiles.h"
#include "support/sampleconfiguration.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ConfigurationDocument::Choice)

// The document behind the window's File menu, without any widget.
class TestConfigurationDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void changesCountOnlyWhereAFileHoldsThem();
    void saveAndLoadRemember();
    void setsWorkAside_data();
    void setsWorkAside();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestConfigurationDocument::changesCountOnlyWhereAFileHoldsThem()
{
    const ConfigurationDocument document(path(u"set.ini"_s), Configuration::defaults());
    Configuration c = Configuration::defaults();
    QVERIFY(!document.isModified(c));
    c.io.choose(2, 1);
    c.aux.fieldNetSpeed = 0;
    c.uart2.dataBits = c.uart2.stopBits = 2;
    QVERIFY(!document.isModified(c));
    c.uart2.slaveAddress = u"7"_s;
    QVERIFY(document.isModified(c));
}

// A save and a remembered load make the file the document's and the first
// of the recent files; a failed save changes nothing.
void TestConfigurationDocument::saveAndLoadRemember()
{
    const QString ini = path(u"set.ini"_s);
    ConfigurationDocument document(ini, Configuration::defaults());
    QCOMPARE(document.dialogFolder(u"/nowhere"_s, u"/documents"_s), u"/documents"_s);
    Configuration bad = sampleConfiguration();
    bad.uart1.table[0][1] = u"x"_s;
    QVERIFY(!document.save(path(u"bad.apc"_s), bad).isEmpty());
    QVERIFY(document.fileName().isEmpty() && document.recentFiles().isEmpty());
    QVERIFY(document.isModified(bad));

    QCOMPARE(document.save(path(u"a.apc"_s), sampleConfiguration()), QString());
    QCOMPARE(document.fileName(), path(u"a.apc"_s));
    QVERIFY(!document.isModified(sampleConfiguration()));
    QCOMPARE(document.dialogFolder(u"/nowhere"_s, u"/documents"_s), m_dir->path());

    ConfigurationDocument next(ini, Configuration::defaults());
    QCOMPARE(next.recentFiles(), QStringList{path(u"a.apc"_s)});
    const ConfigurationFile::Decoded loaded = next.load(path(u"a.apc"_s), Configuration());
    QVERIFY(loaded.configuration);
    QVERIFY(next.fileName().isEmpty()); // until the window shows it
    next.remember(path(u"a.apc"_s), *loaded.configuration);
    QVERIFY(!next.isModified(sampleConfiguration()));
    QVERIFY(!next.load(path(u"missing.apc"_s), Configuration()).configuration);
    QCOMPARE(next.fileName(), path(u"a.apc"_s));
    // Beside the settings file, a portable copy's own folder comes first.
    QCOMPARE(next.dialogFolder(m_dir->path(), u"/documents"_s), m_dir->path());
}

void TestConfigurationDocument::setsWorkAside_data()
{
    QTest::addColumn<bool>("modified");
    QTest::addColumn<ConfigurationDocument::Choice>("choice");
    QTest::addColumn<bool>("saves"); // what the save gives
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("setAside");
    using C = ConfigurationDocument::Choice;
    QTest::newRow("nothing unsaved") << false << C::Cancel << false << false << true;
    QTest::newRow("discard") << true << C::Discard << false << true << true;
    QTest::newRow("cancel") << true << C::Cancel << true << true << false;
    QTest::newRow("saved") << true << C::Save << true << true << true;
    QTest::newRow("save failed") << true << C::Save << false << true << false;
}

void TestConfigurationDocument::setsWorkAside()
{
    QFETCH(bool, modified);
    QFETCH(ConfigurationDocument::Choice, choice);
    QFETCH(bool, saves);
    const ConfigurationDocument document(path(u"set.ini"_s), Configuration::defaults());
    int asked = 0;
    const bool setAside = document.maySetAside(
        modified ? sampleConfiguration() : Configuration::defaults(),
        [&] {
            ++asked;
            return choice;
        },
        [&] { return saves; });
    QTEST(asked == 1, "asked");
    QTEST(setAside, "setAside");
}

QTEST_GUILESS_MAIN(TestConfigurationDocument)
#include "tst_configurationdocument.moc"
