#include "TreeSelection.h"

#include <QAbstractItemModel>
#include <QTreeWidget>
#include <QVariant>

namespace zorv {

QString TreeSelection::currentName(const QTreeWidget *tree)
{
    QModelIndex index = tree->currentIndex();
    if (!index.isValid())
        return QString();
    if (index.column() > 0) {
        index = tree->model()->index(index.row(), 0);
        if (!index.isValid())
            return QString();
    }
    const QVariant data = index.data(Qt::DisplayRole);
    if (!data.isValid() || !data.canConvert<QString>())
        return QString();
    const QString name = data.toString();
    // A row that holds a null text still names something (a plug-in may
    // report no name); keep it apart from "no row".
    return name.isNull() ? QStringLiteral("") : name;
}

} // namespace zorv
