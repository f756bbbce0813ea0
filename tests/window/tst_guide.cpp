// The user guide's pictures: guide-screenshots, run into a folder of its own,
// makes every picture docs/guide.md and README.md show, each small enough to
// keep in the tree; and the tree holds each of them.
#include "support/buildpath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestGuide : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void makesEveryPictureTheGuideShows();
};

namespace {

// The pictures a Markdown file names, as paths from docs/images.
QStringList picturesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    static const QRegularExpression reference(u"images/([A-Za-z0-9_.-]+\\.png)"_s);
    QStringList names;
    for (const QRegularExpressionMatch &match : reference.globalMatch(text)) {
        if (!names.contains(match.captured(1)))
            names << match.captured(1);
    }
    return names;
}

constexpr qint64 largestPicture = 150 * 1024;

} // namespace

void TestGuide::makesEveryPictureTheGuideShows()
{
    const QDir source(buildPath(PLC_SOURCE_DIR));
    const QStringList guide = picturesOf(source.filePath(u"docs/guide.md"_s));
    const QStringList readme = picturesOf(source.filePath(u"README.md"_s));
    QVERIFY(guide.size() >= 10);
    QVERIFY(!readme.isEmpty());

    QTemporaryDir dir;
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(buildPath(PLC_GUIDE_SCREENSHOTS), {dir.path()});
    QVERIFY(program.waitForFinished(90000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    for (const QString &name : guide + readme) {
        // The Windows pictures come from the Windows test run under Wine.
        const QFileInfo made(name.startsWith(u"windows-"_s)
                                 ? source.filePath(u"docs/images/"_s + name)
                                 : dir.filePath(name));
        QVERIFY2(made.exists(), qPrintable(name + u" was not made"_s));
        QVERIFY2(made.size() < largestPicture, qPrintable(name + u" is too large"_s));
        QVERIFY2(QFileInfo::exists(source.filePath(u"docs/images/"_s + name)),
                 qPrintable(name + u" is not in docs/images"_s));
    }
}

QTEST_MAIN(TestGuide)
#include "tst_guide.moc"
