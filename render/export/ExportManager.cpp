#include "ExportManager.h"

#include "ExportThreads.h"

#include "render/preview/PreviewLayers.h"

#include "bridge/Logger.h"
#include "bridge/SystemServices.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr int kQueuedAnswers = 5; // pictures asked for and not yet encoded, at most

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

ExportManager::~ExportManager() = default;

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
    case Result::Written:
        break;
    }
    return QString();
}

ExportManager::Result ExportManager::exportMovie(const MVParams &params, GsScene *scene,
                                                 PreviewLayers *layers,
                                                 const QList<TrackFrame> &tracks)
{
    if (isExporting())
        return Result::EncoderRefused; // one export at a time
    const QByteArray path = params.path.toUtf8();
    BG_LOG_D("--->导出路径：[%s]", path.constData());
    // A file of an earlier run must not pass for this one (a link is left alone: what
    // it points at is the user's).
    const QFileInfo earlier(params.path);
    if (earlier.isFile() && !earlier.isSymLink())
        QFile::remove(params.path);
    mv::MovieHandle movie = mv::create_movie(settingsFor(params), path.constData());
    if (!movie) {
        BG_LOG_E("---> 初始化编码器出错");
        return Result::EncoderRefused;
    }
    m_context = std::make_unique<ExportContext>();
    m_context->movie = movie;
    m_context->frameRate = params.frameRate > 0 ? std::min(params.frameRate, 30) : 30;
    m_context->speed = params.speed;
    m_context->step = 30.0 / m_context->frameRate * std::max(1.0, params.speed);
    m_finishedSent = false;
    m_answered = 0;

    m_audio = new ExportAudio(*m_context, params.audioOnly);
    connect(m_audio, &ExportAudio::sig_frameRequest, this, &ExportManager::sig_frameRequest);
    connect(m_audio, &QThread::finished, this, &ExportManager::checkFinished);
    if (params.audioOnly) {
        connect(m_audio, &ExportAudio::sig_processUpdate, this, &ExportManager::sig_processUpdate);
    } else {
        m_layers = layers;
        if (m_layers)
            m_layers->beginExport(tracks);
        m_queue = std::make_unique<ExportAnswerQueue>(kQueuedAnswers);
        m_fetch = new ExportFetchFrame(*m_context, *m_queue);
        m_image = new ExportImage(*m_context, *m_queue, scene, params.width, params.height);
        connect(m_fetch, &ExportFetchFrame::sig_frameRequest, this,
                &ExportManager::sig_frameRequest);
        connect(m_image, &ExportImage::sig_processUpdate, this, &ExportManager::sig_processUpdate);
        connect(m_image, &QThread::finished, this, &ExportManager::checkFinished);
        m_fetch->start(QThread::InheritPriority);
        m_image->start(QThread::InheritPriority);
    }
    m_audio->start(QThread::InheritPriority);

    const bool complete = m_waiter ? m_waiter(*this) : waitInEventLoop();

    // Requests first, then pictures, then sound; each waits for its thread. Closing
    // the queue first frees a request thread waiting for a slot.
    if (m_queue)
        m_queue->close();
    delete m_fetch.data();
    delete m_image.data();
    delete m_audio.data();
    m_queue.reset();
    // Requests the workers sent and the timeline has not answered yet belong to this
    // run: they must not reach the next one.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    if (m_layers)
        m_layers->endExport();
    m_layers = nullptr;
    BG_LOG_D("---> 导出结束");
    // Finishing writes the rest (and the index): a refusal there fails the file too.
    const bool writeFailed = !mv::stop_movie(&movie) || m_context->writeFailed;
    m_context.reset();

    if (writeFailed) {
        // A file the writer gave up on (a full disk) is not left behind half made.
        QFile::remove(params.path);
        return Result::WriteFailed;
    }
    const QFileInfo written(params.path);
    if (!written.exists() || written.size() == 0) {
        BG_LOG_E("---> 生成文件失败:[%s]", path.constData());
        return Result::NoFile;
    }
    if (!complete) {
        BG_LOG_D("---> export cancelled; the part written is kept: [%s]", path.constData());
        return Result::Cancelled;
    }
    if (m_reveal) {
        BG_LOG_D("---> 打开导出文件目录:[%s]", path.constData());
        bg::SystemServices::revealInFileManager(path.toStdString());
    }
    return Result::Written;
}

bool ExportManager::writeFailed() const
{
    return m_context && m_context->writeFailed;
}

bool ExportManager::finished() const
{
    auto done = [](const QThread *t) { return !t || t->isFinished(); };
    return done(m_audio) && done(m_image);
}

void ExportManager::checkFinished()
{
    if (m_finishedSent || !finished())
        return;
    m_finishedSent = true;
    BG_LOG_D("---> every frame and the sound are written");
    emit sig_exportFinished();
}

bool ExportManager::waitInEventLoop()
{
    QEventLoop loop;
    connect(this, &ExportManager::sig_exportFinished, &loop, &QEventLoop::quit);
    if (!m_finishedSent)
        loop.exec();
    return true;
}

void ExportManager::onVideoFrames(const QList<TrackFrame> &frames, int64_t frame, int64_t,
                                  int64_t lastFrame)
{
    if (!m_queue)
        return;
    // Answers come in the order asked: anything else is not this run's.
    if (frame != m_context->frameOf(m_answered))
        return;
    ++m_answered;
    if (frame > lastFrame) {
        // Past the end: the answers before this one are all queued (they come in
        // order); the picture thread finishes them and stops.
        m_queue->close();
        return;
    }
    m_queue->push(
        {frame, lastFrame, m_layers ? m_layers->exportLayers(frames) : QList<ExportLayer>()});
}

void ExportManager::onAudioFrames(const QList<AudioFrameData> &list, int64_t frame, int64_t,
                                  int64_t lastFrame)
{
    if (m_audio)
        m_audio->onAudioFrames(list, frame, lastFrame);
}
