# Makes the administrators' ZIP of the Windows build from what
# `cmake --install` puts in place, run by the corvane_zip target:
#
#   cmake -DBUILD_DIR=... -DZIP=... -DEPOCH=... [-DSIGN=ON -DSIGN_SCRIPT=...] -P windows-zip.cmake
#
# The same files give the same bytes on any machine and in any folder: the
# entries in name order, no folder entries, each file dated EPOCH (seconds
# since 1970, written in UTC), with the permissions the install rules give
# it, and no owner or extra time fields (zip -X). With SIGN, SIGN_SCRIPT
# signs the staged corv.exe first. ZIP.sha256 gets the checksum in
# sha256sum's form.
set(stage "${BUILD_DIR}/zip-stage")
file(REMOVE_RECURSE "${stage}")
file(REMOVE "${ZIP}" "${ZIP}.sha256")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${stage}"
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
if(SIGN)
  execute_process(COMMAND "${SIGN_SCRIPT}" "${stage}/corv.exe" COMMAND_ERROR_IS_FATAL ANY)
endif()
file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE "${stage}" "${stage}/*")
list(SORT entries)
execute_process(COMMAND touch -d "@${EPOCH}" ${entries}
                WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC zip -X -D -q "${ZIP}" ${entries}
                WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
file(SHA256 "${ZIP}" hash)
get_filename_component(name "${ZIP}" NAME)
file(WRITE "${ZIP}.sha256" "${hash}  ${name}\n")
