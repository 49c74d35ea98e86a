// The service record's own texts: faults of the database file, names of journal entries and outcomes.
// Made here once; the programs show them through their own message services.
#pragma once

#include "ServiceDatabase.h"
#include "ServiceQuery.h"
#include "ServiceRecordTypes.h"

#include <QString>

namespace servicerecord {

// What the user reads when the database cannot be used: one sentence about the file, then what it means
// for the work. `path` is the database file.
QString FaultText(TFault fault, const QString& path, int busyTimeoutMs, const QString& systemText = {});
// The file was moved aside and a new one begun.
QString KeptAsideText(TFault reason, const QString& path, const QString& asidePath, int foundVersion);

// "Чтение конфигурации", "Подстройка "0"" / "Корректировка R0"... in the words of the program of that
// generation.
QString EventTitle(TEventKind kind, TGeneration generation);
QString OutcomeText(TOutcome outcome);
// A recorded date-time ("2026-12-10T14:28:38.123+03:00") as the journal shows it: "10.12.2026 14:28:38".
QString AtText(const QString& at);
// "118 Tarvo-ТС-ТП, датчик Pt100 № 1234".
QString TransducerText(const TTransducerId& id);

// The journal's "Результат" of an entry: the outcome, or for a check "Годен" / "Не годен".
QString EntryOutcomeText(const TLogEntry& entry);
// The journal's "Подробности": what changed between the blocks, the date written, the failure.
QString EntryDetails(const TLogEntry& entry);

} // namespace servicerecord
