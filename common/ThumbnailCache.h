#pragma once
// Where a material's thumbnail picture is kept: a cache folder of the editor's own,
// one PNG per file version, named by a hash of the file's identity, size and time of
// change. Two files that share a name never share a thumbnail, and no thumbnail can
// ever land on a path a user's file could have.
// Lives on: any thread (pure functions over the file system).

#include <QString>

namespace ThumbnailCache {

// The folder, created when missing ($XDG_CACHE_HOME/<app>/thumbnails).
QString folder();
// The thumbnail file of the material at `materialPath` (it may not exist yet).
QString pathFor(const QString &materialPath);

} // namespace ThumbnailCache
