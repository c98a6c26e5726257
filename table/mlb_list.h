#pragma once
// The records of a table: an ordered list of rows, each a TMLBStringList owned by the list.
// Rows keep their address for as long as they are in the list.
#include <memory>
#include <vector>

#include "table/mlb_string_list.h"

class TMLBList {
public:
    void Clear() { rows_.clear(); }
    // Appends a new empty row and returns it.
    TMLBStringList* Add();
    // The row at 1-based position i, or null.
    TMLBStringList* Get(int i) const;
    int Count() const { return static_cast<int>(rows_.size()); }
    bool IsEmpty() const { return rows_.empty(); }

private:
    std::vector<std::unique_ptr<TMLBStringList>> rows_;
};
