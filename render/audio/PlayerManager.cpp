#include "PlayerManager.h"

PlayerManager::PlayerManager(QObject *parent) : QObject(parent) {}

void PlayerManager::setPlaying(bool playing)
{
    m_playing = playing;
}

void PlayerManager::onAudioFrames(const QList<AudioFrameData> &, int64_t frame, int64_t,
                                  int64_t lastFrame)
{
    if (!m_playing)
        return;
    ++m_answers;
    if (frame >= lastFrame)
        emit sig_controlPlay();
}
