// End to end with the real editor: the demo project (two videos with a transition, a
// logo, music, a subtitle) archived through the Archive dialog, its original media
// deleted and the archive folder moved, still renders the same video.
#include "support/EditorProcess.h"

#include <QtTest>

#include <csignal>

namespace {
constexpr int kArchiveX = 223, kArchiveY = 21;    // the title bar's Archive button
constexpr int kFolderX = 620, kFolderY = 397;     // the dialog's export folder box
constexpr int kArchivedX = 760, kArchivedY = 467; // its archive button

// Renders a project with the editor's own command; the output's frames as hashes.
QStringList renderedFrames(const QString &project, const QString &video)
{
    QProcess render;
    render.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    render.start(ZUA_RENDER_BINARY, {project, video, "--size", "320x180"});
    if (!render.waitForFinished(240000) || render.exitCode() != 0)
        return {};
    QProcess hashes;
    hashes.start("ffmpeg", {"-v", "error", "-i", video, "-map", "0:v", "-f", "framemd5", "-"});
    hashes.waitForFinished(60000);
    QStringList frames;
    for (const QString &line : QString::fromUtf8(hashes.readAllStandardOutput()).split('\n'))
        if (!line.startsWith('#') && !line.trimmed().isEmpty())
            frames << line.section(',', -1).trimmed();
    return frames;
}
} // namespace

class TestArchiveEditor : public QObject {
    Q_OBJECT
private slots:
    void movedArchiveRendersTheSame();
};

void TestArchiveEditor::movedArchiveRendersTheSame()
{
    QTemporaryDir dir;
    const QString home = dir.path(), media = home + "/media";
    QDir().mkpath(media);
    const QString demo = QString(ZUA_BUILD_DIR) + "/demo";
    for (const char *file : {"first.mp4", "second.mp4", "logo.png", "music.wav"})
        QVERIFY(QFile::copy(demo + "/" + file, media + "/" + file));
    QFile source(demo + "/demo.zua2");
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QString project = home + "/demo.zua2";
    QFile copy(project);
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write(source.readAll().replace(demo.toUtf8(), media.toUtf8()));
    copy.close();
    const QStringList original = renderedFrames(project, home + "/original.mp4");
    QVERIFY(original.size() > 100);

    QProcess editor;
    QVERIFY(fixtures::startEditor(editor, home, project, 1500));
    QDir().mkpath(home + "/out");
    const QString click = QStringLiteral("xdotool mousemove %1 %2 click 1");
    QVERIFY(fixtures::xdo(click.arg(kArchiveX).arg(kArchiveY)));
    QTest::qWait(1000);
    QVERIFY(fixtures::xdo(QString("xdotool mousemove %1 %2 click --repeat 3 --delay 60 1 && "
                                  "xdotool type %3")
                              .arg(kFolderX)
                              .arg(kFolderY)
                              .arg(home + "/out")));
    QVERIFY(fixtures::xdo(click.arg(kArchivedX).arg(kArchivedY)));
    QTRY_COMPARE_WITH_TIMEOUT(
        QDir(home + "/out").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1, 10000);
    const QString name = QDir(home + "/out").entryList(QDir::Dirs | QDir::NoDotAndDotDot).first();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(home + "/out/" + name + "/" + name + ".zua2"),
                             20000);
    ::kill(pid_t(editor.processId()), SIGKILL);
    editor.waitForFinished();

    // Elsewhere, and without the original media, the archive has all it needs.
    QVERIFY(QDir(media).removeRecursively());
    QVERIFY(QDir().rename(home + "/out/" + name, home + "/moved"));
    const QStringList archived =
        renderedFrames(home + "/moved/" + name + ".zua2", home + "/archived.mp4");
    QCOMPARE(archived.size(), original.size());
    QCOMPARE(archived, original);
}

QTEST_GUILESS_MAIN(TestArchiveEditor)
#include "tst_archiveeditor.moc"
