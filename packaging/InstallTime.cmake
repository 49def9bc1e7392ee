# What `cmake --install` can only write once it knows the prefix (`--prefix`), included by the
# install code of packaging/CMakeLists.txt. Each file written is added to the install manifest.

# The menu entry, starting the launcher by its absolute path: a prefix such as ~/.local/games is
# on no session's PATH. A path with characters the Exec key reserves is quoted as it requires.
function(zephrane_install_menu_entry template app_id)
  set(launcher "${CMAKE_INSTALL_PREFIX}/games/zephrane")
  if(launcher MATCHES "[^A-Za-z0-9_/.+,=@~-]")
    string(REGEX REPLACE "([\"`$\\])" "\\\\\\1" launcher "${launcher}")
    set(launcher "\"${launcher}\"")
    # The desktop file's own string escapes come on top of the Exec key's.
    string(REPLACE "\\" "\\\\" launcher "${launcher}")
  endif()
  string(REPLACE "%" "%%" ZEPHRANE_LAUNCHER "${launcher}")
  set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/${app_id}.desktop")
  message(STATUS "Installing: ${entry}")
  # Readable by all and written by its owner only, whatever the checkout's umask made the template.
  configure_file("${template}" "${entry}" @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  set(CMAKE_INSTALL_MANIFEST_FILES ${CMAKE_INSTALL_MANIFEST_FILES} "${entry}" PARENT_SCOPE)
endfunction()

# PREFIX/LIBEXEC_DIR/uninstall.sh, removing every file the install wrote (itself included) and
# then the game's own folders (OWN_DIRS, relative to the prefix) that are left empty. Only for a
# prefix install: a package, installed through DESTDIR, is removed by its package manager.
function(zephrane_install_uninstaller template libexec_dir)
  if(NOT "$ENV{DESTDIR}" STREQUAL "")
    return()
  endif()
  set(ZEPHRANE_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(uninstaller "${ZEPHRANE_PREFIX}/${libexec_dir}/uninstall.sh")
  set(files ${CMAKE_INSTALL_MANIFEST_FILES} "${uninstaller}")
  list(REMOVE_DUPLICATES files)
  string(REPLACE ";" "\n" ZEPHRANE_INSTALLED_FILES "${files}")
  set(ZEPHRANE_OWN_DIRS "")
  foreach(dir IN LISTS ARGN)
    string(APPEND ZEPHRANE_OWN_DIRS " '${ZEPHRANE_PREFIX}/${dir}'")
  endforeach()
  message(STATUS "Installing: ${uninstaller}")
  configure_file("${template}" "${uninstaller}" @ONLY)
  file(CHMOD "${uninstaller}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
       GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_INSTALL_MANIFEST_FILES ${files} PARENT_SCOPE)
endfunction()
