#include "app/debugfile.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Whatever another user plants at the diagnostics path must neither be written through nor hang
// the window.
class TestDebugFile : public QObject
{
    Q_OBJECT

private slots:
    void keepsOnlyTheLastText();
    void plantedPathIsLeftAlone_data();
    void plantedPathIsLeftAlone();

private:
    QTemporaryDir m_dir;
};

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

void TestDebugFile::keepsOnlyTheLastText()
{
    const QString path = m_dir.filePath(QStringLiteral("log"));
    QVERIFY(DebugFile(path).replace("first, longer text"));
    QVERIFY(DebugFile(path).replace("second"));
    QCOMPARE(contentOf(path), QByteArray("second"));
    QCOMPARE(QFileInfo(path).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
}

void TestDebugFile::plantedPathIsLeftAlone_data()
{
    QTest::addColumn<QString>("plant");
    QTest::newRow("symbolic link") << "symlink";
    QTest::newRow("hard link") << "hardlink";
    QTest::newRow("fifo without a reader") << "fifo";
    QTest::newRow("fifo with a reader") << "fifo with a reader";
    QTest::newRow("file of another user") << "foreign";
}

void TestDebugFile::plantedPathIsLeftAlone()
{
    QFETCH(QString, plant);
    const QString victim = m_dir.filePath(plant + QStringLiteral(".victim"));
    const QString path = m_dir.filePath(plant + QStringLiteral(".log"));
    writeFile(victim, "precious");
    const QByteArray native = QFile::encodeName(path);
    if (plant == QLatin1String("symlink"))
        QVERIFY(QFile::link(victim, path));
    else if (plant == QLatin1String("hardlink"))
        QCOMPARE(::link(QFile::encodeName(victim).constData(), native.constData()), 0);
    else if (plant.startsWith(QLatin1String("fifo")))
        QCOMPARE(::mkfifo(native.constData(), 0666), 0);
    else if (::geteuid() != 0)
        QSKIP("needs root to give a file to another user");
    else {
        writeFile(path, "theirs");
        QCOMPARE(::chown(native.constData(), 65534, 65534), 0);
    }

    const bool withReader = plant.endsWith(QLatin1String("reader"));
    const int reader = withReader ? ::open(native.constData(), O_RDONLY | O_NONBLOCK) : -1;
    QCOMPARE(reader >= 0, withReader);
    QVERIFY(!DebugFile(path).replace("planted"));
    QCOMPARE(contentOf(victim), QByteArray("precious"));
    if (plant == QLatin1String("foreign"))
        QCOMPARE(contentOf(path), QByteArray("theirs"));
    if (reader >= 0) {
        char byte;
        QCOMPARE(::read(reader, &byte, 1), ssize_t(0));
        ::close(reader);
    }
}

QTEST_APPLESS_MAIN(TestDebugFile)
#include "tst_debugfile.moc"
