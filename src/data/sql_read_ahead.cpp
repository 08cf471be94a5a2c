#include "data/sql_read_ahead_p.h"

#include "data/sql_support_p.h"

#include <QSqlQuery>

namespace vorel {

void TSqlReadAhead::Start(QSqlQuery* query, const std::vector<TFieldType>& types)
{
    Stop();
    FQuery = query;
    FTypes = types;
    FColumns = int(types.size());
    FQueue.clear();
    FStop = false;
    FCurrent = TBatch();
    FNextRow = 0;
    FNextBad = 0;
    FEnded = false;
    FFailed = false;
    FError = QSqlError();
    FThread = std::thread([this] { Run(); });
}

void TSqlReadAhead::Stop()
{
    if (!FThread.joinable())
        return;
    {
        std::lock_guard lock(FLock);
        FStop = true;
    }
    FChanged.notify_all();
    FThread.join();
    FQueue.clear();
    FCurrent = TBatch();
    FQuery = nullptr;
}

void TSqlReadAhead::Run()
{
    for (;;) {
        TBatch batch;
        batch.Values.resize(size_t(kBatchRows) * size_t(FColumns));
        {
            std::lock_guard connection(FConnectionLock);
            while (batch.Rows < kBatchRows) {
                if (!FQuery->next()) {
                    batch.End = true;
                    if (FQuery->lastError().isValid()) {
                        batch.Failed = true;
                        batch.Error = FQuery->lastError();
                    }
                    break;
                }
                Variant* row = batch.Values.data() + size_t(batch.Rows) * size_t(FColumns);
                for (int c = 0; c < FColumns; ++c) {
                    const QVariant value = FQuery->value(c);
                    bool converted = false;
                    try {
                        converted = ConvertSqlValue(value, FTypes[size_t(c)], row[c]);
                    } catch (...) {
                        // Raised on the data set's thread, with the row.
                    }
                    if (!converted) {
                        batch.Bad.push_back({batch.Rows, {c, value.toString()}});
                        break;
                    }
                }
                ++batch.Rows;
            }
        }
        const bool end = batch.End;
        {
            std::unique_lock lock(FLock);
            FChanged.wait(lock, [this] { return FStop || FQueue.size() < kQueuedBatches; });
            if (FStop)
                return;
            FQueue.push_back(std::move(batch));
        }
        FChanged.notify_all();
        if (end)
            return;
    }
}

bool TSqlReadAhead::Next(TRow& row)
{
    while (FNextRow >= FCurrent.Rows) {
        if (FEnded)
            return false;
        {
            std::unique_lock lock(FLock);
            FChanged.wait(lock, [this] { return !FQueue.empty(); });
            FCurrent = std::move(FQueue.front());
            FQueue.pop_front();
        }
        FChanged.notify_all();
        FNextRow = 0;
        FNextBad = 0;
        if (FCurrent.End) {
            FEnded = true;
            FFailed = FCurrent.Failed;
            FError = FCurrent.Error;
        }
    }
    row.Values = FCurrent.Values.data() + size_t(FNextRow) * size_t(FColumns);
    row.BadColumn = -1;
    row.BadText.clear();
    if (FNextBad < FCurrent.Bad.size() && FCurrent.Bad[FNextBad].first == FNextRow) {
        row.BadColumn = FCurrent.Bad[FNextBad].second.first;
        row.BadText = FCurrent.Bad[FNextBad].second.second;
        ++FNextBad;
    }
    ++FNextRow;
    return true;
}

} // namespace vorel
