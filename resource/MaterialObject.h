#pragma once
// One material of the open project: its record plus undoable addition and
// removal. Being added puts it on its manager's list and marks it attached;
// being removed marks it removed but keeps it listed while the history holds it.
// Lives on: main thread (the preview worker only assigns its picture under the
// manager's list mutex).

#include "MaterialTypes.h"
#include "undo/ZuObject.h"

class MaterialManager;

class MaterialObject : public MaterialData, public zua::ZuObject {
public:
    explicit MaterialObject(MaterialManager *manager);
    ~MaterialObject() override;
    void onChange(int kind, const bg::Value &arg) override;
    void onUndo(int kind, const bg::Value &arg) override;

    // The file's identity: its canonical path, or the cleaned absolute path of a
    // file that does not exist. Two spellings of one file share it.
    static QString identityOf(const QString &path);
    QString identity; // of `path`, taken when the material is made

private:
    friend class MaterialManager; // forgets itself here when it goes first
    MaterialManager *m_manager;
};
