# Debian packages from the install rules (cpack -G DEB; tools/package.sh builds them):
#   lib<name><soversion>  each shared library with its SONAME link
#   luxador-dev           headers, unversioned links, pkg-config files, CMake packages, section 3 pages
#   luxador               the program, its language modules, desktop entry, icon, manual page and
#                         shell completion
#   luxador-simulators    the simulated vendor libraries and serial spot head (--simulate)
set(QEL_DEB_RELEASE 1)
set(QEL_DEB_VERSION ${PROJECT_VERSION}-${QEL_DEB_RELEASE})
set(QEL_DEB_MAINTAINER "Luxador maintainers <maintainers@users.noreply.c-seed-538f1d21.example>")

# The program loads chromel32 and meterio32 by their unversioned names at run time, which only
# the development package installs. Its package carries private links to the SONAME files and
# the program searches that directory (the loader's step of the module search).
set(_qel_private ${PROJECT_BINARY_DIR}/packaging/private)
file(MAKE_DIRECTORY ${_qel_private})
foreach(lib chromel32 meterio32)
  get_target_property(soversion ${lib} SOVERSION)
  file(CREATE_LINK ../lib${lib}.so.${soversion} ${_qel_private}/lib${lib}.so SYMBOLIC)
  install(FILES ${_qel_private}/lib${lib}.so DESTINATION ${CMAKE_INSTALL_LIBDIR}/luxador
          COMPONENT program)
endforeach()
set_property(TARGET luxador APPEND PROPERTY INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}/luxador")

# component -> package name, section, summary
set(_qel_packages)
macro(qel_deb component name section summary)
  string(TOUPPER ${component} _c)
  set(CPACK_DEBIAN_${_c}_PACKAGE_NAME ${name})
  set(CPACK_DEBIAN_${_c}_PACKAGE_SECTION ${section})
  set(CPACK_COMPONENT_${_c}_DESCRIPTION "${summary}")
  set(CPACK_COMPONENT_GROUP_${_c}_DESCRIPTION "${summary}")
  list(APPEND _qel_packages ${component}:${name})
endmacro()

set(_qel_lib_depends)
foreach(lib chromel32 meterio32 vocasel)
  get_target_property(soversion ${lib} SOVERSION)
  # Debian names a library package after its SONAME: a digit at the end takes a hyphen.
  if(lib MATCHES "[0-9]$")
    set(pkg lib${lib}-${soversion})
  else()
    set(pkg lib${lib}${soversion})
  endif()
  set(QEL_DEB_PACKAGE_lib${lib} ${pkg})
  list(APPEND _qel_lib_depends "${pkg} (= ${QEL_DEB_VERSION})")
  string(TOUPPER lib${lib} _c)
  set(CPACK_DEBIAN_${_c}_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
endforeach()
list(JOIN _qel_lib_depends ", " _qel_lib_depends)

qel_deb(libchromel32 ${QEL_DEB_PACKAGE_libchromel32} libs
  "colour science library of Luxador\nSpectra, colour temperature, CIE conversions and colour differences\nthrough a flat C interface.")
qel_deb(libmeterio32 ${QEL_DEB_PACKAGE_libmeterio32} libs
  "instrument control library of Luxador\nDrives ambient, monitor, spot, strip and stage readers through a flat C\ninterface.")
qel_deb(libvocasel ${QEL_DEB_PACKAGE_libvocasel} libs
  "language-module locator of Luxador\nFinds the user-interface language module for a language.")
qel_deb(dev luxador-dev libdevel
  "development files for the Luxador libraries\nHeaders, pkg-config files, CMake package configurations and manual pages\nof chromel32, meterio32 and vocasel.")
qel_deb(program luxador science
  "measures the light source lighting a room\nShows the lamp type, the correlated colour temperature and the illuminance\nmeasured with a spectrophotometer, in a window or in the terminal.")
qel_deb(simulators luxador-simulators science
  "simulated instruments for Luxador\nStand-ins for the instruments' vendor libraries and a simulated serial spot\nhead, so that luxador --simulate runs without hardware.")

# The desktop entry and icon go with the program.
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_COMPONENT_PROGRAM_GROUP program)
set(CPACK_COMPONENT_DESKTOP_GROUP program)

set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${_qel_lib_depends}")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "${_qel_lib_depends}")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SUGGESTS luxador-simulators)
set(CPACK_DEBIAN_SIMULATORS_PACKAGE_ENHANCES luxador)

# Per package: copyright and changelog in /usr/share/doc/<package>.
string(TIMESTAMP _qel_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(_qel_doc_outputs)
foreach(entry IN LISTS _qel_packages)
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 component)
  list(GET entry 1 pkg)
  set(dir ${PROJECT_BINARY_DIR}/packaging/doc/${pkg})
  file(WRITE ${dir}/changelog.Debian
    "${pkg} (${QEL_DEB_VERSION}) unstable; urgency=medium\n\n"
    "  * Release ${PROJECT_VERSION}.\n\n -- ${QEL_DEB_MAINTAINER}  ${_qel_date}\n")
  add_custom_command(OUTPUT ${dir}/changelog.Debian.gz
    COMMAND sh -c "gzip -9nc '${dir}/changelog.Debian' > '${dir}/changelog.Debian.gz'"
    DEPENDS ${dir}/changelog.Debian VERBATIM)
  list(APPEND _qel_doc_outputs ${dir}/changelog.Debian.gz)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${dir}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${pkg} COMPONENT ${component})
endforeach()
add_custom_target(package_docs ALL DEPENDS ${_qel_doc_outputs})

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_NAME luxador)
set(CPACK_PACKAGE_VENDOR "Luxador maintainers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QEL_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QEL_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://c-seed-538f1d21.example/luxador")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
