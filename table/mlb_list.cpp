#include "table/mlb_list.h"

TMLBStringList* TMLBList::Add() {
    rows_.push_back(std::make_unique<TMLBStringList>());
    return rows_.back().get();
}

TMLBStringList* TMLBList::Get(int i) const {
    if (i < 1 || i > Count()) return nullptr;
    return rows_[i - 1].get();
}
