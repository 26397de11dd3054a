if(TARGET ostrel_firmware)
    ostrel_fuzz_target(image_check SOURCES ${CMAKE_CURRENT_LIST_DIR}/firmware_image_check.cpp
                       LIBS ostrel_firmware)
endif()
