#include "archive/message_formats.h"

namespace {

struct MessageFormat {
    int number;
    const char* conversions;
};

const MessageFormat Formats[] = {
    {9, ""},     // an installation already exists (an error box format)
    {10, "s"},   // uninstall failure summary: the problem lines
    {12, "s"},   // the extended product is missing: its name
    {13, "d"},   // corrupt archive: the code
    {16, "c"},   // the drive does not exist: its letter
    {17, ""},    // a drive root was chosen
    {18, "s"},   // the Program Files folder was chosen: that folder
    {19, "scs"}, // free space: bytes needed, drive letter, bytes free
    {22, "s"},   // confirm an existing directory
    {23, "s"},   // confirm a directory to be created
    {26, "dc"},  // insert the next disk: number, drive letter
    {40, "s"},   // offer to show the log: its path
    {56, "s"},   // remove a font: its name
    {59, "s"},   // remove a shared file: its path
};

}  // namespace

const char* messageConversions(int number) {
    for (const MessageFormat& f : Formats)
        if (f.number == number) return f.conversions;
    return nullptr;
}
