# Appends four zero bytes (the "no archive" trailer) to FILE and prints its size.
file(READ "${FILE}" content HEX)
string(LENGTH "${content}" hexLength)
math(EXPR size "${hexLength} / 2")
file(APPEND "${FILE}" "")
execute_process(COMMAND sh -c "printf '\\000\\000\\000\\000' >> '${FILE}'")
math(EXPR total "${size} + 4")
get_filename_component(name "${FILE}" NAME)
message(STATUS "${name}: ${total} bytes (${size} bytes of program + 4-byte trailer)")
