# What a build of this tree calls itself, and the date it carries. Included
# from the top-level file on every platform.
#
# CORVANE_RELEASE_VERSION names the Windows ZIP and is corv.exe's product
# version. It is project(VERSION) when the [Unreleased] section of
# CHANGELOG.md holds no entry, as it is when the changelog has been cut for
# a release; with entries it is project(VERSION)+g<commit> (or
# project(VERSION)+unreleased outside a git checkout): the version the
# changes came after, with build metadata that says which commit it is, so
# that a build between releases never passes for the release itself.
#
# CORVANE_SOURCE_DATE_EPOCH is SOURCE_DATE_EPOCH from the environment when it
# is set, else the commit's date, else 1980-01-01 (the earliest date a ZIP
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

execute_process(COMMAND git rev-parse --short=12 HEAD
  WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}" RESULT_VARIABLE corvane_git_failed
  OUTPUT_VARIABLE corvane_commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(corvane_git_failed)
  set(corvane_commit "")
endif()

set(CORVANE_RELEASE_VERSION "${PROJECT_VERSION}")
if(corvane_unreleased MATCHES "\n[-*] ")
  if(corvane_commit)
    string(APPEND CORVANE_RELEASE_VERSION "+g${corvane_commit}")
  else()
    string(APPEND CORVANE_RELEASE_VERSION "+unreleased")
  endif()
endif()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(CORVANE_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
elseif(corvane_commit)
  execute_process(COMMAND git log -1 --format=%ct
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    OUTPUT_VARIABLE CORVANE_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE)
else()
  set(CORVANE_SOURCE_DATE_EPOCH 315532800)
endif()

# Configure again when the changelog or the commit changes.
set(corvane_version_inputs "${PROJECT_SOURCE_DIR}/CHANGELOG.md")
if(corvane_commit)
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
message(STATUS "Corvane ${CORVANE_RELEASE_VERSION}, dated ${CORVANE_SOURCE_DATE_EPOCH}")
