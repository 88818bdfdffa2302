# korvel_write_checksums(FOLDER): SHA256SUMS in FOLDER for every package there,
# the Windows archives and the Debian package alike, whichever of make dist
# and make deb wrote them, in either order.
function(korvel_write_checksums folder)
  file(GLOB packages RELATIVE ${folder} ${folder}/*.zip ${folder}/*.deb)
  list(SORT packages)
  set(sums "")
  foreach(package ${packages})
    file(SHA256 ${folder}/${package} hash)
    string(APPEND sums "${hash}  ${package}\n")
  endforeach()
  file(WRITE ${folder}/SHA256SUMS "${sums}")
  message(STATUS "${folder}/SHA256SUMS")
endfunction()
