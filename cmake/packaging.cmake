# What `cmake --install` puts in place, and the packages cpack (or the package presets) makes of
# it: from a Windows build a zip of hlext1.exe, README.md and LICENSE; otherwise a Debian package
# of hlext1 in /usr/bin, its manual page and, in /usr/share/doc/hlext1, its copyright and
# changelog.
#
# Components: `tool` is hlext1 as linked by this build (statically by default) with LICENSE,
# `manual` the manual page and the example listings (examples/, in the doc folder's examples),
# both in every install; `deb` is what only the Debian package holds,
# left out of a plain install: its own hlext1, linked the usual way (Debian shares the C and C++
# runtimes between programs), its copyright and its changelog.
include(GNUInstallDirs)

# The deb preset builds as Debian builds its packages: compiled and linked with the flags that
# dpkg-buildflags gives with every hardening feature on (fortified functions, a stack
# protector, read-only relocations bound at start), so that lintian finds none missing.
option(HLEXT_DPKG_BUILDFLAGS "Compile and link with the flags of dpkg-buildflags (hardening=+all)"
       OFF)
if(HLEXT_DPKG_BUILDFLAGS)
  find_program(HLEXT_DPKG_BUILDFLAGS_PROGRAM dpkg-buildflags REQUIRED)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${HLEXT_DPKG_BUILDFLAGS_PROGRAM} --get ${kind}
                    OUTPUT_VARIABLE hlext_dpkg_${kind} OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  string(APPEND CMAKE_CXX_FLAGS " ${hlext_dpkg_CPPFLAGS} ${hlext_dpkg_CXXFLAGS}")
  string(APPEND CMAKE_EXE_LINKER_FLAGS " ${hlext_dpkg_LDFLAGS}")
endif()

if(WIN32)
  # Windows has no manual pages: the program goes beside its README at the top of the folder.
  install(TARGETS hlext1 RUNTIME DESTINATION . COMPONENT tool)
  install(FILES README.md LICENSE DESTINATION . COMPONENT tool)
  set(CPACK_GENERATOR ZIP)
  include(CPack)
  return()
endif()

# gzip -9n: the most compression, and no name or time stamp in the header, so that the same
# sources give the same package.
find_program(HLEXT_GZIP gzip REQUIRED)
function(hlext_gzip source target)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/packaging/${target})
  get_filename_component(plain ${output} NAME_WLE)
  set(plain ${CMAKE_CURRENT_BINARY_DIR}/packaging/${plain})
  add_custom_command(OUTPUT ${output}
                     COMMAND ${CMAKE_COMMAND} -E copy ${source} ${plain}
                     COMMAND ${HLEXT_GZIP} -9nf ${plain}
                     DEPENDS ${source}
                     VERBATIM)
endfunction()

set(HLEXT_PACKAGE_MAINTAINER "hlext1 maintainers <hlext1@maintainers.example>" CACHE STRING
    "Maintainer of the Debian package: a name and a mail address")
configure_file(packaging/changelog.in packaging/changelog.source @ONLY)
hlext_gzip(${CMAKE_CURRENT_SOURCE_DIR}/doc/hlext1.1 hlext1.1.gz)
hlext_gzip(${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.source changelog.gz)
add_custom_target(hlext_packaging_files ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/packaging/hlext1.1.gz
                                                    ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)

install(TARGETS hlext1 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT tool)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/hlext1.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT manual)
# Each example a folder with its listing hlext.dat and the fort.50 a run gives.
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT manual
        FILES_MATCHING PATTERN hlext.dat PATTERN fort.50)

# The package's hlext1: the same program, in a folder of its own, linked the default way.
set(hlext_package_binary hlext1)
if(HLEXT_LINKS_STATIC)
  add_executable(hlext1_packaged hlext1.cpp)
  target_link_libraries(hlext1_packaged PRIVATE hlext_core)
  set_target_properties(hlext1_packaged PROPERTIES OUTPUT_NAME hlext1
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packaging)
  set(hlext_package_binary hlext1_packaged)
endif()
if(HLEXT_DPKG_BUILDFLAGS)
  # As Debian's own packaging does: the compiler's version notes go, which strip keeps.
  add_custom_command(TARGET ${hlext_package_binary} POST_BUILD
                     COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
                             $<TARGET_FILE:${hlext_package_binary}>
                     VERBATIM)
endif()
install(TARGETS ${hlext_package_binary} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES packaging/copyright ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT deb EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_CURRENT_BINARY_DIR};hlext1;deb;/;${CMAKE_CURRENT_BINARY_DIR};hlext1;manual;/")
set(CPACK_PACKAGE_NAME hlext1)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Takes the frontier orbitals out of the listing of a closed-shell MO calculation")
set(CPACK_PACKAGE_CONTACT ${HLEXT_PACKAGE_MAINTAINER})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "hlext1 reads the listing hlext.dat of an RHF calculation in the working
directory and writes its highest occupied and lowest unoccupied orbital to
the fixed-column result file fort.50.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
