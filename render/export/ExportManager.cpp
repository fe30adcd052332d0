#include "ExportManager.h"

#include "common/FrameRate.h"
#include "common/NewFileMode.h"
#include "common/Translate.h"

#include "ExportThreads.h"

#include "graphics/GsDevice.h"

#include "bridge/Logger.h"
#include "bridge/SystemServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr int kQueuedFrames = 5; // frames evaluated and not yet drawn, at most

mv::MVSettings settingsFor(const MVParams &p)
{
    mv::MVSettings s;
    s.audioOnly = p.audioOnly;
    if (!p.audioOnly) {
        s.width = p.width;
        s.height = p.height;
        s.frameRate = p.frameRate;
        // Slowed down, the same pictures are shown for longer.
        if (p.speed > 0 && p.speed < 1)
            s.frameRate = int(p.frameRate / p.speed);
        s.keyInterval = p.keyInterval;
        s.bitRate = p.bitRate;
        s.gif = p.gif;
    }
    s.speed = p.speed;
    s.metadata = "title:ZuAEdit;comment:made with ZuAEdit";
    return s;
}

} // namespace

ExportManager::ExportManager(QObject *parent) : QObject(parent) {}

ExportManager::~ExportManager()
{
    // A run still going stops with its owner; nobody is left to hear how it ended.
    blockSignals(true);
    cancel();
}

QString ExportManager::messageKey(Result result)
{
    switch (result) {
    case Result::EncoderRefused:
        return QStringLiteral("exportmvwindow.encoderError");
    case Result::WriteFailed:
        return QStringLiteral("exportmvwindow.writeError");
    case Result::NoFile:
        return QStringLiteral("exportmvwindow.fileinexistenError");
    case Result::Cancelled:
        return QStringLiteral("exportmvwindow.cancelled");
    case Result::TargetExists:
        return QStringLiteral("exportmvwindow.targetExists");
    case Result::TargetInUse:
        return QStringLiteral("exportmvwindow.targetInUse");
    case Result::NameTooLong:
        return QStringLiteral("exportmvwindow.nameTooLong");
    case Result::FolderRefused:
        return QStringLiteral("exportmvwindow.folderRefused");
    case Result::Written:
        break;
    }
    return QString();
}

QString ExportManager::messageText(Result result) const
{
    const QString key = messageKey(result);
    if (key.isEmpty())
        return QString();
    QString text = zuaTranslate(key);
    if (result == Result::NameTooLong)
        text = text.arg(m_nameBytes).arg(m_nameMax);
    else if (result == Result::FolderRefused)
        text = text.arg(QDir::toNativeSeparators(m_refusedFolder), m_refusedReason);
    return text;
}

bool ExportManager::namesOneOf(const QString &path, const QStringList &files)
{
    const QFileInfo target(path);
    const QString absolute = target.absoluteFilePath();
    const QString canonical = target.canonicalFilePath(); // empty when nothing is there
#ifdef Q_OS_UNIX
    // A second name of the same file (a hard link) is the same file.
    struct stat there = {};
    const bool exists = ::stat(QFile::encodeName(absolute).constData(), &there) == 0;
#endif
    for (const QString &file : files) {
        if (file.isEmpty())
            continue;
        const QFileInfo used(file);
        if (used.absoluteFilePath() == absolute ||
            (!canonical.isEmpty() && used.canonicalFilePath() == canonical))
            return true;
#ifdef Q_OS_UNIX
        struct stat other = {};
        if (exists && ::stat(QFile::encodeName(used.absoluteFilePath()).constData(), &other) == 0 &&
            other.st_dev == there.st_dev && other.st_ino == there.st_ino)
            return true;
#endif
    }
    return false;
}

