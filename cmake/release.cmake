# What a build of this tree calls itself, and the date it carries. Included
# from the top-level file on every platform.
#
# CORVANE_RELEASE_VERSION names the Windows ZIP and the Debian package and is
# corv.exe's product version. It is project(VERSION) when the [Unreleased]
# section of CHANGELOG.md holds no entry, as it is when the changelog has
# been cut for a release. With entries it is a snapshot,
# project(VERSION).N+g<commit> (or project(VERSION).N+unreleased when no
# commit is known): the release the changes came after, a fourth number N
# of 1 or more, and the commit. N counts the hours from 00:00 UTC of that
# release's date in the changelog to the commit's time, plus one, and stops
# at 65535, so a snapshot sorts above the release it follows and below the
# next one, for Windows' four-number versions and for Debian's ordering
# alike, and a commit made later never gets a smaller one. A release's N
# is 0.
#
# CORVANE_FILE_VERSION is the same as four numbers (0.1.0.0 for 0.1.0),
# corv.exe's numeric file and product version; CORVANE_VERSION_TWEAK is N;
# CORVANE_PRERELEASE is ON for a snapshot (VS_FF_PRERELEASE in corv.exe).
# CORVANE_COMMIT is the full commit id, or empty.
#
# The commit comes from cmake/archive-commit.txt when `git archive` has
# filled it in (export-subst in .gitattributes: the commit id and time), so
# a source archive builds to the same version and bytes as a checkout of
# that commit; else from git, when this folder is the top of a git work
# tree; else none is known.
#
# CORVANE_SOURCE_DATE_EPOCH is SOURCE_DATE_EPOCH from the environment when it
# is set, else the commit's time, else 1980-01-01 (the earliest date a ZIP
# entry can hold): corv.exe's PE timestamp and the time of every ZIP entry,
# so that the same commit builds to the same bytes.

file(READ "${PROJECT_SOURCE_DIR}/CHANGELOG.md" corvane_changelog)
string(FIND "${corvane_changelog}" "\n## [Unreleased]\n" corvane_at)
if(corvane_at EQUAL -1)
  message(FATAL_ERROR "CHANGELOG.md has no '## [Unreleased]' section.")
endif()
math(EXPR corvane_at "${corvane_at} + 1")
string(SUBSTRING "${corvane_changelog}" ${corvane_at} -1 corvane_changelog)
string(FIND "${corvane_changelog}" "\n## [" corvane_at)
string(SUBSTRING "${corvane_changelog}" 0 ${corvane_at} corvane_unreleased)
# The release below [Unreleased] must be the one project(VERSION) names.
if(NOT corvane_at EQUAL -1)
  string(SUBSTRING "${corvane_changelog}" ${corvane_at} -1 corvane_released)
  if(corvane_released MATCHES "^\n## \\[([0-9A-Za-z.+-]+)\\]" AND NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "CHANGELOG.md's latest release is ${CMAKE_MATCH_1}, but project(VERSION) "
                        "is ${PROJECT_VERSION}: change one of them.")
  endif()
endif()

if(NOT PROJECT_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "project(VERSION) ${PROJECT_VERSION} is not MAJOR.MINOR.PATCH.")
endif()
set(corvane_release_numbers "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}")

# The commit: from a source archive, else from git.
set(corvane_commit "")
set(corvane_commit_time "")
set(corvane_archived "")
set(corvane_from_archive FALSE)
if(EXISTS "${PROJECT_SOURCE_DIR}/cmake/archive-commit.txt")
  file(STRINGS "${PROJECT_SOURCE_DIR}/cmake/archive-commit.txt" corvane_archived LIMIT_COUNT 1)
endif()
if(corvane_archived MATCHES "^([0-9a-f]+) ([0-9]+)$")
  set(corvane_commit "${CMAKE_MATCH_1}")
  set(corvane_commit_time "${CMAKE_MATCH_2}")
  set(corvane_from_archive TRUE)
