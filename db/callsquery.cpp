#include "db/callsquery.h"

#include "base/codepage.h"
#include "base/errors.h"
#include "db/fbclient.h"
#include "db/transaction.h"

CallsQuery::CallsQuery(Database& database, Transaction& transaction, QObject* parent)
    : QAbstractTableModel(parent), m_database(database), m_transaction(transaction),
      m_records(int(callsListFields().size())) {
    m_database.addUser(this);
}

CallsQuery::~CallsQuery() {
    // No model signals from a model being destroyed: the handles go, and the records with it.
    releaseStatement();
    m_database.removeUser(this);
}

const QStringList& CallsQuery::sqlLines() {
    static const QStringList lines{
        QStringLiteral("SELECT G.INDICE, G.CODIGOPAC, G.DATA, G.GUICHE, G.SENHA, G.STATUS, "
                       "GG.NOME AS NOMEGUICHE, GG.APELIDO||'-'||G.SENHA AS SENHA1, "
                       "G.NR_GUICHE_CHAMOU"),
        QStringLiteral("FROM GUICHELISTA G"),
        QStringLiteral("INNER JOIN GUICHE GG ON (GG.INDICE=G.GUICHE)"),
        QStringLiteral("WHERE G.DATA = CURRENT_DATE"),
        QStringLiteral("ORDER BY G.DATAUSER2 DESC"),
        QStringLiteral(" "),
    };
    return lines;
}

QString CallsQuery::sqlText() {
    return sqlLines().join(QLatin1Char('\n'));
}

void CallsQuery::open() {
    if (m_active) return;
    if (!m_database.assigned()) throw EDatabaseError(QStringLiteral("Database not assigned"));
    const Database::Deadline deadline(m_database);
    m_database.connect();
    m_transaction.start();
    if (!m_statement) prepare();
    FbStatus status;
    m_database.call(status, [&] {
        client().dsql_execute(status.vector(), m_transaction.handle(), &m_statement, SQLDA_VERSION1, nullptr);
    });
    if (status.failed()) m_database.raise(status);
    beginResetModel();
    m_active = true;
    m_cursorOpen = true;
    m_atEnd = false;
    endResetModel();
    fetchRows(m_fetchStep);
}

void CallsQuery::prepare() {
    FbStatus status;
    const auto forget = [this] { releaseStatement(); };
    m_database.call(status,
                    [&] { client().dsql_allocate_statement(status.vector(), m_database.handle(), &m_statement); });
    if (status.failed()) {
        m_statement = 0;
        m_database.raise(status);
    }
    const QByteArray sql = cp1252::encode(sqlText());
    m_columns = ResultColumns();
    m_database.call(status, [&] {
        client().dsql_prepare(status.vector(), m_transaction.handle(), &m_statement, 0, sql.constData(),
                              ushort(m_database.dialect()), m_columns.sqlda());
    });
    if (status.failed()) m_database.raise(status, forget);
    if (m_columns.needsRoom()) {
        m_columns.grow();
        m_database.call(status,
                        [&] { client().dsql_describe(status.vector(), &m_statement, SQLDA_VERSION1, m_columns.sqlda()); });
        if (status.failed()) m_database.raise(status, forget);
    }
    m_columns.bindBuffers();
    const QString mismatch = checkFields();
    if (!mismatch.isEmpty()) {
        // Not kept: once the column is put right, the next open prepares and checks again.
        releaseStatement();
        throw EDatabaseError(mismatch);
    }
}

QString CallsQuery::checkFields() const {
    const auto& list = fields();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Field& field = list[i];
        if (int(i) >= m_columns.count())
            return QStringLiteral("Field '%1' not found").arg(field.name);
        if (!m_columns.fits(int(i), field.type))
            return QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
                .arg(field.displayLabel, fieldTypeName(field.type), m_columns.typeName(int(i)));
    }
    return {};
}

void CallsQuery::fetchRows(int count) {
    if (!m_cursorOpen || m_atEnd) return;
    const int fields = m_records.fieldCount();
    int fetched = 0;
    FbStatus status;
    while (fetched < count) {
        ISC_STATUS result = 0;
        m_database.call(status, [&] {
            result = client().dsql_fetch(status.vector(), &m_statement, SQLDA_VERSION1, m_columns.sqlda());
        });
        if (status.failed()) failFetch(status);
        if (result == 100) {
            m_atEnd = true;
            break;
        }
        QVariant* record = m_records.append();
        for (int i = 0; i < fields; ++i)
            record[i] = m_columns.value(i);
        ++fetched;
    }
    if (fetched == 0) return;
    beginInsertRows({}, m_rows, m_rows + fetched - 1);
    m_rows += fetched;
    endInsertRows();
}

void CallsQuery::failFetch(const FbStatus& status) {
    // The cursor is not used again after a failed fetch: Firebird may answer the next one
    // with a clean end of data, and the list would look complete. The statement goes with it
    // (the next open prepares it again), so that no half-closed cursor is left behind.
    m_database.raise(status, [this] {
        releaseStatement();
        discardRecords();
    });
}

void CallsQuery::close() {
    if (!m_active) return;
    FbStatus status;
    if (m_cursorOpen) {
        m_cursorOpen = false;
        m_database.call(status, [&] { client().dsql_free_statement(status.vector(), &m_statement, DSQL_close); });
    }
    discardRecords();
    // A cursor that failed to close is not reused: the next open prepares the statement again.
    if (status.failed()) m_database.raise(status, [this] { releaseStatement(); });
}

void CallsQuery::requery() {
    const Database::Deadline deadline(m_database);
    close();
    open();
}

void CallsQuery::discardRecords() {
    if (!m_active) return;
    beginResetModel();
    m_records.clear();
    m_rows = 0;
    m_active = false;
    m_atEnd = false;
    endResetModel();
}

void CallsQuery::releaseStatement() noexcept {
    m_cursorOpen = false;
    if (!m_statement) return;
    FbStatus ignored;
    m_database.call(ignored, [&] { client().dsql_free_statement(ignored.vector(), &m_statement, DSQL_drop); });
    m_statement = 0;
}

void CallsQuery::connectionClosing() noexcept {
    releaseStatement();
    discardRecords();
}

int CallsQuery::recordNumber(int row) const {
    return row >= 0 && row < m_rows ? row + 1 : 0;
}

int CallsQuery::fieldIndex(const QString& name) const {
    const auto& list = fields();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].name.compare(name, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

QVariant CallsQuery::value(int row, int field) const {
    if (row < 0 || row >= m_rows || field < 0 || field >= m_records.fieldCount()) return {};
    return m_records.value(row, field);
}

QString CallsQuery::displayText(int row, int field) const {
    if (field < 0 || field >= m_records.fieldCount()) return {};
    return ::displayText(fields()[field], value(row, field));
}

int CallsQuery::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int CallsQuery::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(fields().size());
}

QVariant CallsQuery::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return displayText(index.row(), index.column());
    if (role == Qt::EditRole) return value(index.row(), index.column());
    return {};
}

QVariant CallsQuery::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::UserRole && orientation == Qt::Horizontal && section >= 0 && section < columnCount())
        return fields()[section].name;
    if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Vertical) return recordNumber(section);
    if (section < 0 || section >= columnCount()) return {};
    return fields()[section].displayLabel;
}

bool CallsQuery::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && m_active && m_cursorOpen && !m_atEnd;
}

void CallsQuery::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) return;
    try {
        fetchRows(m_fetchStep);
    } catch (const EPainelError& e) {
        Q_EMIT fetchFailed(e.text());
    }
}
