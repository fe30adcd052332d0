#include "ExportManager.h"

ExportManager::ExportManager(QObject *parent) : QObject(parent) {}

void ExportManager::onAudioFrames(const QList<AudioFrameData> &, int64_t, int64_t, int64_t)
{
    // No export runs yet: the sound of an export frame has nowhere to go.
}
