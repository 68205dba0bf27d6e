// The archive's numbered texts: one row per message number, one text per
// language in each row. Empty until the archive header is read.
#pragma once

#include "core/str.h"

class StringTable {
public:
    StringTable() = default;
    StringTable(const StringTable&) = delete;
    StringTable& operator=(const StringTable&) = delete;
    ~StringTable() { delete[] texts_; }

    // Drops every text and makes room for rows x languages empty ones.
    void reset(int rows, int languages);
    // Makes room for at least `rows` rows, keeping every text; a table
    // without languages gets one.
    void growRows(int rows);
    int rows() const { return rows_; }
    int languages() const { return languages_; }
    // The text of one row and language; null outside the table.
    String* text(int row, int language);

private:
    String* texts_ = nullptr;
    int rows_ = 0;
    int languages_ = 0;
};

extern StringTable stringTable;

// The text of message `number` in the chosen language with "<product>" and
// "<os>" filled in (in the stored row, so later calls find it done). Empty
// for a number outside the table. Valid until the table changes.
const char* message(int number);