std::optional<ExportManager::Result>
ExportManager::start(const MVParams &params, const QSize &sceneSize, TimelineState timeline)
{
    if (!timeline)
        return Result::EncoderRefused;
    if (isExporting())
        return Result::EncoderRefused; // one export at a time
    BG_LOG_D("--->导出路径：[%s]", qUtf8Printable(params.path));
    const QFileInfo target(params.path);
    if (namesOneOf(params.path, params.keep))
        return Result::TargetInUse;
    if ((target.exists() || target.isSymLink()) && (!params.replace || target.isDir()))
        return Result::TargetExists;
    // A name the file system cannot hold is said as such, before anything is made.
    const QString folder = target.absolutePath();
    int nameMax = 255;
#ifdef Q_OS_UNIX
    const long limit = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    if (limit > 0)
        nameMax = int(limit);
#endif
    m_nameBytes = QFile::encodeName(target.fileName()).size();
    m_nameMax = nameMax;
    if (m_nameBytes > nameMax)
        return Result::NameTooLong;
    // A unique hidden name beside the target, ending in the target's extension (the
    // writer picks the container by it); renamed into place once complete. Its own
    // length stays within the limit (a long name's base is shortened for it).
    const QString tail = ".XXXXXX.part." + target.suffix();
    QString base = target.completeBaseName();
    while (!base.isEmpty() && QFile::encodeName("." + base + tail).size() > nameMax)
        base.chop(1);
    QString part;
    {
        QTemporaryFile reserve(folder + "/." + base + tail);
        reserve.setAutoRemove(false);
        errno = 0;
        if (!reserve.open()) {
            // The folder takes no file (no permission, read-only, gone): said with why.
            m_refusedFolder = folder;
            m_refusedReason =
                errno ? QString::fromLocal8Bit(std::strerror(errno)) : reserve.errorString();
            return Result::FolderRefused;
        }
        part = reserve.fileName();
    }
    // The pictures are composed on a device of the export's own (made here, on the
    // GUI thread, and handed to the picture thread).
    std::unique_ptr<GsDevice> device;
    if (!params.audioOnly && !(device = GsDevice::Create(false))) {
        BG_LOG_E("---> no graphics device for the export");
        QFile::remove(part);
        return Result::EncoderRefused;
    }
    mv::MovieHandle movie = mv::create_movie(settingsFor(params), part.toUtf8().constData());
    if (!movie) {
        BG_LOG_E("---> 初始化编码器出错");
        QFile::remove(part);
        return Result::EncoderRefused;
    }
    m_partPath = part;
    emit sig_partMade(part);
    m_targetPath = target.absoluteFilePath();
    m_replace = params.replace;
    m_outcome = Result::Cancelled;
    m_fileDone = false;
    m_context = std::make_unique<ExportContext>();
    m_context->movie = movie;
    m_context->frameRate = params.frameRate > 0 ? std::min<int>(params.frameRate, timebase::kFps)
                                                : int(timebase::kFps);
    m_context->speed = params.speed;
    m_context->step = double(timebase::kFps) / m_context->frameRate * std::max(1.0, params.speed);
    m_finishedSent = false;
    m_lastPaths = Paths();

    m_audio = new ExportAudio(*m_context, params.audioOnly, timeline);
    connect(m_audio, &QThread::finished, this, &ExportManager::checkFinished);
    if (params.audioOnly) {
        connect(m_audio, &ExportAudio::sig_processUpdate, this, &ExportManager::sig_processUpdate);
    } else {
        m_queue = std::make_unique<ExportFrameQueue>(kQueuedFrames);
        m_fetch = new ExportFetchFrame(*m_context, *m_queue, timeline);
        m_image = new ExportImage(*m_context, *m_queue, std::move(device), sceneSize,
                                  QSize(params.width, params.height), m_shortWay);
        connect(m_image, &ExportImage::sig_processUpdate, this, &ExportManager::sig_processUpdate);
        connect(m_image, &QThread::finished, this, &ExportManager::checkFinished);
        m_fetch->start(QThread::InheritPriority);
        m_image->start(QThread::InheritPriority);
    }
    m_audio->start(QThread::InheritPriority);
    return std::nullopt;
}

ExportManager::Result ExportManager::exportMovie(const MVParams &params, const QSize &sceneSize,
                                                 TimelineState timeline)
{
    if (const std::optional<Result> refused = start(params, sceneSize, timeline))
        return *refused;
    Result result = Result::Cancelled;
    bool over = false;
    QEventLoop loop;
    const QMetaObject::Connection ended =
        connect(this, &ExportManager::sig_ended, &loop, [&](int outcome) {
            result = Result(outcome);
            over = true;
            loop.quit();
        });
    // A waiter that returns before the run ended has stopped it.
    if (m_waiter && !m_waiter(*this) && !over)
        cancel();
    if (!over && isExporting())
        loop.exec();
    disconnect(ended);
    return result;
}

