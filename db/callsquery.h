#pragma once
// The calls list `GUICHELISTA`: today's calls read from the clinic's database, newest first,
// as a read-only table model for a view, in a transaction of its connection.
//
// open(), close() and requery() (a close, then an open) throw EDatabaseError. Opening resets the
// model and fetches the first rows; a view fetches the rest as it scrolls (canFetchMore /
// fetchMore). A fetch a view asks for cannot throw through Qt: its failure closes the list and
// is told by fetchFailed(). The first record of an opened list is row 0; recordNumber() gives
// its 1-based number.
//
// The statement is prepared once per connection and executed at every open. Fetched records
// are held in blocks of 1000 until the list is closed.

#include "db/columns.h"
#include "db/database.h"
#include "db/fields.h"
#include "db/recordbuffer.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <ibase.h>

class Transaction;

class CallsQuery : public QAbstractTableModel, private ConnectionUser {
    Q_OBJECT

public:
    // Rows fetched by open() and by each fetchMore(): a screenful of the grid and some.
    static constexpr int kDefaultFetchStep = 16;

    CallsQuery(Database& database, Transaction& transaction, QObject* parent = nullptr);
    ~CallsQuery() override;

    // The query's text, six lines joined by line breaks.
    static const QStringList& sqlLines();
    static QString sqlText();

    // Opens the list: connects and starts the transaction when needed, prepares the statement
    // on the first open of a connection, checks the result columns against the fields,
    // executes and fetches the first rows. Does nothing when the list is open. Throws
    // EDatabaseError ("Database not assigned", "Type mismatch for field ...", the client
    // library's message lines); the list is then closed.
    void open();

    // Releases the cursor on the server and discards every fetched record. Does nothing when
    // closed. The list is closed even when this throws.
    void close();

    // close(), then open(), all of it within one database bound; a failed close leaves the list
    // closed and does not open it.
    void requery();

    bool isActive() const { return m_active; }

    // True when every row of the open list has been fetched.
    bool atEnd() const { return m_atEnd; }

    // The 1-based number of the record shown in the row; 0 for an empty list (or a row the
    // list does not hold).
    int recordNumber(int row) const;

    // The column of the field with the name ("SENHA1"); -1 when there is none.
    int fieldIndex(const QString& name) const;

    const std::vector<Field>& fields() const { return callsListFields(); }

    // The value held for a row and field (see ResultColumns::value), and the text shown.
    QVariant value(int row, int field) const;
    QString displayText(int row, int field) const;

    int fetchStep() const { return m_fetchStep; }
    void setFetchStep(int rows) { m_fetchStep = std::max(1, rows); }

    // Blocks of records allocated for the rows held.
    int blockCount() const { return m_records.blockCount(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // Display role: the field's text; edit role: its value.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Columns: the fields' display labels (user role: the field's name); rows: the record numbers.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent = {}) const override;
    void fetchMore(const QModelIndex& parent = {}) override;

Q_SIGNALS:
    // A fetch that the view asked for failed; the list has been closed. The text is the
    // error's, as the error report shows it.
    void fetchFailed(const QString& message);

private:
    void connectionClosing() noexcept override;
    void prepare();
    // Binds the result columns to the fields: the error text when one does not fit.
    QString checkFields() const;
    void fetchRows(int count);
    void discardRecords();
    void releaseStatement() noexcept;
    [[noreturn]] void failFetch(const FbStatus& status);
    FbClient& client() const { return m_database.client(); }

    Database& m_database;
    Transaction& m_transaction;
    isc_stmt_handle m_statement = 0;
    ResultColumns m_columns;
    RecordBuffer m_records;
    int m_rows = 0;
    bool m_active = false;
    bool m_cursorOpen = false;
    bool m_atEnd = false;
    int m_fetchStep = kDefaultFetchStep;
};
