// Archive texts that are used as printf formats.
#pragma once

// message(number) when its conversions are exactly the ones that number is
// formatted with, else fallback: a damaged or hostile string table must not
// make printf read arguments that were never passed.
const char* messageFormat(int number, const char* fallback);
