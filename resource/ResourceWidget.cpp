#include "ResourceWidget.h"

#include "HistoryListView.h"
#include "menu/CropMenu.h"
#include "menu/SoundMenu.h"
#include "menu/SubtitleMenu.h"
#include "menu/TransMenu.h"
#include "menu/VisualMenu.h"
#include "ui_ResourceWidget.h"

#include "MaterialManager.h"
#include "MaterialView.h"

#include "common/FileDialogs.h"
#include "common/QssManager.h"
#include "common/Translate.h"

#include <QButtonGroup>
#include <QLabel>

namespace {

struct Classification {
    QString icon;
    QString key;
    int32_t mask;
};

// The classification box's entries, by index.
const QList<Classification> &classifications()
{
    static const QList<Classification> list{
        {":/image/all.png", ZKEY("res_form.All"), MT_All},
        {":/image/item_mv.png", ZKEY("res_form.Video"), MT_Video},
        {":/image/item_pic.png", ZKEY("res_form.Image"), MT_Image},
        {":/image/item_audio.png", ZKEY("res_form.Music"), MT_Music},
        {":/image/item_mic.png", ZKEY("res_form.Audio"), MT_Mic},
        {":/image/item_text.png", ZKEY("res_form.Subtitle"), MT_Subtitle},
    };
    return list;
}

} // namespace

ResourceWidget::ResourceWidget(QWidget *parent) : QWidget(parent), ui(new Ui::ResourceWidget)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground); // the style sheet paints the background
    const double s = QssManager::screenScale();
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/resource-widget.css"));

    m_pageButtons = {ui->pushButton_material, ui->pushButton_cut_to, ui->pushButton_gif,
                     ui->pushButton_project};
    m_pageIcons = QStringList{
        QStringLiteral(":/image/resource-element"), QStringLiteral(":/image/resource-Transition"),
        QStringLiteral(":/image/resource-gif"), QStringLiteral(":/image/resource-works")};
    const QStringList pageKeys{ZKEY("res_form.Title"), ZKEY("res_form.Transition"),
                               ZKEY("res_form.gif"), ZKEY("res_form.File")};
    auto *group = new QButtonGroup(this);
    for (int i = 0; i < m_pageButtons.size(); ++i) {
        QAbstractButton *b = m_pageButtons[i];
        b->setText(zuaTranslate(pageKeys[i]));
        b->setIconSize(QSize(16, 16));
        b->installEventFilter(this);
        group->addButton(b, i);
    }
    ui->pushButton_material->setChecked(true);
    connect(group, &QButtonGroup::idClicked, this, &ResourceWidget::slot_switch_page);
    updatePageIcons();

    ui->pushButton_back->setText(ZTR("res_form.back"));
    ui->pushButton_add->setText(ZTR("res_form.Add"));
    ui->pushButton_add->setIcon(QIcon(QStringLiteral(":/image/resource-add.png")));
    ui->pushButton_remove->setText(ZTR("res_form.Delete_1"));
    ui->pushButton_remove->setIcon(QIcon(QStringLiteral(":/image/resource-delete.png")));
    for (const Classification &c : classifications())
        ui->comboBox_classify->addItem(QIcon(c.icon), zuaTranslate(c.key));
    ui->comboBox_classify->setIconSize(QSize(int(16 * s), int(16 * s)));
    m_lastScale = ui->horizontalSlider_scale->value();

    buildMenus();

    MaterialView *view = ui->graphicsView_material;
    connect(view, &MaterialView::sig_scaleChanged, this, [this](int delta) {
        ui->horizontalSlider_scale->setValue(ui->horizontalSlider_scale->value() + delta);
    });
    connect(view, &MaterialView::sig_MaterialNumChanged, this, [this](int count) {
        ui->widget_empty->setVisible(count == 0);
        ui->graphicsView_material->setVisible(count != 0);
    });
    connect(ui->widget_empty, &EmptyMaterialWidget::sig_addNewMaterial, this,
            [view](const QStringList &files) { view->manager()->AddMaterialFiles(files, false); });
    connect(view, &MaterialView::sig_openProject, this, &ResourceWidget::sig_openProject);
    connect(ui->listView_history, &HistoryListView::signal_openProject, this,
            &ResourceWidget::sig_openProject);
    connect(ui->widget_empty, &EmptyMaterialWidget::sig_openProject, this,
            &ResourceWidget::sig_openProject);
    ui->widget_empty->show();
    ui->graphicsView_material->hide();
    ui->stackedWidget_page->setCurrentWidget(ui->page_edit);
    ui->stackedWidget_edit->setCurrentWidget(ui->page_material);
}

