#include "RenderCommand.h"

#include "common/FrameRate.h"

#include "Entry.h"
#include "ExportParts.h"
#include "ProjectSections.h"
#include "RenderSections.h"
#include "TerminationRequest.h"

#include "common/MaterialPaths.h"
#include "common/Translate.h"
#include "common/ZuTransLator.h"
#include "render/RenderManager.h"
#include "render/export/ExportManager.h"
#include "render/export/Exporter.h"
#include "render/export/MVParams.h"
#include "timeline/SourceItem.h"
#include "timeline/TimelineDocument.h"
#include "timeline/TimelinePublisher.h"
#include "timeline/TimelineSection.h"

#include "bridge/Bridge.h"
#include "bridge/Logger.h"
#include "graphics/PrivateDisplay.h"
#include "undo/UndoController.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QLoggingCategory>

#include <cstdio>
#include <unistd.h>

namespace {

// Relative material paths of an archived project are relative to its folder.
class ProjectFolderPaths : public MaterialPaths {
public:
    ProjectFolderPaths(const QString &project, bool archived)
        : m_project(project), m_archived(archived)
    {}
    QString resolveMaterialPath(const QString &path) const override
    {
        return m_archived ? inProjectFolder(path, m_project) : path;
    }

private:
    QString m_project;
    bool m_archived;
};

struct Options {
    QString project, output;
    int width = 0, height = 0; // 0: the project's size
    int fps = int(timebase::kFps);
    int bitrate = 0;
    bool overwrite = false; // an existing output file may be replaced
};

void say(const QString &text)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
}

bool parse(const QStringList &args, Options *o, QString *error)
{
    QStringList rest;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--size" && hasValue) {
            if (!parseFrameSize(args[++i], &o->width, &o->height)) {
                *error = "--size takes WIDTHxHEIGHT, e.g. 1280x720";
                return false;
            }
        } else if (a == "--fps" && hasValue) {
            o->fps = args[++i].toInt();
            if (o->fps < 1 || o->fps > 30) {
                *error = "--fps takes 1 to 30";
                return false;
            }
        } else if (a == "--bitrate" && hasValue) {
            o->bitrate = args[++i].toInt();
        } else if (a == "--overwrite") {
            o->overwrite = true;
        } else if (a.startsWith("--")) {
            *error = "unknown option " + a;
            return false;
        } else {
            rest << a;
        }
    }
    if (rest.size() != 2) {
        *error = "usage: zuaedit-render PROJECT.zua2 OUT.(mp4|avi|mp3) [--size WxH] [--fps N] "
                 "[--bitrate K] [--overwrite]";
        return false;
    }
    o->project = rest[0];
    o->output = QFileInfo(rest[1]).absoluteFilePath();
    return true;
}

// A bar on a terminal, a line per tenth otherwise.
class Progress {
public:
    void show(int done, int total)
    {
        if (total <= 0)
            return;
        m_total = total;
        const int percent = std::min(100, (done + 1) * 100 / (total + 1));
        if (m_terminal) {
            const int filled = percent / 4;
            std::fprintf(stderr, "\r[%s%s] %3d %%", std::string(size_t(filled), '#').c_str(),
                         std::string(size_t(25 - filled), '.').c_str(), percent);
            std::fflush(stderr);
        } else if (percent / 10 != m_lastTenth) {
            m_lastTenth = percent / 10;
            std::fprintf(stderr, "progress %d %%\n", percent);
        }
    }
    // A complete run ends at 100 % (a lower frame rate skips the last frames' numbers).
    void end(bool complete)
    {
        if (complete && m_total > 0)
            show(m_total, m_total);
        if (m_terminal)
            std::fprintf(stderr, "\n");
    }

private:
    const bool m_terminal = isatty(2);
    int m_lastTenth = -1;
    int m_total = 0;
};

} // namespace

