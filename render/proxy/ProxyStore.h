#pragma once
// Where the materials' proxies are kept: small stand-ins for footage this machine
// cannot decode in time, decoded by the preview, its thumbnails and filmstrips in
// place of the original (the export always reads the original). A proxy's name is
// made from its source's identity (path, size, time of change), so a moved or
// changed file has none until one is made for it again. The folder is kept within
// a limit of disk space, the oldest proxies going first.
// Lives on: any thread; the files are the state, and a counter tells open
// decoders that proxies came or went.

#include <QString>

#include <cstdint>

class ProxyStore {
public:
    // $XDG_CACHE_HOME/ZuAEdit/proxies
    static QString folder();
    // Where the proxy of `source` is or would be; empty when it cannot be read.
    static QString proxyPathFor(const QString &source);
    // The proxy of `source` when proxies are on and it has one made for the file as
    // it is now; otherwise empty.
    static QString readyProxy(const QString &source);

    // Settings "proxy.enabled" (on unless set to "0") and "proxy.limit_mb".
    static bool enabled();
    static void setEnabled(bool on); // off removes every proxy
    static int64_t limitBytes();
    static void setLimitBytes(int64_t bytes);
    static constexpr int64_t kDefaultLimitBytes = int64_t(4) << 30;

    // Bytes the proxies take now.
    static int64_t diskUse();
    static void remove(const QString &source);
    // Removes the proxies made from earlier states of `source` (the file changed).
    static void removeStale(const QString &source);
    static void removeAll();
    // Removes the oldest proxies until the folder is within the limit; `keep` stays.
    static void trim(const QString &keep = QString());

    // Counts every proxy made or removed.
    static uint64_t generation();
    static void changed();
};
