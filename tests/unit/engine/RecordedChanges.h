// Where the system steps of a test write their changes down: kept in order, in memory, instead of a journal
// file.
#pragma once

#include "engine/ChangeJournal.h"

#include <vector>

class RecordedChanges final : public ChangeRecorder {
public:
    bool record(const JournalRecord& record) override {
        if (!accepting) return false;
        records.push_back(record);
        return true;
    }

    // False: every record is refused, as by a journal that can no longer be written.
    bool accepting = true;
    std::vector<JournalRecord> records;
};
