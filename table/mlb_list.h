#pragma once
// The records of a table: an ordered list of rows, each a TMLBStringList owned by the list.
// Rows keep their address for as long as they are in the list (a deque never moves its items on
// append), and a row costs a few dozen bytes besides its values.
#include <deque>

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
    mutable std::deque<TMLBStringList> rows_;
};
