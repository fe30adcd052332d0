#pragma once
// Enumerations of the frame requests exchanged between the player, export and
// recording threads, the render manager and the timeline.

#include <QMetaType>

#include <cstdint>

// Why the timeline moves: 0 a plain position change, 1 playback, 2 export, 3 recording.
enum EditType : int32_t { EDIT_NONE = 0, EDIT_PLAY = 1, EDIT_EXPORT = 2, EDIT_RECORD = 3 };
// Who requests: the playback thread asks with 1, the recording thread with 0.
enum MoveType : int32_t { MOVE_RECORD = 0, MOVE_PLAY = 1 };

Q_DECLARE_METATYPE(EditType)
Q_DECLARE_METATYPE(MoveType)

// Registers the types queued signals carry; called once before the application object.
void registerRenderMetaTypes();
