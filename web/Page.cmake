# The player of web pages: veke.js and veke.wasm from the web entry and host, with the page
# beside them (veke.html and its scripts) and the demo, so build-web/ is a folder to serve.
add_executable(veke-web ${PROJECT_SOURCE_DIR}/src/player/web/VEKWebMain.cpp
  ${PROJECT_SOURCE_DIR}/src/platform/web/PL_WebHost.cpp)
set_target_properties(veke-web PROPERTIES OUTPUT_NAME veke SUFFIX .js)
target_compile_options(veke-web PRIVATE ${VEKE_WARNINGS})
target_link_libraries(veke-web PRIVATE veke_core)
# A factory the page calls (VekeModule) with the file system it fills; the program stays after
# main, as the page turns the play. The default font travels inside the player, where the data
# lookup finds it.
set(VEKE_WEB_FONT ${PROJECT_BINARY_DIR}/Res/Fonts16bit.ger)
target_link_options(veke-web PRIVATE -sENVIRONMENT=web -sMODULARIZE=1 -sEXPORT_NAME=VekeModule
  -sFORCE_FILESYSTEM=1 -sEXPORTED_RUNTIME_METHODS=FS,UTF8ToString,allocateUTF8
  "SHELL:--embed-file ${VEKE_WEB_FONT}@${VEKE_DATA_DIR}/Res/Fonts16bit.ger")
set_target_properties(veke-web PROPERTIES LINK_DEPENDS ${VEKE_WEB_FONT})

set(VEKE_PAGE_FILES veke.html veke-page.js veke-audio.js)
list(TRANSFORM VEKE_PAGE_FILES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
add_custom_target(veke-page ALL
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VEKE_PAGE_FILES} ${PROJECT_BINARY_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/examples/demo
    ${PROJECT_BINARY_DIR}/demo
  COMMENT "The page and the demo beside the player"
  VERBATIM)
add_dependencies(veke-page veke-web)
