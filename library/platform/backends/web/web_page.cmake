# What makes every program linked with kanvo a page, one self-contained .html file that
# opens from disk and can be mailed (the program, the fonts and the script inlined): the
# page template and its script,
# the backend's calls into the page, Asyncify for the blocking wait, the files kept in
# IndexedDB, and the three faces the Linux build resolves, cut to the scripts a page keeps.
set(KANVO_WEB_DIR ${CMAKE_CURRENT_SOURCE_DIR}/platform/backends/web)
set(KANVO_WEB_FONTS ${CMAKE_CURRENT_BINARY_DIR}/web-fonts)

# Debian's python3 carries fontTools (python3-fonttools), whatever python3 is first on PATH.
find_program(KANVO_FONT_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
set(kanvo_font_sources
  /usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
  /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf)
set(kanvo_fonts)
# Every face keeps Latin-1 and Latin Extended-A, Greek, Cyrillic, the general punctuation,
# the currency signs (the euro) and the replacement character; DejaVu Sans, which the
# library falls back to for what a face lacks, keeps arrows and geometric shapes too.
# Anything else is drawn as a box.
set(kanvo_font_unicodes "U+0000-017F,U+0370-03FF,U+0400-04FF,U+2000-206F,U+20A0-20CF,U+2122,U+FFFD")
foreach(source ${kanvo_font_sources})
  get_filename_component(name ${source} NAME)
  set(subset ${KANVO_WEB_FONTS}/${name})
  set(unicodes ${kanvo_font_unicodes})
  if(name STREQUAL "DejaVuSans.ttf")
    string(APPEND unicodes ",U+2190-21FF,U+25A0-25FF")
  endif()
  # Hinting instructions stay, so FreeType renders the same pixels as from the full face.
  add_custom_command(OUTPUT ${subset}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KANVO_WEB_FONTS}
    COMMAND ${KANVO_FONT_PYTHON} -m fontTools.subset ${source} --unicodes=${unicodes}
            --hinting --notdef-outline --drop-tables+=FFTM --output-file=${subset}
    DEPENDS ${source}
    COMMENT "Subset of ${name} for the pages")
  list(APPEND kanvo_fonts ${subset})
endforeach()
add_custom_target(kanvo_web_fonts DEPENDS ${kanvo_fonts})
add_dependencies(kanvo_platform kanvo_web_fonts)

set(kanvo_page_files
  ${KANVO_WEB_DIR}/web_library.js ${KANVO_WEB_DIR}/web_page.js ${KANVO_WEB_DIR}/shell.html
  ${KANVO_WEB_DIR}/asyncify_remove.json
  ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/licenses/README.txt
  ${kanvo_fonts})
target_link_options(kanvo_platform INTERFACE
  "SHELL:-s ASYNCIFY=1"
  "SHELL:-s ASYNCIFY_IMPORTS=['kanvo_web_wait']"
  "SHELL:-s ASYNCIFY_STACK_SIZE=65536"
  # FreeType never waits: leaving it uninstrumented keeps the pages smaller and faster.
  "SHELL:-s ASYNCIFY_REMOVE=@${KANVO_WEB_DIR}/asyncify_remove.json"
  "SHELL:-s ALLOW_MEMORY_GROWTH=1"
  "SHELL:-s EXIT_RUNTIME=1"
  "SHELL:-s ENVIRONMENT=web"
  "SHELL:-s SINGLE_FILE=1"
  "SHELL:-s MINIFY_HTML=0"
  "SHELL:-lidbfs.js"
  "SHELL:--js-library ${KANVO_WEB_DIR}/web_library.js"
  "SHELL:--pre-js ${KANVO_WEB_DIR}/web_page.js"
  "SHELL:--shell-file ${KANVO_WEB_DIR}/shell.html"
  "SHELL:--embed-file ${KANVO_WEB_FONTS}@/fonts"
  "SHELL:--embed-file ${PROJECT_SOURCE_DIR}/LICENSE@/licences/LICENSE"
  "SHELL:--embed-file ${PROJECT_SOURCE_DIR}/licenses@/licences")
# A page is linked again when its template, script or fonts change: they make the
# backend's object, and so the library every page links, out of date.
set_source_files_properties(${KANVO_WEB_DIR}/web_backend.cpp PROPERTIES
  OBJECT_DEPENDS "${kanvo_page_files}")
