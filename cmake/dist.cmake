# cmake -DSOURCE_DIR=... -DWIN32_BUILD=... -DWIN64_BUILD=... -DOUT=... -P dist.cmake
# Writes korvel-<version>-win32.zip and korvel-<version>-win64.zip, each a
# folder with korvel.exe, the command-line korvel-program.exe, a README.txt
# for Windows users and the licence as LICENSE.txt, and SHA256SUMS over them
# and any Debian package beside.
include(${CMAKE_CURRENT_LIST_DIR}/version.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/checksums.cmake)
korvel_version(version)

# Archives of an earlier version go; make deb's package stays.
file(GLOB earlier ${OUT}/korvel-*-win32.zip ${OUT}/korvel-*-win64.zip)
file(REMOVE_RECURSE ${earlier} ${OUT}/stage)
file(MAKE_DIRECTORY ${OUT})
# Windows users read the texts in Notepad: CR LF line ends, and a .txt name
# that opens there.
file(READ ${SOURCE_DIR}/docs/windows-readme.txt readme)
string(REPLACE "\n" "\r\n" readme "${readme}")
file(READ ${SOURCE_DIR}/LICENSE licence)
string(REPLACE "\n" "\r\n" licence "${licence}")

foreach(flavour win32 win64)
  if(flavour STREQUAL win32)
    set(build ${WIN32_BUILD})
  else()
    set(build ${WIN64_BUILD})
  endif()
  set(name korvel-${version}-${flavour})
  set(stage ${OUT}/stage/${name})
  file(MAKE_DIRECTORY ${stage})
  foreach(exe ${build}/app/korvel.exe ${build}/cli/korvel-program.exe)
    if(NOT EXISTS ${exe})
      message(FATAL_ERROR "${exe} is not built; 'make win' builds it")
    endif()
    file(COPY ${exe} DESTINATION ${stage})
  endforeach()
  file(WRITE ${stage}/README.txt "${readme}")
  file(WRITE ${stage}/LICENSE.txt "${licence}")
  # A fixed time stamp: the same build gives the same archive.
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/${name}.zip --format=zip
                          --mtime=2026-01-01 ${name}/korvel.exe ${name}/korvel-program.exe
                          ${name}/README.txt ${name}/LICENSE.txt
                  WORKING_DIRECTORY ${OUT}/stage RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not write ${OUT}/${name}.zip")
  endif()
  message(STATUS "${OUT}/${name}.zip")
endforeach()
file(REMOVE_RECURSE ${OUT}/stage)
korvel_write_checksums(${OUT})