else()
  # --show-prefix is empty at the top of the work tree: a copy of this tree
  # inside another repository does not take that repository's commit.
  execute_process(COMMAND git rev-parse --show-prefix "HEAD^{commit}"
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}" RESULT_VARIABLE corvane_git_failed
    OUTPUT_VARIABLE corvane_git_out OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT corvane_git_failed AND corvane_git_out MATCHES "^\n([0-9a-f]+)$")
    set(corvane_commit "${CMAKE_MATCH_1}")
    execute_process(COMMAND git log -1 --format=%ct HEAD
      WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
      OUTPUT_VARIABLE corvane_commit_time OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
endif()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(CORVANE_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
elseif(corvane_commit_time)
  set(CORVANE_SOURCE_DATE_EPOCH "${corvane_commit_time}")
else()
  set(CORVANE_SOURCE_DATE_EPOCH 315532800)
endif()

# Seconds from 1970-01-01 to 00:00 UTC of YEAR-MONTH-DAY (Gregorian), in OUT.
function(corvane_epoch_of_date year month day out)
  if(month LESS_EQUAL 2)
    math(EXPR year "${year} - 1")
  endif()
  math(EXPR era "${year} / 400")
  math(EXPR year_of_era "${year} - ${era} * 400")
  math(EXPR day_of_year "(153 * ((${month} + 9) % 12) + 2) / 5 + ${day} - 1")
  math(EXPR day_of_era "${year_of_era} * 365 + ${year_of_era} / 4 - ${year_of_era} / 100 + ${day_of_year}")
  math(EXPR days "${era} * 146097 + ${day_of_era} - 719468")
  math(EXPR seconds "${days} * 86400")
  set(${out} ${seconds} PARENT_SCOPE)
endfunction()

set(CORVANE_RELEASE_VERSION "${PROJECT_VERSION}")
set(CORVANE_VERSION_TWEAK 0)
set(CORVANE_PRERELEASE OFF)
set(CORVANE_COMMIT "${corvane_commit}")
if(corvane_unreleased MATCHES "\n[-*] ")
  set(CORVANE_PRERELEASE ON)
  # N from the commit's time (or the build's date when no commit is known),
  # counted from the latest release's date; 1 when the changelog has none.
  set(corvane_snapshot_time "${corvane_commit_time}")
  if(NOT corvane_snapshot_time)
    set(corvane_snapshot_time "${CORVANE_SOURCE_DATE_EPOCH}")
  endif()
  set(CORVANE_VERSION_TWEAK 1)
  if(corvane_released MATCHES "^\n## \\[[0-9A-Za-z.+-]+\\] - 0*([0-9]+)-0*([0-9]+)-0*([0-9]+)\n")
    corvane_epoch_of_date(${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} corvane_released_at)
    if(corvane_snapshot_time GREATER corvane_released_at)
      math(EXPR CORVANE_VERSION_TWEAK "(${corvane_snapshot_time} - ${corvane_released_at}) / 3600 + 1")
      if(CORVANE_VERSION_TWEAK GREATER 65535)
        set(CORVANE_VERSION_TWEAK 65535)
      endif()
    endif()
  endif()
  if(corvane_commit)
    string(SUBSTRING "${corvane_commit}" 0 12 corvane_short_commit)
    set(CORVANE_RELEASE_VERSION "${PROJECT_VERSION}.${CORVANE_VERSION_TWEAK}+g${corvane_short_commit}")
  else()
    set(CORVANE_RELEASE_VERSION "${PROJECT_VERSION}.${CORVANE_VERSION_TWEAK}+unreleased")
  endif()
endif()
set(CORVANE_FILE_VERSION "${corvane_release_numbers}.${CORVANE_VERSION_TWEAK}")

# Configure again when the changelog or the commit changes.
set(corvane_version_inputs "${PROJECT_SOURCE_DIR}/CHANGELOG.md"
                            "${PROJECT_SOURCE_DIR}/cmake/archive-commit.txt")
if(corvane_commit AND NOT corvane_from_archive)
  execute_process(COMMAND git rev-parse --git-path HEAD --symbolic-full-name HEAD
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    OUTPUT_VARIABLE corvane_git_paths OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REPLACE "\n" ";" corvane_git_paths "${corvane_git_paths}")
  list(GET corvane_git_paths 0 corvane_head)
  list(APPEND corvane_version_inputs "${corvane_head}")
  list(GET corvane_git_paths 1 corvane_branch)
  if(corvane_branch MATCHES "^refs/")
    execute_process(COMMAND git rev-parse --git-path "${corvane_branch}" --git-path packed-refs
      WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
      OUTPUT_VARIABLE corvane_git_paths OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REPLACE "\n" ";" corvane_git_paths "${corvane_git_paths}")
    list(APPEND corvane_version_inputs ${corvane_git_paths})
  endif()
endif()
foreach(corvane_input IN LISTS corvane_version_inputs)
  get_filename_component(corvane_input "${corvane_input}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
  if(EXISTS "${corvane_input}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${corvane_input}")
  endif()
endforeach()
if(CORVANE_PRERELEASE)
  set(corvane_kind "a snapshot")
else()
  set(corvane_kind "a release")
endif()
message(STATUS "Corvane ${CORVANE_RELEASE_VERSION} (${corvane_kind}, file version "
               "${CORVANE_FILE_VERSION}), dated ${CORVANE_SOURCE_DATE_EPOCH}")
