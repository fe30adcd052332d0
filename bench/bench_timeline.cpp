// Timeline benchmark: a project of 2,000 clips on 10 tracks is saved, reopened and
// edited. Reference: reading the same file with a bare XML reader.
#include "common/MessageBox.h"
#include "main/MainWindow.h"
#include "main/ProjectDocument.h"
#include "main/ZuApp.h"
#include "timeline/ClassifyItem.h"
#include "timeline/SourceItem.h"
#include "timeline/TimelineDocument.h"

#include "undo/UndoController.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cstdio>

namespace {
double ms(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ZuApp app(argc, argv);
    if (!app.init())
        return 1;
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.mp4");
    if (QProcess::execute("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                     "testsrc2=s=320x240:d=2", "-pix_fmt", "yuv420p", clip}) != 0)
        return 1;
    TimelineDocument *model = app.mainWindow()->timelineModel();
    const QString path = dir.filePath("big.zua2");
    app.document()->createProject(path, 1920, 1080,
                                  true); // a saved project: saving never asks where
    QList<ClassifyItem *> tracks{model->group(CT_VIDEO)};
    for (int i = 0; i < 9; ++i)
        tracks << model->insertTrack(model->group(CT_VIDEO), i, false);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 2000; ++i)
        model->createClip(tracks[i % 10], CT_VIDEO, clip, (i / 10) * 60);
    const double build = ms(t);

    t.restart();
    app.document()->saveProject(false, false, path);
    const double save = ms(t);

    t.restart();
    app.document()->openProject(path);
    const double open = ms(t);
    const int clips = model->clips().size();

    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    t.restart();
    QXmlStreamReader bare(bytes);
    int elements = 0;
    while (!bare.atEnd())
        elements += bare.readNext() == QXmlStreamReader::StartElement;
    const double parse = ms(t);

    SourceItem *first = model->group(CT_VIDEO)->clips().value(0);
    t.restart();
    {
        zua::MergeSequence move("SourceMove");
        first->setValue(
            "source",
            SourceData::sourceValue(first->track, first->start() + 1, first->duration(), 0), true,
            true);
        model->resolveOverlaps(first->track);
        model->checkTransitions();
    }
    const double moveMs = ms(t);
    t.restart();
    zua::UndoController::instance()->undo();
    const double undoMs = ms(t);

    std::printf("timeline: %d clips on 10 tracks (%.0f KB file, %d elements); built in %.0f ms\n",
                clips, bytes.size() / 1024.0, elements, build);
    std::printf("timeline.save %.1f ms (goal < 300 ms)\n", save);
    std::printf("timeline.open %.1f ms (goal < 1000 ms); bare XML read of the same file %.1f ms, "
                "ratio %.1f\n",
                open, parse, open / parse);
    std::printf("timeline.move one clip as an undoable step %.2f ms, undo %.2f ms\n", moveMs,
                undoMs);

    // Loading grows with what is loaded: picture projects of 2,000 and 8,000 clips in
    // a row, and 2,000 that all overlap (a hand-edited file), each against a bare XML
    // read of the same file.
    QImage green(64, 48, QImage::Format_RGB32);
    green.fill(Qt::green);
    const QString picture = dir.filePath("green.png");
    green.save(picture);
    app.document()->createProject(dir.filePath("one.zua2"), 1920, 1080, true);
    model->createClip(model->group(CT_PICTURE), CT_PICTURE, picture, 0);
    app.document()->saveProject(false, false, dir.filePath("one.zua2"));
    QFile oneFile(dir.filePath("one.zua2"));
    oneFile.open(QIODevice::ReadOnly);
    const QByteArray one = oneFile.readAll();
    const int from = one.indexOf("<sourceItem>"), to = one.indexOf("</sourceItem>") + 13;
    const QByteArray clipText = one.mid(from, to - from);
    // A box would wait for a person: it is printed and answered.
    MessageBox::setAnswerHook([](const MessageSpec &box) {
        std::printf("box: %s\n", qPrintable(box.text));
        return box.escapeButton;
    });
    auto loadRow = [&](int count, bool overlapping) {
        QByteArray clipsText;
        for (int i = 0; i < count; ++i) {
            QByteArray c = clipText;
            c.replace("<start>0</start>",
                      "<start>" + QByteArray::number(overlapping ? i : i * 100) + "</start>");
            c.replace("<duration>500</duration>", "<duration>100</duration>");
            const int u = c.indexOf("<uuid>"), e = c.indexOf("</uuid>");
            c.replace(u + 6, e - u - 6, "c" + QByteArray::number(i));
            clipsText += c;
        }
        QByteArray text = one;
        text.replace(from, to - from, clipsText);
        const QString file = dir.filePath(QString("load%1%2.zua2").arg(count).arg(overlapping));
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        out.write(text);
        out.close();
        QElapsedTimer timer;
        timer.start();
        app.document()->openProject(file);
        const double loaded = ms(timer);
        timer.restart();
        QXmlStreamReader plain(text);
        while (!plain.atEnd())
            plain.readNext();
        const double plainMs = ms(timer);
        std::printf("timeline.load %d picture clips%s: %.0f ms (%d loaded), %.3f ms a clip; "
                    "bare XML read %.1f ms, ratio %.0f\n",
                    count, overlapping ? " all overlapping" : "", loaded, model->clips().size(),
                    loaded / count, plainMs, loaded / plainMs);
        return loaded;
    };
    const double small = loadRow(2000, false);
    const double large = loadRow(8000, false);
    loadRow(2000, true);
    std::printf("timeline.load growth: 4x the clips took %.1fx the time (linear: 4)\n",
                large / small);
    return 0;
}
