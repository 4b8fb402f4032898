# Installs the systemd unit, naming the program by its installed path. The
# prefix is known only at install time: cpack installs with /usr, cmake
# --install with CMAKE_INSTALL_PREFIX or --prefix. The folders come
# relative to the prefix unless absolute: unitSource, binDir and unitDir are
# set by the install rule before this script runs.
foreach(dir binDir unitDir)
  if(NOT IS_ABSOLUTE "${${dir}}")
    set(${dir} "${CMAKE_INSTALL_PREFIX}/${${dir}}")
  endif()
endforeach()

set(unit "${unitDir}/label-printer-app.service")
set(BINDIR "${binDir}")
file(READ "${unitSource}" template)
file(CONFIGURE OUTPUT "$ENV{DESTDIR}${unit}" CONTENT "${template}" @ONLY)
file(CHMOD "$ENV{DESTDIR}${unit}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
message(STATUS "Installing: $ENV{DESTDIR}${unit}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${unit}")
