// The document's file: writing and reading ".zua2", importing ".zua", and the
// material path services used by the section owners.

#include "LoadProgress.h"
#include "ProjectDocument.h"
#include "ProjectSections.h"
#include "common/MessageBox.h"
#include "common/Translate.h"
#include "render/RenderManager.h"
#include "render/Transport.h"

#include "bridge/Bridge.h"
#include "undo/UndoController.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QVersionNumber>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

namespace {} // namespace

bool ProjectDocument::writeContainer(const QString &path, ContainerKind kind, bool archive,
                                     QString *reason)
{
    // Written to a temporary file and renamed over the target only when complete, so
    // a failure or a crash during the save leaves the previous file as it was.
    QSaveFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (reason)
            *reason = file.errorString();
        return false;
    }

    // A writer of its own for every write: a writer's error never clears, so one
    // failed save must not fail every later one.
    QXmlStreamWriter writer(&file);
    writer.setAutoFormattingIndent(2);
    writer.setCodec("UTF-8");

    // The file begins with the root element: formatting is switched on after it,
    // since the writer would otherwise put a line break before it.
    writer.setAutoFormatting(false);
    writer.writeStartElement("VoVive");
    writer.writeAttribute("Version", "1.0.0");
    const bool sectionArchive = kind == ContainerKind::Save && archive;
    if (kind == ContainerKind::Save) {
        if (archive || m_paths.archived()) {
            writer.writeAttribute("Archived", "1");
            // Before any section, so their relative paths refer to the new folder.
            m_paths.setArchiveFolder(QFileInfo(path).absolutePath());
        } else {
            writer.writeAttribute("Archived", "0");
        }
    }
    writer.setAutoFormatting(true);

    writer.writeStartElement("Render");
    m_sections->writeScene(writer);
    writer.writeEndElement();

    // A new project starts with empty material and timeline sections.
    const bool content = kind == ContainerKind::Save;
    writer.writeStartElement("Resource");
    if (content)
        m_sections->writeMaterials(writer, sectionArchive);
    writer.writeEndElement();

    writer.writeStartElement("Timeline");
    if (content)
        m_sections->writeTimeline(writer, sectionArchive);
    writer.writeEndElement();

    writer.writeStartElement("Preview");
    writer.writeEndElement();

    writer.writeEndElement();
    writer.writeCharacters("\n");
    // The last block is still in the buffer: it is written and checked here, since
    // commit() would rename the file over the project even when that write fails (a
    // full disk), leaving it empty or cut short.
    errno = 0;
    const bool flushed = file.flush();
    const int flushError = errno; // the system's reason (Qt's own text is empty here)
    const bool written = !writer.hasError() && flushed && file.error() == QFileDevice::NoError;
    writer.setDevice(nullptr);
    if (!written) {
        if (reason)
            *reason =
                flushError ? QString::fromLocal8Bit(std::strerror(flushError)) : file.errorString();
        file.cancelWriting();
        BG_LOG_E("---> the project could not be written: %s", qUtf8Printable(path));
        return false;
    }
    if (!file.commit()) {
        if (reason)
            *reason = file.errorString();
        BG_LOG_E("---> the project could not be saved: %s", qUtf8Printable(path));
        return false;
    }
    return true;
}

void ProjectDocument::showFailure(const QString &key)
{
    showFailureText(zuaTranslate(key));
}

void ProjectDocument::showFailureText(const QString &text)
{
    MessageBox::inform(m_window, ZKEY("MainWindow.Hint"), text, ZKEY("MainWindow.Ok"));
}

ProjectSections::ReadOutcome ProjectSections::readProject(QXmlStreamReader &reader,
                                                          ProjectSections &sections)
{
    ReadOutcome outcome;
    const QString version = reader.attributes().value("Version").toString();
    if (QVersionNumber::fromString(version) > QVersionNumber::fromString(fileVersion()))
        outcome.version = version;
    ReadNotes::Scope scope(outcome.notes);
    while (reader.readNextStartElement()) {
        const QStringRef name = reader.name();
        if (name == QLatin1String("Render"))
            sections.readScene(reader);
        else if (name == QLatin1String("Resource"))
            sections.readMaterials(reader);
        else if (name == QLatin1String("Timeline"))
            sections.readTimeline(reader);
        else if (name == QLatin1String("Preview"))
            reader.skipCurrentElement();
        else
            xmlread::skipUnknown(reader);
    }
    if (reader.hasError())
        outcome.damage = ZTR("titlebar.ReadDamage")
                             .arg(reader.lineNumber())
                             .arg(reader.error() == QXmlStreamReader::PrematureEndOfDocumentError
                                      ? ZTR("titlebar.ReadCutShort")
                                      : reader.errorString());
    return outcome;
}

QString ProjectSections::ReadOutcome::details() const
{
    QStringList lines;
    if (!damage.isEmpty())
        lines << damage;
    if (!version.isEmpty())
        lines << ZTR("titlebar.ReadNewer").arg(version);
    if (!notes.isEmpty())
        lines << notes.summary();
    return lines.join('\n');
}

bool ProjectDocument::openForReading(QIODevice &file, const QString &rootName)
{
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        showFailure(ZKEY("titlebar.FileNoExist"));
        return false;
    }
    m_reader.setDevice(&file);
    if (!m_reader.readNextStartElement() || (!rootName.isEmpty() && m_reader.name() != rootName)) {
        m_reader.setDevice(nullptr);
        showFailure(ZKEY("titlebar.FileReadFail"));
        return false;
    }
    return true;
}

bool ProjectDocument::readProjectFile(const QString &file, const QString &asPath)
{
    return readProject(file, asPath, true);
}

