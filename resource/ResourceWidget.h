#pragma once
// The left pane of the main window. Library face: the materials, transitions,
// stickers and works pages chosen by a column of buttons. Panel face: the
// property panels of the selected clip, with a back button.
// Lives on: main thread.

#include "bridge/Value.h"

#include <QWidget>

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

signals:
    // A lone project file was dropped on the library.
    void sig_openProject(const QString &path);

public slots:
    void slot_createSubtitle(const QString &name, const QFont &font, const QColor &color);
    void slot_showMenu(int menuType, int clicks, const bg::ValueMap &values);
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
    Ui::ResourceWidget *ui;
    int m_lastScale;
    QList<QAbstractButton *> m_pageButtons;
    QStringList m_pageIcons; // base names: "-default" and "-hover" variants
    QAbstractButton *m_hovered = nullptr;
};
