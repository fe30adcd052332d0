#include "TrackTreeModel.h"

#include "ClassifyItem.h"
#include "TimelineDocument.h"

#include "bridge/Bridge.h"

#include <QSize>

TrackTreeModel::TrackTreeModel(TimelineDocument *document)
    : QAbstractItemModel(document), m_document(document)
{
    qRegisterMetaType<ClassifyData>("ClassifyData");
}

ClassifyItem *TrackTreeModel::itemAt(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<ClassifyItem *>(index.internalPointer())
                           : m_document->root();
}

QModelIndex TrackTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    ClassifyItem *p = itemAt(parent);
    ClassifyItem *c = p ? p->child(row) : nullptr;
    return c && column == 0 ? createIndex(row, 0, c) : QModelIndex();
}

QModelIndex TrackTreeModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return QModelIndex();
    return indexOf(itemAt(child)->parentItem());
}

int TrackTreeModel::rowCount(const QModelIndex &parent) const
{
    const ClassifyItem *p = itemAt(parent);
    return p ? p->childCount() : 0;
}

int TrackTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant TrackTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    return QVariant::fromValue(static_cast<const ClassifyData &>(*itemAt(index)));
}

QVariant TrackTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::SizeHintRole)
        return QSize(0, 0);
    return QVariant();
}

QModelIndex TrackTreeModel::indexOf(ClassifyItem *item) const
{
    if (!item || item == m_document->root() || !item->parentItem())
        return QModelIndex();
    return createIndex(item->row(), 0, item);
}

bool TrackTreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid())
        return false;
    ClassifyItem *item = itemAt(index);
    const QString command = value.toString();
    if (command == QLatin1String("add")) {
        emit m_document->sig_opertorUi(false, true);
        ClassifyItem *g = item->group();
        m_document->insertTrack(g, g->childCount(), true);
    } else if (command == QLatin1String("remove")) {
        emit m_document->sig_opertorUi(false, true);
        if (!item->isGroup)
            m_document->removeTrack(item, true);
    } else {
        BG_LOG_W("未知命令: %s", qUtf8Printable(command));
    }
    return true;
}

void TrackTreeModel::insertRow(ClassifyItem *parent, int row, ClassifyItem *item)
{
    beginInsertRows(indexOf(parent), row, row);
    parent->insertChild(row, item);
    endInsertRows();
    if (parent != m_document->root()) {
        parent->setExpanded(true);
        emit sig_expandGroup(indexOf(parent));
    }
}

void TrackTreeModel::takeRow(ClassifyItem *item)
{
    ClassifyItem *parent = item->parentItem();
    const int row = item->row();
    beginRemoveRows(indexOf(parent), row, row);
    parent->takeChild(item);
    endRemoveRows();
}
