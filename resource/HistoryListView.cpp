#include "HistoryListView.h"

#include "HistoryItemWidget.h"

#include "bridge/Encoding.h"
#include "bridge/Logger.h"
#include "bridge/UserSettings.h"
#include "common/FileDialogs.h"
#include "common/QssManager.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardItemModel>

namespace {

std::string setting(const char *key)
{
    return bg::UserSettings::instance().get(key, "");
}

} // namespace

QSize ItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QSize base = QStyledItemDelegate::sizeHint(option, index);
    return QSize(base.width(), int(58 * QssManager::screenScale()));
}

HistoryListView::HistoryListView(QWidget *parent)
    : QListView(parent), m_model(new QStandardItemModel(this))
{
    setModel(m_model);
    setItemDelegate(new ItemDelegate(this));
    setStyleSheet(QStringLiteral("QListView::item:selected {background-color: #efefef;}"
                                 "QListView::item:hover {background-color: #efefff;}"
                                 "QListView:focus{outline: 0px;}"));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_importFolder = QString::fromStdString(setting("ResForm.ImportWorkPath"));
    if (m_importFolder.isEmpty() || !QFileInfo::exists(m_importFolder))
        m_importFolder = QDir::homePath();

    const std::string stored = setting("work.history");
    if (stored.empty())
        return;
    std::string decoded;
    if (!bg::Encoding::decode(stored, decoded)) {
        BG_LOG_W("-- the stored works list cannot be read; it starts empty");
        return;
    }
    const QString list = QString::fromStdString(decoded);
    for (const QString &part : list.split('|', Qt::SkipEmptyParts))
        if (!part.trimmed().isEmpty())
            appendRow(part.trimmed());
}

HistoryListView::~HistoryListView()
{
    BG_LOG_D(">> 保存作品历史记录");
    save();
}

void HistoryListView::appendRow(const QString &path)
{
    auto *item = new QStandardItem;
    m_model->appendRow(item);
    item->setData(path, kPathRole); // the entry widget is made on this change
}

QStringList HistoryListView::projects() const
{
    QStringList paths;
    for (int row = 0; row < m_model->rowCount(); ++row)
        paths << m_model->item(row)->data(kPathRole).toString();
    return paths;
}

void HistoryListView::save()
{
    bg::UserSettings &settings = bg::UserSettings::instance();
    if (m_model->rowCount() == 0) {
        settings.set("work.history", "");
    } else {
        const QString all = projects().mid(0, kKept).join('|');
        BG_LOG_D("-- all: %s", qUtf8Printable(all));
        const std::string encoded = bg::Encoding::encode(all.toStdString());
        BG_LOG_D("-- history: %s", encoded.c_str());
        settings.set("work.history", encoded);
    }
    settings.save();
}

void HistoryListView::prependProject(const QString &path)
{
    for (int row = m_model->rowCount() - 1; row >= 0; --row)
        if (m_model->item(row)->data(kPathRole).toString() == path)
            m_model->removeRow(row);
    auto *item = new QStandardItem;
    m_model->insertRow(0, item);
    item->setData(path, kPathRole);
    setCurrentIndex(m_model->index(0, 0));
    save();
}

void HistoryListView::slot_removeProject(const QString &path)
{
    const QString target = QFileInfo(path).filePath();
    for (int row = 0; row < m_model->rowCount(); ++row) {
        auto *entry = qobject_cast<HistoryItemWidget *>(indexWidget(m_model->index(row, 0)));
        if (entry && entry->projectPath() == target) {
            BG_LOG_E(">> 从列表中移除工程：%s", qUtf8Printable(path));
            m_model->removeRow(row);
            return;
        }
    }
}

void HistoryListView::slot_addWork()
{
    const QString file = FileDialogs::openFileName(this, QStringLiteral("导入"), m_importFolder,
                                                   QStringLiteral("*.zua2 *.zua"));
    if (file.isEmpty())
        return;
    m_importFolder = QFileInfo(file).absolutePath();
    bg::UserSettings::instance().set("ResForm.ImportWorkPath", m_importFolder.toStdString());
    emit signal_openProject(file);
}

void HistoryListView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                  const QVector<int> &roles)
{
    if (topLeft != bottomRight || indexWidget(topLeft)) {
        QListView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    auto *entry = new HistoryItemWidget(this);
    connect(entry, &HistoryItemWidget::signal_openProject, this,
            &HistoryListView::signal_openProject);
    connect(entry, &HistoryItemWidget::signal_removeProject, this,
            &HistoryListView::slot_removeProject);
    connect(entry, &HistoryItemWidget::signal_addWork, this, &HistoryListView::slot_addWork);
    entry->setProjectPath(topLeft.data(kPathRole).toString());
    setIndexWidget(topLeft, entry);
}
