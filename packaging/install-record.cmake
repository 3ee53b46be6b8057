# SPDX-License-Identifier: ISC
# Included by `cmake --install` first and last (ombrek_step begin, then end):
# keeps a record of what a complete install wrote, for the uninstall target,
# which removes just that (packaging/uninstall). The record goes first, so
# that after an install that fails there is none to lead the uninstall to an
# earlier install, elsewhere. cpack's installs, one component at a time into a
# folder of its own, leave the record of the last real install alone.
if(CMAKE_INSTALL_COMPONENT)
  return()
endif()

if(ombrek_step STREQUAL "begin")
  file(REMOVE "${ombrek_record}")
  # The install creates the doc folder, and the uninstall removes it, only
  # when it was not there before.
  # The prefix, as CMake names the files it writes, and where they are written.
  string(REGEX REPLACE "/+$" "" ombrek_prefix "${CMAKE_INSTALL_PREFIX}")
  set(ombrek_root "$ENV{DESTDIR}${ombrek_prefix}")
  set(ombrek_new_dirs "")
  foreach(dir "${ombrek_docdir}" "${ombrek_docdir}/examples")
    if(NOT EXISTS "${ombrek_root}/${dir}")
      string(APPEND ombrek_new_dirs "dir ${dir}\n")
    endif()
  endforeach()
  return()
endif()

# Each file as CMake itself counted it, with its checksum, so that the
# uninstall can tell a file since replaced. A prefix that a line or a CMake
# list cannot hold whole is recorded as such: the uninstall then refuses.
set(lines "")
set(refusal "")
if(ombrek_root MATCHES "\n")
  set(refusal "the prefix holds a newline")
elseif(ombrek_root MATCHES "[];[]")
  set(refusal "the prefix holds a ; [ or ], which CMake's list of the files it wrote cannot keep apart")
endif()
foreach(path IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
  if(refusal)
    break()
  endif()
  string(FIND "${path}" "${ombrek_prefix}/" at)
  if(NOT at EQUAL 0 OR IS_DIRECTORY "$ENV{DESTDIR}${path}" OR NOT EXISTS "$ENV{DESTDIR}${path}")
    set(refusal "the install wrote a file that is not under its prefix: ${path}")
    break()
  endif()
  string(LENGTH "${ombrek_prefix}/" skip)
  string(SUBSTRING "${path}" ${skip} -1 relative)
  file(SHA256 "$ENV{DESTDIR}${path}" sum)
  string(APPEND lines "file ${sum} ${relative}\n")
endforeach()
if(refusal)
  set(lines "refuse ${refusal}\n")
endif()
file(WRITE "${ombrek_record}"
     "ombrek install record\ndestdir $ENV{DESTDIR}\nprefix ${ombrek_prefix}\n${ombrek_new_dirs}${lines}")