int zuaRenderMain(int argc, char **argv)
{
    // Without a display, a private one to draw with (gone when this returns).
    PrivateDisplay display;
    QString displayError;
    if (!zuaHasDisplay() && !display.start(&displayError)) {
        say("zuaedit-render: " + displayError);
        return 2;
    }
    bg::InitBridge(argc, argv);
    // The terminal shows progress and the outcome; debug traces stay in the log file.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    QApplication app(argc, argv); // the timeline's clips are graphics items
    registerRenderMetaTypes();
    ZuTransLator translator(QStringLiteral(":/language/en-Us-new.ini"));
    app.installTranslator(&translator);
    Options o;
    QString error;
    if (!parse(app.arguments(), &o, &error)) {
        say(error);
        return 2;
    }
    QFile file(o.project);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        say(QString("%1: %2").arg(o.project, ZTR("titlebar.FileNoExist")));
        return 1;
    }

    RenderManager render;
    if (!render.init()) {
        say("zuaedit-render: the graphics device could not be created");
        return 1;
    }
    // The timeline as data: its model and the scene its clips are items of; no widget
    // is made (the timeline view and panels are the editor's).
    TimelineDocument timeline;
    timeline.buildGroups();
    Exporter exporter(render.transport(), [&render] {
        return QSize(int(render.sceneWidth()), int(render.sceneHeight()));
    });
    exporter.setTimeline(timeline.publisher()->feed());

    // The project, read with the editor's own section readers.
    QXmlStreamReader reader(&file);
    if (!reader.readNextStartElement()) {
        say(QString("%1: %2").arg(o.project, ZTR("titlebar.FileReadFail")));
        return 1;
    }
    const ProjectFolderPaths paths(o.project, reader.attributes().value("Archived").toInt() != 0);
    timeline.setMaterialPaths(&paths);
    RenderSections sections(render, timeline);
    const ProjectSections::ReadOutcome outcome = ProjectSections::readProject(reader, sections);
    if (!outcome.damage.isEmpty()) {
        // A damaged project is never rendered as if it were whole.
        say(QString("%1: %2\n%3").arg(o.project, ZTR("titlebar.ReadDamaged"), outcome.details()));
        timeline.clearAll();
        zua::UndoController::instance()->reset();
        return 1;
    }
    if (!outcome.complete()) // newer or unknown parts: the rest is rendered as written
        say(QString("%1: %2").arg(o.project, outcome.details()));

    MVParams params;
    params.path = o.output;
    params.width = o.width > 0 ? o.width : int(render.sceneWidth());
    params.height = o.height > 0 ? o.height : int(render.sceneHeight());
    params.frameRate = o.fps;
    params.keyInterval = o.fps;
    params.bitRate = o.bitrate;
    params.audioOnly = o.output.endsWith(".mp3", Qt::CaseInsensitive);
    params.replace = o.overwrite;
    params.keep << QFileInfo(o.project).absoluteFilePath();
    for (const SourceItem *clip : timeline.clips())
        params.keep << clip->path;
    exporter.manager()->setRevealWritten(false);
    // Part files of killed runs go; this run's is recorded while it is written.
    ExportParts::removeLeftovers();
    QObject::connect(exporter.manager(), &ExportManager::sig_partMade, &ExportParts::record);
    QObject::connect(exporter.manager(), &ExportManager::sig_ended, [] { ExportParts::clear(); });
    Progress progress;
    QObject::connect(exporter.manager(), &ExportManager::sig_processUpdate,
                     [&progress](int done, int total) { progress.show(done, total); });
    // Ctrl-C or a termination request stops the run; nothing is left under the name.
    TerminationRequest stop([&exporter] { exporter.manager()->cancel(); });
    const auto result = ExportManager::Result(exporter.exportMovie(params));
    progress.end(result == ExportManager::Result::Written);
    timeline.clearAll();
    zua::UndoController::instance()->reset();
    if (result == ExportManager::Result::Written) {
        say("written: " + o.output);
        return 0;
    }
    const QString text = exporter.manager()->messageText(result);
    say(text.isEmpty() ? ZTR("exportmvwindow.fileinexistenError") : text);
    return 1;
}
