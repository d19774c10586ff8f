# qel_add_library: one deliverable shared library built from a static core.
#
#   qel_add_library(NAME chromel32 CORE chromel_core VERSION 4.0.0 SOVERSION 4
#                   SOURCES ... HEADERS include/chromel32.h ...
#                   EXPORTS Qel*            # symbol patterns the library exports
#                   DEPS platform)          # private static dependencies
#
# The sources compile once into an object library. `<core>` (static) carries them for
# tests that reach internals; `<name>` (shared) is the deliverable, exporting only the
# symbols that match EXPORTS through a generated version script. `cmake --install`
# puts the library with its SONAME, its headers, a pkg-config file and a CMake package
# configuration (`find_package(<name>)` gives the target `<name>::<name>`).
function(qel_add_library)
  cmake_parse_arguments(ARG "" "NAME;CORE;VERSION;SOVERSION;DESCRIPTION"
                        "SOURCES;HEADERS;EXPORTS;DEPS;LIBS" ${ARGN})
  set(objs ${ARG_NAME}_objects)
  add_library(${objs} OBJECT ${ARG_SOURCES})
  target_include_directories(${objs}
    PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${objs} PUBLIC ${ARG_DEPS} ${ARG_LIBS})

  add_library(${ARG_CORE} STATIC $<TARGET_OBJECTS:${objs}>)
  target_include_directories(${ARG_CORE} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
  target_link_libraries(${ARG_CORE} PUBLIC ${ARG_DEPS} ${ARG_LIBS})

  set(script ${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}.map)
  list(JOIN ARG_EXPORTS "; " globals)
  file(WRITE ${script} "{\n  global: ${globals};\n  local: *;\n};\n")

  add_library(${ARG_NAME} SHARED $<TARGET_OBJECTS:${objs}>)
  add_library(${ARG_NAME}::${ARG_NAME} ALIAS ${ARG_NAME})
  target_include_directories(${ARG_NAME} INTERFACE
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${ARG_NAME} PRIVATE $<BUILD_INTERFACE:${ARG_DEPS}> ${ARG_LIBS})
  target_link_options(${ARG_NAME} PRIVATE -Wl,--version-script=${script} -Wl,--no-undefined)
  set_target_properties(${ARG_NAME} PROPERTIES
    VERSION ${ARG_VERSION} SOVERSION ${ARG_SOVERSION} LINK_DEPENDS ${script})

  if(BUILD_TESTING)
    add_test(NAME ${ARG_NAME}.exports
      COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:${ARG_NAME}>
              -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/exports.txt
              -P ${PROJECT_SOURCE_DIR}/cmake/CheckExports.cmake)
  endif()

  # Install components: lib<name> holds the shared object and its SONAME link, dev the rest.
  install(TARGETS ${ARG_NAME} EXPORT ${ARG_NAME}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib${ARG_NAME} NAMELINK_COMPONENT dev
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(FILES ${ARG_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
  install(EXPORT ${ARG_NAME}Targets NAMESPACE ${ARG_NAME}::
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/${ARG_NAME} COMPONENT dev)

  set(QEL_PACKAGE ${ARG_NAME})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/PackageConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}Config.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/${ARG_NAME})
  write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}ConfigVersion.cmake
    VERSION ${ARG_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}Config.cmake
                ${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}ConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/${ARG_NAME} COMPONENT dev)

  set(QEL_PC_NAME ${ARG_NAME})
  set(QEL_PC_DESCRIPTION "${ARG_DESCRIPTION}")
  set(QEL_PC_VERSION ${ARG_VERSION})
  # The prefix as seen from the installed .pc file (libdir may be lib/<multiarch>).
  file(RELATIVE_PATH QEL_PC_PREFIX_FROM_PCDIR ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
       ${CMAKE_INSTALL_PREFIX})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/library.pc.in
    ${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endfunction()