void ExportManager::conclude()
{
    if (!m_context || m_concluding)
        return;
    m_concluding = true;
    stopWorkers();
    if (!m_fileDone) {
        // Stopped (or given up) before the file was complete: what was written is
        // discarded rather than kept under the name asked for, where it would pass
        // for a finished export.
        if (m_finisher)
            m_finisher->wait();
        else if (m_context->movie)
            mv::stop_movie(&m_context->movie);
        QFile::remove(m_partPath);
        m_outcome = m_context->writeFailed ? Result::WriteFailed : Result::Cancelled;
    }
    if (m_finisher)
        m_finisher->wait(); // its "finished" may arrive before the thread has ended
    delete m_finisher;
    m_finisher = nullptr;
    // Progress the workers reported and nobody took yet belongs to this run.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    m_context.reset();
    bg::SystemServices::releaseFreeMemory();
    m_concluding = false;
    BG_LOG_D("---> 导出结束");

    Result result = m_outcome;
    if (result == Result::Written) {
        const QFileInfo written(m_targetPath);
        if (!written.exists() || written.size() == 0) {
            BG_LOG_E("---> 生成文件失败:[%s]", qUtf8Printable(m_targetPath));
            result = Result::NoFile;
        } else if (m_reveal) {
            bg::SystemServices::revealInFileManager(m_targetPath.toStdString());
        }
    }
    emit sig_ended(int(result));
}

void ExportManager::stopWorkers()
{
    // Requests first, then pictures, then sound; each waits for its thread. Closing
    // the queue first frees a request thread waiting for a slot.
    if (m_queue)
        m_queue->close();
    delete m_fetch.data();
    if (m_image) {
        m_image->stop();
        m_image->wait();
        m_lastPaths = Paths{m_image->plainFrames(), m_image->composedFrames()};
    }
    delete m_image.data();
    delete m_audio.data();
    m_queue.reset();
}

void ExportManager::cancel()
{
    if (!isExporting())
        return;
    conclude();
}

bool ExportManager::finished() const
{
    auto done = [](const QThread *t) { return !t || t->isFinished(); };
    return done(m_audio) && done(m_image);
}

void ExportManager::checkFinished()
{
    if (m_finishedSent || !finished() || !m_context)
        return;
    m_finishedSent = true;
    if (m_context->writeFailed) {
        // Given up: the run ends and the part goes.
        conclude();
        return;
    }
    // Every frame and the sound are encoded; the writer's trailer (and, for a movie,
    // the index moved to the front) can take a while: a worker does it.
    BG_LOG_D("---> every frame and the sound are encoded; finishing the file");
    emit sig_finishing();
    mv::MovieHandle movie = m_context->movie;
    m_context->movie = nullptr;
    auto closed = std::make_shared<std::atomic<bool>>(false);
    m_finisher =
        QThread::create([movie, closed]() mutable { closed->store(mv::stop_movie(&movie)); });
    connect(m_finisher, &QThread::finished, this, [this, closed] { fileFinished(closed->load()); });
    m_finisher->start();
}

void ExportManager::fileFinished(bool ok)
{
    if (m_fileDone || !m_context)
        return;
    m_fileDone = true;
    if (!ok || m_context->writeFailed) {
        QFile::remove(m_partPath);
        m_outcome = Result::WriteFailed;
    } else {
        // The part was made readable by its owner only; the export gets what a new file
        // gets, or the mode of the file it replaces.
        setFinishedFileMode(m_partPath, m_targetPath);
        // Replacing was agreed to: rename() replaces the name itself (a link there is
        // replaced, never followed). Otherwise nothing that appeared there meanwhile
        // is replaced: QFile::rename refuses an existing name.
        const bool placed = m_replace
                                ? std::rename(QFile::encodeName(m_partPath).constData(),
                                              QFile::encodeName(m_targetPath).constData()) == 0
                                : QFile::rename(m_partPath, m_targetPath);
        if (placed) {
            BG_LOG_D("---> every frame and the sound are written: [%s]",
                     qUtf8Printable(m_targetPath));
            m_outcome = Result::Written;
        } else {
            const bool taken = QFileInfo::exists(m_targetPath);
            QFile::remove(m_partPath);
            m_outcome = taken ? Result::TargetExists : Result::WriteFailed;
        }
    }
    conclude();
}
