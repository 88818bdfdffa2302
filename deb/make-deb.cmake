# cmake -DSOURCE_DIR=... -DBUILD=... -DOUT=... -P make-deb.cmake
# Writes OUT/korvel-program_<version>_<arch>.deb from what BUILD, a native
# build with korvel-program, korvel-unit and korvel-serve built, installs under
# /usr, with the documents Debian wants beside it and the maintainer scripts of
# korvel-serve's service; lintian must find nothing to say against it. Then SHA256SUMS over it and any archives of make dist beside.
include(${SOURCE_DIR}/cmake/version.cmake)
include(${SOURCE_DIR}/cmake/checksums.cmake)
korvel_version(version)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output
                  ERROR_VARIABLE output)
  if(failed)
    message(FATAL_ERROR "${ARGN} failed:\n${output}")
  endif()
endfunction()

# run_for(VAR command...): the command's standard output, without its line end.
function(run_for var)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output
                  ERROR_VARIABLE errors OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(failed)
    message(FATAL_ERROR "${ARGN} failed:\n${errors}")
  endif()
  set(${var} "${output}" PARENT_SCOPE)
endfunction()

# The package's history is its changelog: a new version needs its entry first.
set(changelog ${SOURCE_DIR}/deb/changelog)
run_for(logged dpkg-parsechangelog -l ${changelog} -S Version)
if(NOT logged STREQUAL version)
  message(FATAL_ERROR "deb/changelog's newest entry is for ${logged}, the version block says "
                      "${version}: add an entry for ${version}")
endif()
run_for(architecture dpkg --print-architecture)
set(name korvel-program_${version}_${architecture})
set(work ${OUT}/deb-stage)
set(root ${work}/${name})
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${root}/DEBIAN)

run(${CMAKE_COMMAND} -E env DESTDIR=${root}
    ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr --strip)
set(programs korvel-program korvel-unit korvel-serve)
foreach(program ${programs})
  if(NOT EXISTS ${root}/usr/bin/${program})
    message(FATAL_ERROR "${BUILD} installs no ${program}; build it there first")
  endif()
endforeach()

set(doc ${root}/usr/share/doc/korvel-program)
file(MAKE_DIRECTORY ${doc})
file(COPY ${SOURCE_DIR}/README.md ${SOURCE_DIR}/deb/copyright DESTINATION ${doc})
file(COPY_FILE ${changelog} ${doc}/changelog)
# Manual pages, the changelog and documents over 4 KiB are kept compressed,
# without a name or time in the gzip header.
file(GLOB pages ${root}/usr/share/man/man1/*.1 ${root}/usr/share/man/man8/*.8)
run(gzip -9nf ${pages} ${doc}/changelog ${doc}/README.md)

# Every directory 755, every file 644 but the programs.
file(CHMOD_RECURSE ${root} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                           WORLD_READ WORLD_EXECUTE)
list(TRANSFORM programs PREPEND ${root}/usr/bin/ OUTPUT_VARIABLE program_files)
file(CHMOD ${program_files}
     PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                 WORLD_READ WORLD_EXECUTE)

# The libraries' packages, as dpkg-shlibdeps finds them; it wants to stand in
# a source tree.
file(WRITE ${work}/source/debian/control
     "Source: korvel\n\nPackage: korvel-program\nArchitecture: any\n")
list(TRANSFORM program_files PREPEND -e OUTPUT_VARIABLE shlibdeps_programs)
execute_process(COMMAND dpkg-shlibdeps -O ${shlibdeps_programs}
                WORKING_DIRECTORY ${work}/source RESULT_VARIABLE failed
                OUTPUT_VARIABLE shlibs ERROR_VARIABLE errors)
if(failed OR NOT shlibs MATCHES "shlibs:Depends=([^\n]+)")
  message(FATAL_ERROR "dpkg-shlibdeps found no dependencies:\n${shlibs}${errors}")
endif()
set(depends ${CMAKE_MATCH_1})

# md5sums and the size as dpkg counts it: each file in whole KiB, each
# directory one.
file(GLOB_RECURSE files RELATIVE ${root} LIST_DIRECTORIES true ${root}/usr/*)
list(SORT files)
set(sums "")
set(installed_size 0)
foreach(file ${files})
  if(IS_DIRECTORY ${root}/${file})
    math(EXPR installed_size "${installed_size} + 1")
  else()
    file(SIZE ${root}/${file} size)
    math(EXPR installed_size "${installed_size} + (${size} + 1023) / 1024")
    file(MD5 ${root}/${file} md5)
    string(APPEND sums "${md5}  ${file}\n")
  endif()
endforeach()
file(WRITE ${root}/DEBIAN/md5sums "${sums}")
configure_file(${SOURCE_DIR}/deb/control.in ${root}/DEBIAN/control @ONLY)
file(CHMOD ${root}/DEBIAN/md5sums ${root}/DEBIAN/control
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
# korvel-serve's user and service: made, enabled and started on installation,
# stopped on removal, as debhelper's snippets would.
foreach(script postinst prerm postrm)
  file(COPY_FILE ${SOURCE_DIR}/deb/${script} ${root}/DEBIAN/${script})
  file(CHMOD ${root}/DEBIAN/${script}
       PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                   WORLD_READ WORLD_EXECUTE)
endforeach()

# Times no later than the changelog's: the same tree gives the same package.
run_for(changed dpkg-parsechangelog -l ${changelog} -S Timestamp)
run(${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${changed}
    dpkg-deb --root-owner-group -Zxz --build ${root} ${work}/${name}.deb)
# lintian leaves files of its own in its temporary folder; so that one goes too.
execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${work}
                        lintian --fail-on error,warning ${work}/${name}.deb
                RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(failed)
  message(FATAL_ERROR "lintian finds fault with ${work}/${name}.deb:\n${said}")
endif()

file(GLOB earlier ${OUT}/korvel-program_*.deb)
if(earlier)
  file(REMOVE ${earlier})
endif()
file(RENAME ${work}/${name}.deb ${OUT}/${name}.deb)
file(REMOVE_RECURSE ${work})
message(STATUS "${OUT}/${name}.deb")
korvel_write_checksums(${OUT})
