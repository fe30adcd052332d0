#pragma once
// Hub of rendering, playback, export and recording; owns the project resolution
// (the scene size) and reads and writes the scene section of the project file.
// Lives on: main thread.

#include "bridge/Value.h"

#include <QObject>
#include <QString>

#include <cstdint>

class QXmlStreamReader;
class QXmlStreamWriter;

class RenderManager : public QObject {
    Q_OBJECT
public:
    explicit RenderManager(QObject *parent = nullptr);
    ~RenderManager() override;

    // Creates the managers and the graphics objects; false when the graphics device
    // cannot be created.
    bool init();

    void setSceneSize(uint32_t width, uint32_t height, bool fixed);
    uint32_t sceneWidth() const { return m_sceneWidth; }
    uint32_t sceneHeight() const { return m_sceneHeight; }
    bool sizeFixed() const { return m_sizeFixed; }

    // Material information: "valid", "duration" (ms), "pix" (frames), "width",
    // "height". With autoSize, a video adopts its size as the project resolution
    // unless the resolution was chosen explicitly.
    bg::ValueMap probeMedia(const QString &path, bool autoSize);

    // Scene section: "scene" with "width" and "height".
    void writeScene(QXmlStreamWriter &writer) const;
    // Entered on "Render"; leaves the reader on its end element.
    void readScene(QXmlStreamReader &reader);
    // Entered on a legacy "ViewInfo"; "canvas_rect" gives the size.
    void readLegacyCanvas(QXmlStreamReader &reader);

public slots:
    // Stops playback and recording before a user action (nothing runs yet).
    void slot_opertorUi(bool stopPlay, bool stopRecord);

signals:
    void sig_updateSceneSize(int width, int height);

private:
    uint32_t m_sceneWidth = 1920;
    uint32_t m_sceneHeight = 1080;
    bool m_sizeFixed = false;
};
