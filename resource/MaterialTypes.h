#pragma once
// What the material library holds: material kinds (one bit each, so several
// form a filter mask), the plain record of one material, the classification of
// files by extension and the interface of whoever shows the materials.
// Lives on: main thread (records are copied by value into snapshots).

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

enum MaterialType : int32_t {
    MT_Unsupported = 0,
    MT_Image = 1,
    MT_Video = 2,
    MT_Mic = 4,
    MT_Subtitle = 8,
    MT_Music = 16,
    MT_All = 31,
};

struct MaterialData {
    MaterialData();
    QString uuid; // braced random UUID made at construction
    int32_t type = MT_Unsupported;
    QString name;
    bool draggable = false;       // the decoder could open the file (templates: always)
    bool archiveRecoverd = false; // re-created while a project file was read
    QString path;                 // absolute file path; empty for templates
    QImage preview;               // empty until the preview worker made it
    QFont font;                   // subtitle templates
    QColor color;                 // subtitle templates
    bool attached = false;        // belongs to the project now
    bool removed = false;         // kept alive only by the undo history
};

// The kind of a file from its extension (after the last ".", in any case).
MaterialType MaterialTypeOfFile(const QString &path);
// The extensions (lower case, no dot) of the files of a kind the library takes.
const QStringList &extensionsOf(MaterialType type);

class MaterialListener {
public:
    virtual ~MaterialListener() = default;
    // Every listed material, attached and removed alike, in list order.
    virtual void OnMaterialChanged(const QList<MaterialData> &materials) = 0;
    virtual void OnMaterialAlreadyExist(const QStringList &paths) { Q_UNUSED(paths) }
    virtual void OnMaterialNoExist(const QStringList &paths) { Q_UNUSED(paths) }
    virtual void OnMaterialPreviewUpdated() {}
};
