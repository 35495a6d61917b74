#pragma once
// The records fetched into the calls list, held in memory in blocks of a fixed number of
// records until the list is closed.

#include <QVariant>
#include <memory>
#include <vector>

class RecordBuffer {
public:
    // Records per block: the query holds its records in blocks of 1000.
    static constexpr int kBlockRecords = 1000;

    explicit RecordBuffer(int fieldCount, int blockRecords = kBlockRecords);

    int size() const { return m_size; }
    int blockCount() const { return int(m_blocks.size()); }
    int fieldCount() const { return m_fields; }

    // Room for one more record, fieldCount() values, all null; a new block is allocated when
    // the last one is full.
    QVariant* append();

    const QVariant& value(int record, int field) const;

    // Discards every record and every block.
    void clear();

private:
    int m_fields;
    int m_blockRecords;
    int m_size = 0;
    std::vector<std::unique_ptr<QVariant[]>> m_blocks;
};
