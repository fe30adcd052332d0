#include "RecordManager.h"

RecordManager::RecordManager(QObject *parent) : QObject(parent) {}
