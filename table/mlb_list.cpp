#include "table/mlb_list.h"

TMLBStringList* TMLBList::Add() {
    return &rows_.emplace_back();
}

TMLBStringList* TMLBList::Get(int i) const {
    if (i < 1 || i > Count()) return nullptr;
    return &rows_[static_cast<size_t>(i - 1)];
}
