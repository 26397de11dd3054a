# The link's readers of outside data: hex text, projector answers, and INI files.
ostrel_fuzz_target(link_hex_text SOURCES ${CMAKE_CURRENT_LIST_DIR}/link_hex_text.cpp
                   LIBS ostrel_link)
ostrel_fuzz_target(link_answer SOURCES ${CMAKE_CURRENT_LIST_DIR}/link_answer.cpp
                   LIBS ostrel_link)
ostrel_fuzz_target(vcl_ini SOURCES ${CMAKE_CURRENT_LIST_DIR}/link_ini.cpp LIBS ostrel_vcl_core)
