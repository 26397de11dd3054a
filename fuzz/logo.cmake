# Readers of outside picture data: BMP loader, BI_RLE8, SPLB, SPLC and the JPEG import.
foreach(name logo_bmp logo_rle8 logo_splb logo_splc logo_jpeg)
    ostrel_fuzz_target(${name} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp LIBS ostrel_logo)
endforeach()
