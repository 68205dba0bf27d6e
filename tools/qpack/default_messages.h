// The builder's English texts for every standard message number.
#pragma once

#include <string>

// The English text of message `number` (0 to 59); empty outside that range.
const std::string& defaultMessage(int number);
