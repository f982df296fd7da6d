# `cmake --install`: the header, the library as a static and as a shared library (each one
# file holding the library and its platform layer), a CMake package (find_package(Kanvo)
# gives Kanvo::kanvo, the shared library; COMPONENTS static adds Kanvo::kanvo_static) and
# a pkg-config file, kanvo.pc; and the tools and the landscape that the build made.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The installed libraries are linked from the objects the build already has.
set_target_properties(kanvo PROPERTIES POSITION_INDEPENDENT_CODE ON)
set(kanvo_objects $<TARGET_OBJECTS:kanvo> $<TARGET_OBJECTS:kanvo_platform>)
set(kanvo_package_dir ${CMAKE_BINARY_DIR}/kanvo-package)

add_library(kanvo_shared SHARED ${kanvo_objects})
target_link_libraries(kanvo_shared PRIVATE kanvo)  # what the objects need, nothing twice
set_target_properties(kanvo_shared PROPERTIES
  OUTPUT_NAME kanvo
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  LIBRARY_OUTPUT_DIRECTORY ${kanvo_package_dir})

# Its users need what the library is built on; KanvoConfig.cmake finds it through
# pkg-config, which (unlike Qt's CMake package) works in a project in C alone.
add_library(kanvo_static STATIC ${kanvo_objects})
target_link_libraries(kanvo_static INTERFACE $<INSTALL_INTERFACE:PkgConfig::KANVO_DEPENDENCIES>)
set_target_properties(kanvo_static PROPERTIES
  OUTPUT_NAME kanvo
  ARCHIVE_OUTPUT_DIRECTORY ${kanvo_package_dir})

foreach(target kanvo_shared kanvo_static)
  target_include_directories(${target} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endforeach()
# A program in C alone links the C++ runtime itself (see library/CMakeLists.txt).
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_link_libraries(kanvo_static INTERFACE "$<$<LINK_LANGUAGE:C>:stdc++>" "$<$<LINK_LANGUAGE:C>:m>")
endif()
set_target_properties(kanvo_shared PROPERTIES EXPORT_NAME kanvo)
set_target_properties(kanvo_static PROPERTIES EXPORT_NAME kanvo_static)

install(FILES ${PROJECT_SOURCE_DIR}/library/include/kanvo.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# Kanvo's licence, and those of the fonts it draws text with.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/licenses/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/licenses)
install(TARGETS kanvo_shared EXPORT KanvoTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS kanvo_static EXPORT KanvoStaticTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})

set(kanvo_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Kanvo)
install(EXPORT KanvoTargets NAMESPACE Kanvo:: DESTINATION ${kanvo_cmake_dir})
install(EXPORT KanvoStaticTargets NAMESPACE Kanvo:: DESTINATION ${kanvo_cmake_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KanvoConfig.cmake.in
  ${kanvo_package_dir}/KanvoConfig.cmake INSTALL_DESTINATION ${kanvo_cmake_dir})
write_basic_package_version_file(${kanvo_package_dir}/KanvoConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${kanvo_package_dir}/KanvoConfig.cmake ${kanvo_package_dir}/KanvoConfigVersion.cmake
        DESTINATION ${kanvo_cmake_dir})

# The .pc file finds its prefix from where it lies, so `cmake --install --prefix` works.
# Its Cflags are Kanvo's include folder alone: the libraries the static library needs are
# named in Libs.private, not required as packages, whose Cflags (Qt's include folders and
# -DQT_ definitions) pkg-config would hand to every program.
execute_process(COMMAND ${PKG_CONFIG_EXECUTABLE} --libs freetype2 fontconfig libpng Qt6Widgets
                OUTPUT_VARIABLE kanvo_pc_private_libs OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE kanvo_pc_result ERROR_QUIET)
if(NOT kanvo_pc_result EQUAL 0)
  set(kanvo_pc_private_libs "-lQt6Widgets -lQt6Gui -lQt6Core -lfontconfig -lfreetype -lpng16")
endif()
file(RELATIVE_PATH kanvo_pc_to_prefix
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(${CMAKE_CURRENT_LIST_DIR}/kanvo.pc.in ${kanvo_package_dir}/kanvo.pc @ONLY)
install(FILES ${kanvo_package_dir}/kanvo.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The programs: every one of these that this build makes goes to bin/. A new tool is
# installed by adding its target's name here.
set(KANVO_INSTALLED_PROGRAMS kanvo-run kanvo-replay kanvo-render kanvo-scene kanvo-grade)
foreach(program ${KANVO_INSTALLED_PROGRAMS})
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
