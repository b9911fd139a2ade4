#pragma once

#include "walk/fileinfo.h"

#include <QAbstractTableModel>
#include <QString>

#include <vector>

// The rows of the result table, kept compactly. Each batch of hits is held once, as it was
// received (its directory and its list stay shared with the worker's data); a row is a
// reference into a batch plus the modification time read when the row was built. Cells are
// made when asked for and read exactly as plain text cells would:
//   0 name (trimmed), 1 directory (as received), 2 line number ("" for 0), 3 line text,
//   4 modification time "yyyy-MM-dd hh:mm", a cell that exists only when the file did.
class ResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, DirColumn, LineColumn, TextColumn, TimeColumn, ColumnCount };

    explicit ResultModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;
    // Stable: equal rows keep their order. "行号" compares numbers, the other columns text;
    // rows without a time cell stay last when sorting by time, in either order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Keeps a batch for rows to refer to and returns its number. No row appears yet.
    int addBatch(const QString &dirName, const QList<TFileInfo> &hits);
    // Prepares the row of hit `hit` of batch `batch`; `timeStamp` as hitTimeStamp gives it.
    void stageRow(int batch, int hit, qint64 timeStamp);
    // Appends the prepared rows at the bottom, all in one insertion.
    void appendStagedRows();
    int stagedRowCount() const { return int(staged.size()); }

    // The cell's text, or an empty text where the row has no such cell.
    QString cellText(int row, int column) const;
    bool hasCell(int row, int column) const;

private:
    struct Batch
    {
        QString dirName;
        QList<TFileInfo> hits;
    };
    struct Row
    {
        quint32 batch;
        quint32 hit;
        qint64 timeStamp;
    };

    const TFileInfo &hitOf(const Row &row) const { return batches[row.batch].hits.at(row.hit); }
    // Order of the directory, line and time columns.
    bool lessThan(int column, const Row &a, const Row &b) const;

    std::vector<Batch> batches;
    std::vector<Row> rows;
    std::vector<Row> staged;
    QString headers[ColumnCount];
};
