#pragma once
// The left pane of the main window. Library face: the materials, transitions,
// stickers and works pages chosen by a column of buttons. Panel face: the
// property panels of the selected clip, with a back button.
// Lives on: main thread.

#include "bridge/Value.h"
#include "common/MenuType.h"
#include "render/RenderTypes.h"

#include <QWidget>

#include <string>

class AbstractMenu;
class HistoryListView;
class MaterialView;
class QAbstractButton;
class QXmlStreamReader;
class QXmlStreamWriter;

namespace Ui {
class ResourceWidget;
}

class ResourceWidget : public QWidget {
    Q_OBJECT
public:
    explicit ResourceWidget(QWidget *parent = nullptr);
    ~ResourceWidget() override;

    MaterialView *materialView() const;
    bool showsEmptyArea() const;

    void writeMaterials(QXmlStreamWriter &writer, bool archive);
    void readMaterials(QXmlStreamReader &reader);
    void readLegacyMaterials(QXmlStreamReader &reader);
    // New or closed project: back to the material page, every material removed.
    void clearMaterials();
    // The property panel of a type (null for a type without one).
    AbstractMenu *menu(int type) const;
    bool showsMenu() const;
    // The Add dialog's filters: "All" (every file the library takes), then by kind.
    static QString addFilter();

signals:
    // A lone project file was dropped on the library.
    void sig_openProject(const QString &path);
    // An edit from a property panel, for the timeline's panel item.
    void sig_updateData(MenuType type, const bg::ValueMap &map, const std::string &datatype);
    // A crop page wants a fresh preview, so that the clip's frame arrives.
    void sig_previewWanted();

public slots:
    // A project was opened or saved: it goes to the top of the works page.
    void slot_prependHistory(const QString &path);
    void slot_createSubtitle(const QString &name, const QFont &font, const QColor &color);
    void slot_showMenu(int menuType, int clicks, const bg::ValueMap &values);
    // Decoded frames of the previewed clips, for the crop pages.
    void slot_updateClipImage(const QList<VFrameInfo> &frames);
    void on_pushButton_add_clicked();
    void on_pushButton_remove_clicked();
    void on_pushButton_back_clicked();
    void on_horizontalSlider_scale_valueChanged(int value);
    void slot_switch_page(int page);
    void on_comboBox_classify_currentIndexChanged(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showMaterialPage();
    void updatePageIcons();
    void buildMenus();
    Ui::ResourceWidget *ui;
    QList<AbstractMenu *> m_menus; // by MenuType; null where no panel exists
    int m_lastScale;
    QList<QAbstractButton *> m_pageButtons;
    QStringList m_pageIcons; // base names: "-default" and "-hover" variants
    QAbstractButton *m_hovered = nullptr;
};
