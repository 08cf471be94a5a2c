#pragma once
// Reading ahead: a thread that steps an executed forward-only query and
// converts its rows while the report works on the rows before them. The
// database's own stepping (SQLite's virtual machine, the text conversion
// of every column) is about a seventh of a long report's preparation; on
// a second core it costs the preparation nothing.
//
// The query belongs to the reader from Start until Stop returns: nothing
// else may use it, nor its connection (the data set reads ahead only on a
// connection of its own, and holds ConnectionLock() for anything else it
// runs there). Rows come in batches through a short queue, so memory stays
// bounded whatever the result's size. What went wrong in the reader (the
// driver's error, a value that does not convert) is handed over with the
// row where it happened, and raised there by the data set, as reading on
// one thread would have.

#include "data/dataset.h"

#include <QSqlError>
#include <QString>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class QSqlQuery;

namespace vorel {

class TSqlReadAhead {
public:
    // A row whose value in column BadColumn did not convert: BadText is the
    // driver's value as text.
    struct TRow {
        Variant* Values = nullptr; // the data set moves them out
        int BadColumn = -1;
        QString BadText;
    };

    TSqlReadAhead() = default;
    ~TSqlReadAhead() { Stop(); }
    TSqlReadAhead(const TSqlReadAhead&) = delete;
    TSqlReadAhead& operator=(const TSqlReadAhead&) = delete;

    // Begins reading `query` (executed, positioned before its next row),
    // converting each column to its field type.
    void Start(QSqlQuery* query, const std::vector<TFieldType>& types);
    // Ends the reading and waits for the thread; the query is the caller's
    // again, positioned somewhere after the last row handed over.
    void Stop();
    bool Running() const { return FThread.joinable(); }

    // The next row, or false at the end of the rows or at the driver's
    // error (Failed and Error tell which). The row stays valid until the
    // next call.
    bool Next(TRow& row);
    bool Failed() const { return FFailed; }
    const QSqlError& Error() const { return FError; }

    // Held by the reader while it steps the query; anything else run on the
    // query's connection while the reader runs takes it first.
    std::mutex& ConnectionLock() { return FConnectionLock; }

    static constexpr int kBatchRows = 128;
    static constexpr size_t kQueuedBatches = 4;

private:
    struct TBatch {
        std::vector<Variant> Values; // rows × columns
        int Rows = 0;
        std::vector<std::pair<int, std::pair<int, QString>>> Bad; // row, (column, text)
        bool End = false;
        bool Failed = false;
        QSqlError Error;
    };

    void Run();

    QSqlQuery* FQuery = nullptr;
    std::vector<TFieldType> FTypes;
    int FColumns = 0;
    std::thread FThread;
    std::mutex FConnectionLock;

    std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<TBatch> FQueue;
    bool FStop = false;

    // The consumer's side.
    TBatch FCurrent;
    int FNextRow = 0;
    size_t FNextBad = 0;
    bool FEnded = false;
    bool FFailed = false;
    QSqlError FError;
};

} // namespace vorel
