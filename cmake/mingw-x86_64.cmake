# The 64-bit stub, and the tests where 32-bit programs cannot run.
set(QP_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
