# `make uninstall`: cmake -DBUILD_DIR=build -P dist/uninstall.cmake
# Removes every file the last `cmake --install` from BUILD_DIR put in place (its
# install_manifest.txt), then each folder that an install into that prefix created
# (install_created_dirs.txt, written by record_install.cmake) once it is empty, deepest first. A
# folder that was there before the install, or that holds anything else, stays.
if(NOT BUILD_DIR)
  set(BUILD_DIR build)
endif()
set(manifest "${BUILD_DIR}/install_manifest.txt")
set(prefix_file "${BUILD_DIR}/install_prefix.txt")
set(created_file "${BUILD_DIR}/install_created_dirs.txt")
if(NOT EXISTS "${manifest}" OR NOT EXISTS "${prefix_file}")
  message(FATAL_ERROR
          "nothing to uninstall: no install from ${BUILD_DIR} (cmake --install ${BUILD_DIR})")
endif()
file(STRINGS "${prefix_file}" prefix LIMIT_COUNT 1)
file(STRINGS "${manifest}" files)
# cpack (make package) rewrites the manifest with the package's paths, which are not this prefix's:
# those would be another install's files, so nothing is removed.
foreach(file IN LISTS files)
  string(FIND "${file}" "${prefix}/" at)
  if(NOT at EQUAL 0)
    message(FATAL_ERROR "${manifest} names ${file}, outside ${prefix}, the prefix of the last "
                        "install (make package rewrites the manifest): install again, then uninstall")
  endif()
endforeach()

foreach(file IN LISTS files)
  if(EXISTS "${file}" OR IS_SYMLINK "${file}")
    file(REMOVE "${file}")
    if(EXISTS "${file}" OR IS_SYMLINK "${file}")
      message(FATAL_ERROR "cannot remove ${file} (as root: sudo make uninstall)")
    endif()
    message(STATUS "Removed ${file}")
  endif()
endforeach()

if(NOT EXISTS "${created_file}")
  return()
endif()
file(STRINGS "${created_file}" dirs)
list(REMOVE_DUPLICATES dirs)
# A folder sorts before everything inside it, so the reverse order meets children first.
list(SORT dirs)
list(REVERSE dirs)
set(kept "")
foreach(dir IN LISTS dirs)
  if(NOT IS_DIRECTORY "${dir}" OR IS_SYMLINK "${dir}")
    continue()  # gone already: forgotten
  endif()
  # Only this prefix's folders (and the prefix and its parents, when the install made them).
  string(FIND "${dir}/" "${prefix}/" below)
  string(FIND "${prefix}/" "${dir}/" above)
  file(GLOB entries LIST_DIRECTORIES true "${dir}/*")  # hidden files too
  if((NOT below EQUAL 0 AND NOT above EQUAL 0) OR entries)
    string(APPEND kept "${dir}\n")  # tried again by a later uninstall
    continue()
  endif()
  file(REMOVE_RECURSE "${dir}")
  if(IS_DIRECTORY "${dir}")
    message(FATAL_ERROR "cannot remove ${dir} (as root: sudo make uninstall)")
  endif()
  message(STATUS "Removed ${dir}/")
endforeach()
file(WRITE "${created_file}" "${kept}")
