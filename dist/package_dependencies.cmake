# Read by cpack (CPACK_PROJECT_CONFIG_FILE): the package's Depends are what the program needs,
# computed by dpkg-shlibdeps; what only the capture's module needs (FFmpeg's libraries) becomes
# Recommends, after the package's own, so that the intro installs and runs without them. INTRO_PACKAGE_PROGRAM and
# INTRO_PACKAGE_MODULE name the two files.

# dpkg-shlibdeps's "package (>= version)" list for one file; it wants a debian/control to read.
function(intro_shlibs file out)
  set(work ${CPACK_TOPLEVEL_DIRECTORY}/intro_shlibs)
  file(MAKE_DIRECTORY ${work}/debian)
  file(WRITE ${work}/debian/control "Source: intro\n\nPackage: intro\nArchitecture: any\n")
  execute_process(COMMAND dpkg-shlibdeps -O -e${file} WORKING_DIRECTORY ${work}
                  OUTPUT_VARIABLE text ERROR_VARIABLE errors RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-shlibdeps ${file}: ${errors}")
  endif()
  string(STRIP "${text}" text)
  string(REGEX REPLACE "^shlibs:Depends=" "" text "${text}")
  string(REPLACE ", " ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

if(CPACK_GENERATOR STREQUAL "DEB" AND INTRO_PACKAGE_MODULE)
  intro_shlibs(${INTRO_PACKAGE_PROGRAM} depends)
  intro_shlibs(${INTRO_PACKAGE_MODULE} module)
  set(names "")
  foreach(entry ${depends})
    string(REGEX REPLACE " .*" "" name "${entry}")
    list(APPEND names ${name})
  endforeach()
  set(recommends "")
  foreach(entry ${module})
    string(REGEX REPLACE " .*" "" name "${entry}")
    if(NOT name IN_LIST names)
      list(APPEND recommends "${entry}")
    endif()
  endforeach()
  list(JOIN depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
  # After what the package recommends of its own accord (the Wayland title bar's plugin).
  if(CPACK_DEBIAN_PACKAGE_RECOMMENDS)
    list(PREPEND recommends "${CPACK_DEBIAN_PACKAGE_RECOMMENDS}")
  endif()
  list(JOIN recommends ", " CPACK_DEBIAN_PACKAGE_RECOMMENDS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
endif()
