#include "resultrows.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QDir>
#include <QItemSelectionModel>

namespace {

QString cellText(const QAbstractItemModel *model, int row, int column)
{
    return model->index(row, column).data(Qt::DisplayRole).toString();
}

} // namespace

QList<ResultRow> selectedResultRows(const QAbstractItemView *view)
{
    QList<ResultRow> rows;
    const QAbstractItemModel *model = view->model();
    const QItemSelectionModel *selection = view->selectionModel();
    if (!model || !selection)
        return rows;
    const QModelIndexList selected = selection->selectedRows(0);
    rows.reserve(selected.size());
    for (const QModelIndex &index : selected) {
        const int row = index.row();
        rows.append(ResultRow{cellText(model, row, 0), cellText(model, row, 1), cellText(model, row, 2),
                              cellText(model, row, 3), cellText(model, row, 4)});
    }
    return rows;
}

QString hitPath(const ResultRow &row)
{
    return row.dir.trimmed() + QDir::separator() + row.name.trimmed();
}

QString targetPath(const ResultRow &row)
{
    const QString name = row.name.trimmed();
    return row.dir.trimmed() + QDir::separator() + name.left(name.indexOf(QDir::separator()));
}
