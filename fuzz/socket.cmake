# The simulator socket's wire protocol: frame reader and message decoder.
ostrel_fuzz_target(socket_decode SOURCES ${CMAKE_CURRENT_LIST_DIR}/socket_decode.cpp
                   LIBS ostrel_drv)
