// Takes any bytes as the settings file. Reads never fail, a write either
// stores its value (a read then gives it back, and every other key keeps
// its value) or is reported and leaves the file as it was.
#include "fuzzinput.h"
#include "link/inifile.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

const QStringList sections = {QStringLiteral("PORT"), QStringLiteral("port"),
                              QStringLiteral("RECENT"), QStringLiteral("Modbus")};
const QStringList keys = {QStringLiteral("Port"), QStringLiteral("Speed"), QStringLiteral("File1"),
                          QStringLiteral("COM3"), QStringLiteral("x")};

QStringList readAll(const QString &file)
{
    QStringList values;
    for (const QString &section : sections)
        for (const QString &key : keys)
            values << Ini_read(file, section, key, QStringLiteral("\x01"));
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/set.ini");
    FuzzInput input(data, size);
    const int section = input.byte() % sections.size();
    const int key = input.byte() % keys.size();
    const QString value = QString::number(input.byte() * 7);
    const QByteArray contents = input.bytes(size);
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            out.write(contents) != contents.size())
            return 0;
    }
    const QStringList before = readAll(file);
    for (const QString &text : before)
        FUZZ_CHECK(text.size() <= 254);
    Ini_read_index(file, sections[section], keys[key], 5);
    const QString error = Ini_write(file, sections[section], keys[key], value);
    QFile in(file);
    FUZZ_CHECK(in.open(QIODevice::ReadOnly));
    if (!error.isEmpty()) {
        FUZZ_CHECK(in.readAll() == contents);
        return 0;
    }
    FUZZ_CHECK(Ini_read(file, sections[section], keys[key], {}) == value);
    const QStringList after = readAll(file);
    for (qsizetype i = 0; i < before.size(); ++i) {
        const bool same =
            sections[i / keys.size()].compare(sections[section], Qt::CaseInsensitive) == 0 &&
            i % keys.size() == key;
        FUZZ_CHECK(same ? after[i] == value : after[i] == before[i]);
    }
    return 0;
}
