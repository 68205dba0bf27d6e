#include "runtime/string_table.h"

#include "files/system_folders.h"
#include "runtime/process_state.h"

StringTable stringTable;

void StringTable::reset(int rows, int languages) {
    delete[] texts_;
    texts_ = nullptr;
    rows_ = languages_ = 0;
    if (rows < 1 || languages < 1) return;
    texts_ = new String[static_cast<size_t>(rows) * static_cast<size_t>(languages)];
    rows_ = rows;
    languages_ = languages;
}

void StringTable::growRows(int rows) {
    if (rows <= rows_) return;
    int languages = languages_ > 0 ? languages_ : 1;
    String* grown = new String[static_cast<size_t>(rows) * static_cast<size_t>(languages)];
    for (size_t i = 0; i < static_cast<size_t>(rows_) * static_cast<size_t>(languages_); ++i)
        grown[i] = static_cast<String&&>(texts_[i]);
    delete[] texts_;
    texts_ = grown;
    rows_ = rows;
    languages_ = languages;
}

String* StringTable::text(int row, int language) {
    if (row < 0 || row >= rows_ || language < 0 || language >= languages_) return nullptr;
    return &texts_[static_cast<size_t>(row) * static_cast<size_t>(languages_) + static_cast<size_t>(language)];
}

const char* message(int number) {
    String* text = stringTable.text(number, languageIndex);
    if (!text) return "";
    if (text->find("<product>", 0, false) >= 0) text->replaceAll("<product>", productName.cStr(), false);
    if (text->find("<os>", 0, false) >= 0) text->replaceAll("<os>", windowsDirectory().cStr(), false);
    return text->cStr();
}
