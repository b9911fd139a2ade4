#include "resultmodel.h"

#include "hittime.h"

#include <algorithm>
#include <numeric>

ResultModel::ResultModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int ResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows.size());
}

int ResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

bool ResultModel::hasCell(int row, int column) const
{
    if (row < 0 || row >= int(rows.size()) || column < 0 || column >= ColumnCount)
        return false;
    return column != TimeColumn || rows[row].timeStamp != NoHitTime;
}

QString ResultModel::cellText(int row, int column) const
{
    if (!hasCell(row, column))
        return QString();
    const Row &r = rows[row];
    const TFileInfo &hit = hitOf(r);
    switch (column) {
    case NameColumn:
        return hit.fileName.trimmed();
    case DirColumn:
        return batches[r.batch].dirName;
    case LineColumn:
        return hit.lineNo != 0 ? QString::number(hit.lineNo) : QStringLiteral("");
    case TextColumn:
        return hit.lineText;
    case TimeColumn:
        return hitTimeText(r.timeStamp);
    }
    return QString();
}

QVariant ResultModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    if (!index.isValid() || !hasCell(index.row(), index.column()))
        return QVariant();
    return cellText(index.row(), index.column());
}

Qt::ItemFlags ResultModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < ColumnCount
        && (role == Qt::DisplayRole || role == Qt::EditRole) && !headers[section].isNull())
        return headers[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool ResultModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                                int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount
        || (role != Qt::DisplayRole && role != Qt::EditRole))
        return false;
    headers[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

int ResultModel::addBatch(const QString &dirName, const QList<TFileInfo> &hits)
{
    batches.push_back(Batch{dirName, hits});
    return int(batches.size() - 1);
}

void ResultModel::stageRow(int batch, int hit, qint64 timeStamp)
{
    staged.push_back(Row{quint32(batch), quint32(hit), timeStamp});
}

void ResultModel::appendStagedRows()
{
    if (staged.empty())
        return;
    const int first = int(rows.size());
    beginInsertRows(QModelIndex(), first, first + int(staged.size()) - 1);
    rows.insert(rows.end(), staged.begin(), staged.end());
    staged.clear();
    endInsertRows();
}

bool ResultModel::lessThan(int column, const Row &a, const Row &b) const
{
    switch (column) {
    case DirColumn:
        return a.batch != b.batch && batches[a.batch].dirName.compare(batches[b.batch].dirName) < 0;
    case LineColumn:
        return hitOf(a).lineNo < hitOf(b).lineNo;
    case TimeColumn:
        return a.timeStamp < b.timeStamp;
    }
    return false;
}

void ResultModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged(QList<QPersistentModelIndex>(), VerticalSortHint);

    std::vector<int> sorted(rows.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    // Rows without a time cell have nothing to compare; they follow the others.
    auto sortableEnd = sorted.end();
    if (column == TimeColumn)
        sortableEnd = std::stable_partition(sorted.begin(), sorted.end(),
                                            [this](int r) { return rows[r].timeStamp != NoHitTime; });
    auto sortBy = [&](auto less) {
        if (order == Qt::AscendingOrder)
            std::stable_sort(sorted.begin(), sortableEnd, less);
        else
            std::stable_sort(sorted.begin(), sortableEnd, [&](int a, int b) { return less(b, a); });
    };
    if (column == NameColumn || column == TextColumn) {
        // The texts compared, looked up once rather than at every comparison.
        std::vector<QStringView> keys(rows.size());
        for (size_t r = 0; r < rows.size(); ++r) {
            const TFileInfo &hit = hitOf(rows[r]);
            keys[r] = column == NameColumn ? QStringView(hit.fileName).trimmed() : QStringView(hit.lineText);
        }
        sortBy([&](int a, int b) { return keys[a].compare(keys[b]) < 0; });
    } else {
        sortBy([&](int a, int b) { return lessThan(column, rows[a], rows[b]); });
    }

    std::vector<Row> reordered;
    reordered.reserve(rows.size());
    std::vector<int> newRowOf(rows.size());
    for (size_t i = 0; i < sorted.size(); ++i) {
        reordered.push_back(rows[sorted[i]]);
        newRowOf[sorted[i]] = int(i);
    }
    rows.swap(reordered);

    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &index : from)
        to.append(index.isValid() ? createIndex(newRowOf[index.row()], index.column()) : index);
    changePersistentIndexList(from, to);

    emit layoutChanged(QList<QPersistentModelIndex>(), VerticalSortHint);
}
