// What an installation gives the desktop: the program, its menu entry, its
// icon at the usual sizes and the file type of the binary log; and that
// uninstalling takes it all away. The build is installed once for all the
// tests, into a temporary prefix with a blank in its name.

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <map>

class TestInstall : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void program();
    void menuEntry();
    void icons_data();
    void icons();
    void logFileType_data();
    void logFileType();
    void uninstall(); // the last: it removes the installation

private:
    QString installed(const QString &path) const { return m_prefix.filePath(path); }

    QTemporaryDir m_prefix{QDir::tempPath() + QStringLiteral("/vexo prefix-XXXXXX")};
};

void TestInstall::initTestCase()
{
    QVERIFY(m_prefix.isValid());
    QProcess install;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DESTDIR"));
    install.setProcessEnvironment(environment);
    install.start(QStringLiteral(VEXO_CMAKE),
                  {QStringLiteral("--install"), QStringLiteral(VEXO_BUILD_DIR),
                   QStringLiteral("--prefix"), m_prefix.path()});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());

    // File types are looked up in the installed tree beside the system's, and
    // nowhere in this user's home.
    qputenv("XDG_DATA_HOME", QFile::encodeName(installed(QStringLiteral("no-home"))));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(installed(QStringLiteral("share"))) + ":/usr/share");
}

void TestInstall::program()
{
    const QFileInfo program(installed(QStringLiteral("bin/vexoview")));
    QVERIFY(program.isFile());
    QVERIFY(program.isExecutable());
    // Stripped: no symbol table and no debugging sections.
    QFile binary(program.filePath());
    QVERIFY(binary.open(QIODevice::ReadOnly));
    const QByteArray bytes = binary.readAll();
    QVERIFY(!bytes.contains(".symtab"));
    QVERIFY(!bytes.contains(".debug_info"));

    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_prefix.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    run.setProcessEnvironment(environment);
    run.start(program.filePath(), {QStringLiteral("--version")});
    QVERIFY(run.waitForFinished(60000));
    QCOMPARE(run.exitCode(), 0);
    QCOMPARE(run.readAllStandardOutput(), QByteArray("Vexo View 1.0.0.4\n"));
}

void TestInstall::menuEntry()
{
    const QString entry = installed(QStringLiteral("share/applications/vexoview.desktop"));
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    std::map<QString, QString> keys;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            keys[line.left(equals)] = line.mid(equals + 1);
    }
    QCOMPARE(keys[QStringLiteral("Name")], QStringLiteral("Vexo View"));
    QCOMPARE(keys[QStringLiteral("Icon")], QStringLiteral("vexoview"));
    const QStringList categories = keys[QStringLiteral("Categories")].split(QLatin1Char(';'));
    QVERIFY(categories.contains(QStringLiteral("Development")));
    QVERIFY(categories.contains(QStringLiteral("Electronics")));
    // A double-click on a binary log opens it in Vexo View.
    QCOMPARE(keys[QStringLiteral("MimeType")], QStringLiteral("application/x-vexo-dcu;"));
    // The menu starts the installed program wherever it went, quoted where
    // the path holds a blank.
    QCOMPARE(keys[QStringLiteral("Exec")],
             QStringLiteral("\"%1\" %f").arg(installed(QStringLiteral("bin/vexoview"))));

    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed (Debian package desktop-file-utils)");
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(validator, {entry});
    QVERIFY(validate.waitForFinished(60000));
    const QByteArray complaints = validate.readAll();
    QVERIFY2(validate.exitCode() == 0 && complaints.isEmpty(), complaints.constData());
}

void TestInstall::icons_data()
{
    QTest::addColumn<int>("size");
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        QTest::addRow("%dx%d", size, size) << size;
}

void TestInstall::icons()
{
    QFETCH(int, size);
    const QString folder = QStringLiteral("share/icons/hicolor/%1x%1/").arg(size);
    for (const QString &name : {QStringLiteral("apps/vexoview.png"),
                                QStringLiteral("mimetypes/application-x-vexo-dcu.png")}) {
        QImage icon;
        QVERIFY2(icon.load(installed(folder + name), "PNG"), qPrintable(folder + name));
        QCOMPARE(icon.size(), QSize(size, size));
        // The rounded blue tile fills the middle; its corners are clear.
        const QColor middle = icon.pixelColor(size / 2, size * 7 / 8);
        QCOMPARE(middle.alpha(), 255);
        QVERIFY(middle.blue() > middle.red() && middle.blue() > middle.green());
        QCOMPARE(icon.pixelColor(0, 0).alpha(), 0);
    }
}

void TestInstall::logFileType_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("binaryLog");

    const QByteArray emptyLog("\xCC\x00\x00\x00\x00", 5);
    QTest::newRow("by name") << "capture.dcu" << QByteArray() << true;
    QTest::newRow("by name in capitals") << "CAPTURE.DCU" << QByteArray() << true;
    QTest::newRow("by the first byte") << "capture" << emptyLog << true;
    QTest::newRow("other first byte") << "capture" << QByteArray("\x00\x01\x02", 3) << false;
    QTest::newRow("text log") << "capture.txt" << QByteArray("0,RX,STD DATA\n") << false;
}

void TestInstall::logFileType()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(bool, binaryLog);

    const QMimeType type = QMimeDatabase().mimeTypeForFileNameAndData(fileName, content);
    QCOMPARE(type.name() == QStringLiteral("application/x-vexo-dcu"), binaryLog);
    if (binaryLog)
        QCOMPARE(type.comment(), QStringLiteral("Vexo View binary CAN log"));
}

void TestInstall::uninstall()
{
    QProcess uninstall;
    uninstall.start(QStringLiteral(VEXO_CMAKE),
                    {QStringLiteral("-DPREFIX=") + m_prefix.path(), QStringLiteral("-P"),
                     QStringLiteral(VEXO_BUILD_DIR "/uninstall.cmake")});
    QVERIFY(uninstall.waitForFinished(120000));
    QVERIFY2(uninstall.exitCode() == 0, uninstall.readAllStandardError().constData());

    // What is left are the caches the desktop's tools wrote; nothing of ours.
    QStringList left;
    QDirIterator files(m_prefix.path(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = QDir(m_prefix.path()).relativeFilePath(files.next());
        if (path.contains(QStringLiteral("vexo")))
            left << path;
    }
    QCOMPARE(left, QStringList());
}

QTEST_MAIN(TestInstall)

#include "tst_install.moc"
