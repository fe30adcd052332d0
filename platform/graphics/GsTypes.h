#pragma once
// Basic types of the graphics library. Scene coordinates are pixels with the origin
// at the centre of the scene and y growing downwards.

#include <cstdint>
#include <mutex>

struct gs_vec2 {
    float x = 0;
    float y = 0;
};

// Centre x, y, width, height and rotation (radians, about the centre).
struct gs_transform {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    float rotation = 0;
};

// Reference counting of scenes and items: whoever stores a pointer adds a
// reference, whoever drops it releases; the last release destroys the object.
class RefCountInterface {
public:
    virtual int AddRef() = 0;
    virtual int Release() = 0;

protected:
    virtual ~RefCountInterface() = default;
};

// Pixel formats of textures and raw outputs.
enum GsFormat : int { GS_RGBA = 1 };

// Guards state shared between the main thread and the render thread.
class MCMutex {
public:
    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }
    std::recursive_mutex &native() { return m_mutex; }

private:
    std::recursive_mutex m_mutex;
};

class MCLocker {
public:
    explicit MCLocker(MCMutex &m) : m_mutex(m) { m_mutex.Lock(); }
    ~MCLocker() { m_mutex.Unlock(); }
    MCLocker(const MCLocker &) = delete;
    MCLocker &operator=(const MCLocker &) = delete;

private:
    MCMutex &m_mutex;
};
