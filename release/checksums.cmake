# Run by CPack once the archives are written: SHA256SUMS beside them, one
# "<hash>  <file name>" line per archive, as `sha256sum -c` reads it.
set(sums "")
list(SORT CPACK_PACKAGE_FILES)
foreach(archive ${CPACK_PACKAGE_FILES})
  file(SHA256 ${archive} hash)
  get_filename_component(name ${archive} NAME)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS "${sums}")