bool ProjectDocument::readProject(const QString &file, const QString &asPath, bool cancellable)
{
    const QString path = asPath.isEmpty() ? file : asPath;
    // A load that takes longer than a second shows its progress and can be cancelled:
    // the project open before comes back.
    std::unique_ptr<LoadProgressWindow> progress;
    if (cancellable && m_window)
        progress = std::make_unique<LoadProgressWindow>(m_window, QFileInfo(path).fileName());
    LoadProgressDevice device(
        file, [&progress](int permille) { return !progress || progress->report(permille); });
    // The file is checked before anything is cleared: a file that is no project
    // leaves the open one as it was.
    if (!openForReading(device, QString()))
        return false;
    BG_LOG_D("---> opening project: %s", qUtf8Printable(file));
    const QXmlStreamAttributes attrs = m_reader.attributes();
    const QString previousPath = m_projectPath;
    const bool previousUntitled = m_needsLocation, previousArchived = m_paths.archived();
    clearProject();
    BG_LOG_D("---> project version: %s", qUtf8Printable(attrs.value("Version").toString()));
    m_paths.setArchived(attrs.value("Archived").toInt() != 0);
    setProjectPath(path);
    const ProjectSections::ReadOutcome outcome =
        ProjectSections::readProject(m_reader, *m_sections);
    m_reader.setDevice(nullptr);
    progress.reset();

    if (device.stopped()) {
        BG_LOG_D("---> opening cancelled: %s", qUtf8Printable(file));
        // The project open before comes back: read again from its file, or empty
        // and untitled as it was.
        if (!previousUntitled && QFileInfo(previousPath).isFile() && previousPath != path) {
            readProject(previousPath, QString(), false);
        } else {
            clearProject();
            m_paths.setArchived(previousArchived);
            zua::UndoController::instance()->setClean();
            if (previousUntitled) {
                makeUntitled(previousPath);
            } else {
                setProjectPath(previousPath);
                emit sig_updateProjectName(QFileInfo(previousPath).completeBaseName(), true);
            }
        }
        return false;
    }

    zua::UndoController::instance()->reset();
    zua::UndoController::instance()->setClean();
    const QFileInfo info(path);
    emit sig_prependHistory(path);
    if (!outcome.complete()) {
        // What could not be read would be lost by saving over the file: the project
        // is a copy from now on, and its first save asks where (the file's own name
        // proposed, replacing it only when the user says so).
        BG_LOG_W("---> the project was opened as a copy (%s): %s", qUtf8Printable(path),
                 qUtf8Printable(outcome.details()));
        makeUntitled(path);
        showFailureText(ZTR("titlebar.OpenedAsCopy").arg(info.fileName()) + "\n\n" +
                        outcome.details());
        return true;
    }
    emit sig_updateProjectName(info.completeBaseName(), true);
    emit sig_updateProjectName(ZTR("titlebar.OpenProjectSuccess").arg(info.fileName()), false);
    return true;
}

void ProjectDocument::readLegacyChildren()
{
    // Descends through `path` (element names, outermost first) and hands every
    // element named last in it to `read`.
    const auto walk = [this](QStringList path, auto read) {
        std::function<void(int)> descend = [&](int level) {
            while (m_reader.readNextStartElement()) {
                if (m_reader.name() != path[level])
                    m_reader.skipCurrentElement();
                else if (level + 1 == path.size())
                    read();
                else
                    descend(level + 1);
            }
        };
        descend(0);
    };

    while (m_reader.readNextStartElement()) {
        const QStringRef name = m_reader.name();
        if (name == QLatin1String("Preview")) {
            while (m_reader.readNextStartElement()) {
                if (m_reader.name() == QLatin1String("ViewInfo"))
                    m_sections->readLegacyCanvas(m_reader);
                else if (m_reader.name() == QLatin1String("ViewModel"))
                    walk({"ZuSceneModel", "ObjectMgr"},
                         [this] { m_sections->readLegacyScene(m_reader); });
                else
                    m_reader.skipCurrentElement();
            }
        } else if (name == QLatin1String("TimeLine")) {
            walk({"PosCtrl", "Tree"}, [this] { m_sections->readLegacyTree(m_reader); });
        } else if (name == QLatin1String("Resource")) {
            walk({"ViewModel", "ZuSceneModel", "ObjectMgr"},
                 [this] { m_sections->readLegacyMaterials(m_reader); });
        } else {
            m_reader.skipCurrentElement();
        }
    }
}

bool ProjectDocument::readLegacyProjectFile(const QString &path)
{
    QFile file(path);
    if (!openForReading(file, QStringLiteral("RoRIVeziza")))
        return false;
    BG_LOG_D("---> importing an older project: %s", qUtf8Printable(path));
    const bool archived = m_reader.attributes().value("archive").toInt() != 0;
    clearProject();
    m_paths.setArchived(archived);
    // Material paths resolve against the legacy file's folder while reading.
    setProjectPath(path);
    readLegacyChildren();
    m_reader.setDevice(nullptr);

    zua::UndoController::instance()->reset();
    zua::UndoController::instance()->setClean();
    // The converted project has no file yet: the next save asks where, proposing a
    // name beside the old file, and never replaces a file that has that name.
    const QFileInfo legacy(path);
    makeUntitled(legacy.absolutePath() + "/" + legacy.completeBaseName() + ".zua2");
    return true;
}

void ProjectDocument::clearProject()
{
    if (m_renderManager)
        m_renderManager->transport()->stop(true, true);
    m_sections->clearContent();
    zua::UndoController::instance()->reset();
}

QString ProjectDocument::currentProjectPath() const
{
    return !m_needsLocation && QFileInfo::exists(m_projectPath) ? m_projectPath : QString();
}
