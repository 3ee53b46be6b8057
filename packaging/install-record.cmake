# SPDX-License-Identifier: ISC
# Included by `cmake --install` first and last (ombrek_step begin, then end):
# keeps a record of what a complete install wrote, for the uninstall target,
# which removes just that (packaging/uninstall). The record goes first, so
# that after an install that fails there is none to lead the uninstall to an
# earlier install, elsewhere. cpack's installs leave the record of the last
# real install alone: those one component at a time, and those of every
# generator, which stage into a _CPack_Packages folder.
if(CMAKE_INSTALL_COMPONENT OR "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/" MATCHES "/_CPack_Packages/")
  return()
endif()

if(ombrek_step STREQUAL "begin")
  # The prefix, as CMake names the files it writes, and where they are written.
  string(REGEX REPLACE "/+$" "" ombrek_prefix "${CMAKE_INSTALL_PREFIX}")
  set(ombrek_root "$ENV{DESTDIR}${ombrek_prefix}")
  # The install creates the doc folders, and the uninstall removes them, only
  # when they were not there before: an install again into the same place
  # keeps the folders that the one before it created.
  set(ombrek_new_dirs "")
  if(EXISTS "${ombrek_record}")
    file(STRINGS "${ombrek_record}" old)
    list(FIND old "destdir $ENV{DESTDIR}" at_destdir)
    list(FIND old "prefix ${ombrek_prefix}" at_prefix)
    if(at_destdir EQUAL 1 AND at_prefix EQUAL 2)
      foreach(line IN LISTS old)
        if(line MATCHES "^dir ")
          string(APPEND ombrek_new_dirs "${line}\n")
        endif()
      endforeach()
    endif()
  endif()
  file(REMOVE "${ombrek_record}")
  foreach(dir "${ombrek_docdir}")
    if(NOT EXISTS "${ombrek_root}/${dir}" AND NOT ombrek_new_dirs MATCHES "(^|\n)dir ${dir}\n")
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
if(NOT ombrek_prefix MATCHES "^/")
  set(refusal "the prefix ${ombrek_prefix} is relative; install again with an absolute one")
elseif(NOT "$ENV{DESTDIR}" STREQUAL "" AND NOT "$ENV{DESTDIR}" MATCHES "^/")
  set(refusal "DESTDIR $ENV{DESTDIR} is relative; install again with an absolute one")
elseif(ombrek_root MATCHES "\n")
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