ResourceWidget::~ResourceWidget()
{
    delete ui;
}

MaterialView *ResourceWidget::materialView() const
{
    return ui->graphicsView_material;
}

bool ResourceWidget::showsEmptyArea() const
{
    return !ui->widget_empty->isHidden() && ui->graphicsView_material->isHidden();
}

void ResourceWidget::updatePageIcons()
{
    for (int i = 0; i < m_pageButtons.size(); ++i) {
        QAbstractButton *b = m_pageButtons[i];
        const bool lit = b->isChecked() || b == m_hovered;
        b->setIcon(QIcon(m_pageIcons[i] + (lit ? "-hover.png" : "-default.png")));
    }
}

bool ResourceWidget::eventFilter(QObject *watched, QEvent *event)
{
    auto *button = qobject_cast<QAbstractButton *>(watched);
    if (button && m_pageButtons.contains(button)) {
        if (event->type() == QEvent::Enter) {
            m_hovered = button;
            updatePageIcons();
        } else if (event->type() == QEvent::Leave) {
            m_hovered = nullptr;
            updatePageIcons();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ResourceWidget::showMaterialPage()
{
    ui->stackedWidget_page->setCurrentWidget(ui->page_edit);
    ui->pushButton_material->setChecked(true);
    slot_switch_page(0);
}

void ResourceWidget::slot_prependHistory(const QString &path)
{
    ui->listView_history->prependProject(path);
}

void ResourceWidget::slot_switch_page(int page)
{
    ui->stackedWidget_edit->setCurrentIndex(page);
    updatePageIcons();
}

void ResourceWidget::writeMaterials(QXmlStreamWriter &writer, bool archive)
{
    ui->graphicsView_material->writeMaterials(writer, archive);
}

void ResourceWidget::readMaterials(QXmlStreamReader &reader)
{
    ui->graphicsView_material->readMaterials(reader);
    showMaterialPage();
}

void ResourceWidget::readLegacyMaterials(QXmlStreamReader &reader)
{
    ui->graphicsView_material->readLegacyMaterials(reader);
    showMaterialPage();
}

void ResourceWidget::clearMaterials()
{
    showMaterialPage();
    MaterialManager *manager = ui->graphicsView_material->manager();
    manager->ClearPreviewQueue();
    manager->ClearMaterials();
}

void ResourceWidget::slot_createSubtitle(const QString &name, const QFont &font,
                                         const QColor &color)
{
    ui->graphicsView_material->manager()->AddMaterialSubtitle(name, font, color, false);
}

void ResourceWidget::buildMenus()
{
    // One page per panel type, in type order.
    const std::function<AbstractMenu *()> makers[] = {
        [this] { return new ImageMenu(ui->stackedWidget_menu); },
        [this] { return new VideoMenu(ui->stackedWidget_menu); },
        [this] { return new AudioMenu(ui->stackedWidget_menu); },
        [this] { return new SubtitleMenu(ui->stackedWidget_menu); },
        [this] { return new MusicMenu(ui->stackedWidget_menu); },
        [this] { return new TransMenu(ui->stackedWidget_menu); },
        [this] { return new CropMenu(ui->stackedWidget_menu); },
    };
    for (const auto &make : makers) {
        m_menus << make();
        ui->stackedWidget_menu->addWidget(m_menus.last());
    }
    for (AbstractMenu *panel : qAsConst(m_menus)) {
        if (auto *visual = qobject_cast<VisualMenu *>(panel)) {
            connect(visual, &VisualMenu::sig_updateData, this, &ResourceWidget::sig_updateData);
            connect(visual, &VisualMenu::sig_previewWanted, this,
                    &ResourceWidget::sig_previewWanted);
        } else if (auto *sound = qobject_cast<SoundMenu *>(panel)) {
            connect(sound, &SoundMenu::sig_updateData, this, &ResourceWidget::sig_updateData);
        } else if (auto *crop = qobject_cast<CropMenu *>(panel)) {
            connect(crop, &CropMenu::sig_updateData, this, &ResourceWidget::sig_updateData);
            connect(crop, &CropMenu::sig_back, this, &ResourceWidget::on_pushButton_back_clicked);
        } else if (auto *transition = qobject_cast<TransMenu *>(panel)) {
            connect(transition, &TransMenu::sig_updateData, this, &ResourceWidget::sig_updateData);
        } else if (auto *subtitle = qobject_cast<SubtitleMenu *>(panel)) {
            connect(subtitle, &SubtitleMenu::sig_updateData, this, &ResourceWidget::sig_updateData);
        }
    }
    ui->stackedWidget_menu->setCurrentIndex(MENU_VIDEO);
}

AbstractMenu *ResourceWidget::menu(int type) const
{
    return type >= 0 && type < m_menus.size() ? m_menus[type] : nullptr;
}

bool ResourceWidget::showsMenu() const
{
    return ui->stackedWidget_page->currentWidget() == ui->page_menu;
}

void ResourceWidget::slot_showMenu(int menuType, int clicks, const bg::ValueMap &values)
{
    AbstractMenu *panel = menu(menuType);
    switch (clicks) {
    case 2:
        ui->stackedWidget_page->setCurrentWidget(ui->page_menu);
        ui->stackedWidget_menu->setCurrentIndex(menuType);
        if (panel)
            panel->UpdateData(values);
        break;
    case 1:
    case -1:
        if (!showsMenu())
            break;
        if (clicks == 1)
            ui->stackedWidget_menu->setCurrentIndex(menuType);
        if (panel)
            panel->UpdateData(values);
        break;
    case 0:
        if (showsMenu())
            ui->stackedWidget_page->setCurrentWidget(ui->page_edit);
        break;
    default:
        break;
    }
}

void ResourceWidget::slot_updateClipImage(const QList<VFrameInfo> &frames)
{
    for (AbstractMenu *panel : qAsConst(m_menus))
        if (auto *visual = qobject_cast<VisualMenu *>(panel))
            visual->slot_updateClipImage(frames);
}

QString ResourceWidget::addFilter()
{
    // Built from the library's own table, so that "All" offers every file it takes.
    auto patterns = [](MaterialType type) {
        QStringList out;
        for (const QString &ext : extensionsOf(type)) // cameras write CLIP.MTS
            out << QStringLiteral("*.") + ext << QStringLiteral("*.") + ext.toUpper();
        return out.join(QLatin1Char(' '));
    };
    auto entry = [](const QString &name, const QString &list) {
        return name + QStringLiteral(" (") + list + QLatin1Char(')');
    };
    const QString video = patterns(MT_Video), music = patterns(MT_Music),
                  image = patterns(MT_Image);
    return QStringList{entry(ZTR("res_form.All"), video + ' ' + music + ' ' + image),
                       entry(ZTR("res_form.Video"), video), entry(ZTR("res_form.Music"), music),
                       entry(ZTR("res_form.Image"), image)}
        .join(QStringLiteral(";;"));
}

void ResourceWidget::on_pushButton_add_clicked()
{
    const QStringList files =
        FileDialogs::openFileNames(this, ZTR("material_view.Open"), QString(), addFilter());
    if (!files.isEmpty())
        ui->graphicsView_material->manager()->AddMaterialFiles(files, false);
}

void ResourceWidget::on_pushButton_remove_clicked()
{
    ui->graphicsView_material->slot_removeMaterials();
}

void ResourceWidget::on_pushButton_back_clicked()
{
    ui->stackedWidget_page->setCurrentWidget(ui->page_edit);
}

void ResourceWidget::on_horizontalSlider_scale_valueChanged(int value)
{
    ui->graphicsView_material->zoomSteps(value - m_lastScale);
    m_lastScale = value;
}

void ResourceWidget::on_comboBox_classify_currentIndexChanged(int index)
{
    if (index >= 0 && index < classifications().size())
        ui->graphicsView_material->setMask(classifications()[index].mask);
}
