# Runs first in every install. Writes the prefix it installs into (with any DESTDIR) to
# INTRO_INSTALL_PREFIX_FILE, and appends to INTRO_CREATED_DIRS_FILE each folder that this install
# is about to create (the folders in INTRO_INSTALL_DIRS and their missing parents), one a line, so
# that uninstall.cmake removes exactly those, when empty. A folder already there is never listed.
set(prefix "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
cmake_path(NORMAL_PATH prefix)
string(REGEX REPLACE "(.)/$" "\\1" prefix "${prefix}")
file(WRITE "${INTRO_INSTALL_PREFIX_FILE}" "${prefix}\n")
if(prefix MATCHES "/_CPack_Packages/")
  return()  # cpack's staging tree is its own to clear
endif()
foreach(dir IN LISTS INTRO_INSTALL_DIRS)
  if(IS_ABSOLUTE "${dir}")
    set(path "$ENV{DESTDIR}${dir}")
  else()
    set(path "${prefix}/${dir}")
  endif()
  cmake_path(NORMAL_PATH path)
  string(REGEX REPLACE "(.)/$" "\\1" path "${path}")
  while(NOT EXISTS "${path}" AND NOT IS_SYMLINK "${path}")
    file(APPEND "${INTRO_CREATED_DIRS_FILE}" "${path}\n")
    cmake_path(GET path PARENT_PATH parent)
    if(parent STREQUAL path)
      break()
    endif()
    set(path "${parent}")
  endwhile()
endforeach()
