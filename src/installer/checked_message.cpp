#include "installer/checked_message.h"

#include "archive/message_formats.h"
#include "core/str.h"
#include "runtime/string_table.h"

const char* messageFormat(int number, const char* fallback) {
    const char* text = message(number);
    const char* conversions = messageConversions(number);
    if (conversions && *text && formatConversionsAre(text, conversions)) return text;
    return fallback;
}
