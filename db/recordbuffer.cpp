#include "db/recordbuffer.h"

RecordBuffer::RecordBuffer(int fieldCount, int blockRecords)
    : m_fields(fieldCount), m_blockRecords(blockRecords) {}

QVariant* RecordBuffer::append() {
    const int inBlock = m_size % m_blockRecords;
    if (inBlock == 0)
        m_blocks.push_back(std::make_unique<QVariant[]>(std::size_t(m_blockRecords) * m_fields));
    ++m_size;
    return m_blocks[(m_size - 1) / m_blockRecords].get() + std::size_t(inBlock) * m_fields;
}

const QVariant& RecordBuffer::value(int record, int field) const {
    return m_blocks[record / m_blockRecords]
                   [std::size_t(record % m_blockRecords) * m_fields + field];
}

void RecordBuffer::clear() {
    m_blocks.clear();
    m_size = 0;
}
