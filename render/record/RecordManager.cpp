#include "RecordManager.h"

#include "RecordThread.h"
#include "audio/WavEncoder.h"
#include "bridge/Logger.h"
#include "bridge/UserSettings.h"
#include "common/Translate.h"
#include "render/Transport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {
// At most a WAV header (46 or 68 bytes) and no sound: the microphone never delivered.
constexpr qint64 kHeaderOnly = 80;
} // namespace

RecordManager::RecordManager(Transport *transport, QObject *parent)
    : QObject(parent), m_transport(transport)
{
    if (m_transport)
        connect(m_transport, &Transport::sig_recordingChanged, this,
                [this] { record(m_transport->isRecording()); });
}

void RecordManager::endTake()
{
    if (m_transport)
        m_transport->setRecording(false);
    else
        record(false);
}

RecordManager::~RecordManager()
{
    delete m_thread;
}

QString RecordManager::folder()
{
    const std::string dir = bg::UserSettings::instance().get("mic.dir", "");
    return dir.empty() ? QDir::homePath() + QStringLiteral("/RuZOVaza")
                       : QString::fromStdString(dir);
}

QString RecordManager::takeFileName(const QString &folder)
{
    // Named by when it was recorded, readable on the timeline and in a file manager
    // ("Voice-over 2026-12-07 09.30.05.wav"); never an existing file's name.
    const QString stem =
        ZTR("pre_form.TakeName").arg(QDateTime::currentDateTime().toString("yyyy-MM-dd HH.mm.ss"));
    QString name = folder + '/' + stem + QStringLiteral(".wav");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = folder + '/' + stem + QStringLiteral(" (%1).wav").arg(n);
    return name;
}

void RecordManager::record(bool on)
{
    if (on) {
        if (m_recording)
            return;
        const QString dir = folder();
        const QFileInfo where(dir);
        if (!QDir().mkpath(dir) || !where.isDir() || !where.isWritable()) {
            BG_LOG_E("recording folder [%s] cannot be written", qPrintable(dir));
            emit sig_recordProblem(ZTR("pre_form.RecordFolder").arg(QDir::toNativeSeparators(dir)));
            endTake(); // the Dub button goes up again
            return;
        }
        m_file = m_path = takeFileName(dir);
        m_error = false;
        m_stoppedBecause.clear();
        m_recording = true;
        emit sig_audioSourceItem(true, m_path, false);
        m_thread = new RecordThread(m_path);
        connect(m_thread, &RecordThread::sig_advance, this,
                [this](int frames) { emit sig_frameRequest(MOVE_RECORD, EDIT_RECORD, frames); });
        connect(m_thread, &RecordThread::sig_recordError, this, &RecordManager::slot_recordError);
        connect(m_thread, &RecordThread::sig_recordStop, this, &RecordManager::slot_recordStop);
        connect(m_thread, &RecordThread::sig_devicePaused, this, &RecordManager::sig_recordPaused);
        connect(m_thread, &RecordThread::sig_writeFailed, this, &RecordManager::slot_writeFailed);
        m_thread->start();
        return;
    }
    if (!m_recording)
        return;
    delete m_thread; // stops, waits; the file is complete after this
    m_thread = nullptr;
    // A file the microphone never wrote into is no recording.
    if (QFileInfo(m_file).size() <= kHeaderOnly) {
        QFile::remove(m_file);
        m_path.clear();
        m_error = m_stoppedBecause.isEmpty(); // else the reason is said instead
    }
    m_recording = false;
    emit sig_recordPaused(false);
    emit sig_audioSourceItem(false, m_path, m_error);
    if (!m_stoppedBecause.isEmpty()) {
        const QString why = m_stoppedBecause;
        m_stoppedBecause.clear();
        emit sig_recordProblem(why);
    }
}

void RecordManager::slot_writeFailed(int code)
{
    if (!m_recording)
        return;
    // What was recorded stays a clip; the user is told why the take ended.
    m_stoppedBecause =
        (code == wav::kSizeLimit ? ZTR("pre_form.RecordSizeLimit") : ZTR("pre_form.RecordDiskFull"))
            .arg(QDir::toNativeSeparators(m_file));
    endTake();
}

void RecordManager::slot_recordError()
{
    if (!m_recording)
        return;
    m_path.clear();
    m_error = true;
    endTake();
}

void RecordManager::slot_recordStop()
{
    if (!m_recording)
        return;
    m_error = true;
    endTake();
}
